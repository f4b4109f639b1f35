// The hints and tips window: its tabs and pages, reading the three text
// files on each activation, page switching, decoding, and files that cannot
// be opened.

#include "windows/frmopdicas.h"

#include "platform/application.h"
#include "platform/forms.h"
#include "platform/twips.h"
#include "startup/mofficeborder.h"
#include "startup/tabstrip.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTabBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QTest>

#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace testsupport;

namespace {

QByteArray iniNaming(const QString &options, const QString &hints, const QString &faq)
{
    return "[path]\r\noptions=" + options.toUtf8() + "\r\nhints=" + hints.toUtf8() + "\r\nfaq=" + faq.toUtf8() + "\r\n";
}

void reactivate(QWidget *form)
{
    QWidget other;
    platform::registerForm(&other, {});
    QVERIFY(showAndActivate(&other));
    QVERIFY(showAndActivate(form));
}

// Opens and closes of files in one folder, as the system saw them.
class FileWatch
{
public:
    explicit FileWatch(const QString &folder) : m_fd(inotify_init1(IN_NONBLOCK))
    {
        if (m_fd >= 0)
            inotify_add_watch(m_fd, QFile::encodeName(folder).constData(), IN_OPEN | IN_CLOSE);
    }
    ~FileWatch()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool ok() const { return m_fd >= 0; }
    // "open name" / "close name", in order, since the last call.
    QStringList events()
    {
        QStringList seen;
        alignas(inotify_event) char buffer[8192];
        ssize_t n;
        while ((n = ::read(m_fd, buffer, sizeof buffer)) > 0) {
            for (char *p = buffer; p < buffer + n;) {
                auto *event = reinterpret_cast<inotify_event *>(p);
                const QString name = event->len ? QFile::decodeName(event->name) : QString();
                seen << ((event->mask & IN_OPEN) ? QStringLiteral("open ") : QStringLiteral("close ")) + name;
                p += sizeof(inotify_event) + event->len;
            }
        }
        return seen;
    }

private:
    int m_fd;
};

} // namespace

class tst_frmopdicas : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void design();
    void readsTheThreeFilesInOrderOneAtATime();
    void showsNewTextAfterAChange();
    void tabClicksMoveAndDisablePages();
    void decodesTheFiles_data();
    void decodesTheFiles();
    void pageThatCannotBeOpened_data();
    void pageThatCannotBeOpened();
    void relativePathsFromTheWorkingFolder();
    void longAndManyLinesScroll();

private:
    frmopdicas *open();
    void writeThreeFiles(const QByteArray &options, const QByteArray &hints, const QByteArray &faq);

    TempAppFolder *m_folder = nullptr;
    QWidget m_main;
    QList<QPointer<frmopdicas>> m_opened;
    QString m_savedCurrent;
    int m_ended = 0;
};

void tst_frmopdicas::initTestCase()
{
    platform::setEndProgramHandler([this] { ++m_ended; });
}

void tst_frmopdicas::init()
{
    m_folder = new TempAppFolder;
    m_savedCurrent = QDir::currentPath();
    m_main.hide();
    m_ended = 0;
}

void tst_frmopdicas::cleanup()
{
    qDeleteAll(m_opened); // those still open
    m_opened.clear();
    QDir::setCurrent(m_savedCurrent);
    delete m_folder;
    m_folder = nullptr;
}

frmopdicas *tst_frmopdicas::open()
{
    auto *form = new frmopdicas;
    connect(form, &frmopdicas::unloaded, &m_main, &QWidget::show);
    m_opened << form;
    return form;
}

void tst_frmopdicas::writeThreeFiles(const QByteArray &options, const QByteArray &hints, const QByteArray &faq)
{
    m_folder->writeFile(QStringLiteral("options.txt"), options);
    m_folder->writeFile(QStringLiteral("hints.txt"), hints);
    m_folder->writeFile(QStringLiteral("faq.txt"), faq);
    // Files named by absolute path, as most discs do.
    m_folder->writeIni(iniNaming(m_folder->filePath("options.txt"), m_folder->filePath("hints.txt"),
                                 m_folder->filePath("faq.txt")));
}

void tst_frmopdicas::design()
{
    writeThreeFiles("o", "h", "f");
    frmopdicas *form = open();

    QCOMPARE(form->windowTitle(), QStringLiteral("Trevlin"));
    QCOMPARE(form->size(), platform::twipsSize(7695, 5910));
    QCOMPARE(form->minimumSize(), form->maximumSize());
    QVERIFY(!(form->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
    QCOMPARE(form->findChild<QLabel *>(QStringLiteral("Label1"))->text(), QStringLiteral(" Hints and Tips"));

    startup::TabStrip *strip = form->tabStrip();
    QCOMPARE(strip->objectName(), QStringLiteral("tabopçoes"));
    QCOMPARE(strip->geometry(), platform::twipsRect(120, 720, 7455, 5055));
    QCOMPARE(strip->tabCount(), 3);
    const QStringList captions{"Options", "Hints", "Faq"};
    const QStringList keys{"options", "hints", "faq"};
    QSet<qint64> icons;
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(strip->tabBar()->tabText(i), captions.at(i));
        QCOMPARE(strip->tabBar()->tabData(i).toList(), (QVariantList{true, keys.at(i), 1000 * (i + 1)}));
        QVERIFY(!strip->tabBar()->tabIcon(i).isNull());
        icons << strip->tabBar()->tabIcon(i).pixmap(16).toImage().cacheKey();
    }
    QCOMPARE(icons.size(), 3);

    for (int i = 0; i < 3; ++i) {
        QPlainTextEdit *page = form->page(i);
        QCOMPARE(page->objectName(), QStringLiteral("Text1_%1").arg(i));
        QCOMPARE(page->property("index").toInt(), i);
        QVERIFY(page->isReadOnly());
        QCOMPARE(page->lineWrapMode(), QPlainTextEdit::NoWrap);
        QCOMPARE(page->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        QCOMPARE(page->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        QCOMPARE(page->size(), platform::twipsSize(i == 0 ? 7455 : 7335, 4575));
        QCOMPARE(page->y(), platform::twips(1200));
        // In front of the strip, below its row of tabs.
        QVERIFY(form->childAt(page->geometry().center()) != strip);
        QVERIFY(strip->tabBar()->geometry().bottom() + strip->y() < page->y());
    }

    // It opens on "Options", the options page in place and the only one enabled.
    QVERIFY(showAndActivate(form));
    QCOMPARE(strip->selectedTab(), 1);
    QCOMPARE(form->page(0)->x(), platform::twips(120));
    QVERIFY(form->page(0)->isEnabled());
    for (int i : {1, 2}) {
        QCOMPARE(form->page(i)->x(), platform::twips(-20000));
        QVERIFY(!form->page(i)->isEnabled());
    }
    for (int i = 0; i < 3; ++i)
        QVERIFY(Mofficeborder::hasFlatBorder(form->page(i)));
}

void tst_frmopdicas::readsTheThreeFilesInOrderOneAtATime()
{
    writeThreeFiles("The options.\r\n", "The hints.\r\n", "The questions.\r\n");
    FileWatch watch(m_folder->path());
    QVERIFY(watch.ok());
    frmopdicas *form = open();
    QVERIFY(showAndActivate(form));

    QCOMPARE(form->page(0)->toPlainText(), QStringLiteral("The options.\n"));
    QCOMPARE(form->page(1)->toPlainText(), QStringLiteral("The hints.\n"));
    QCOMPARE(form->page(2)->toPlainText(), QStringLiteral("The questions.\n"));

    QStringList texts;
    int lastSettingsRead = -1;
    const QStringList events = watch.events();
    for (const QString &event : events) {
        if (event.endsWith(QLatin1String(".txt")))
            texts << event;
        else if (event.endsWith(QLatin1String("trevlin.INI")))
            lastSettingsRead = int(texts.size());
    }
    QCOMPARE(texts, (QStringList{"open options.txt", "close options.txt", "open hints.txt", "close hints.txt",
                                 "open faq.txt", "close faq.txt"}));
    // The three names are read before the first text file is opened.
    QCOMPARE(lastSettingsRead, 0);
}

void tst_frmopdicas::showsNewTextAfterAChange()
{
    writeThreeFiles("first options", "first hints", "first faq");
    QPointer<frmopdicas> form = open();
    QVERIFY(showAndActivate(form));
    QCOMPARE(form->page(1)->toPlainText(), QStringLiteral("first hints"));

    m_folder->writeFile(QStringLiteral("hints.txt"), "second hints");
    m_folder->writeFile(QStringLiteral("faq.txt"), "");
    reactivate(form);
    QCOMPARE(form->page(0)->toPlainText(), QStringLiteral("first options"));
    QCOMPARE(form->page(1)->toPlainText(), QStringLiteral("second hints"));
    QCOMPARE(form->page(2)->toPlainText(), QString());

    // Closing brings the main window back; a new window reads the files anew.
    m_folder->writeFile(QStringLiteral("options.txt"), "third options");
    QSignalSpy unloaded(form.data(), &frmopdicas::unloaded);
    form->close();
    QVERIFY(waitFor([&] { return form.isNull(); }));
    QCOMPARE(unloaded.count(), 1);
    QVERIFY(m_main.isVisible());
    form = open();
    QVERIFY(showAndActivate(form));
    QCOMPARE(form->page(0)->toPlainText(), QStringLiteral("third options"));
}

void tst_frmopdicas::tabClicksMoveAndDisablePages()
{
    writeThreeFiles("o", "h", "f");
    frmopdicas *form = open();
    QVERIFY(showAndActivate(form));
    QTabBar *bar = form->tabStrip()->tabBar();
    const auto inPlace = [&](int shown) {
        for (int i = 0; i < 3; ++i) {
            const bool expected = i == shown;
            QPlainTextEdit *page = form->page(i);
            if (page->x() != platform::twips(expected ? 120 : -20000) || page->isEnabled() != expected
                || page->y() != platform::twips(1200) || !page->isVisibleTo(form))
                return false;
        }
        return true;
    };

    for (int tab : {2, 3, 3, 1, 2}) {
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(tab - 1).center());
        QCOMPARE(form->tabStrip()->selectedTab(), tab);
        QVERIFY2(inPlace(tab - 1), qPrintable(QStringLiteral("after a click on tab %1").arg(tab)));
    }
    // The keyboard reaches the pages through the strip as well.
    bar->setFocus();
    QTest::keyClick(bar, Qt::Key_Right);
    QVERIFY(inPlace(2));
}

void tst_frmopdicas::decodesTheFiles_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    const QString accented = QStringLiteral("Preço: 5 €, ação, naïve");
    QTest::newRow("UTF-8") << accented.toUtf8() << accented;
    QTest::newRow("UTF-8 with BOM") << QByteArray("\xEF\xBB\xBF") + accented.toUtf8() << accented;
    QTest::newRow("Windows-1252") << QByteArray("Pre\xE7o: 5 \x80, a\xE7\xE3o, na\xEFve") << accented;
    QTest::newRow("CRLF lines") << QByteArray("one\r\ntwo\r\nthree") << QStringLiteral("one\ntwo\nthree");
    QTest::newRow("LF lines") << QByteArray("one\ntwo\nthree") << QStringLiteral("one\ntwo\nthree");
}

void tst_frmopdicas::decodesTheFiles()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    writeThreeFiles("o", bytes, "f");
    frmopdicas *form = open();
    QVERIFY(showAndActivate(form));
    QCOMPARE(form->page(1)->toPlainText(), text);
    QCOMPARE(form->page(1)->blockCount(), int(text.count(QLatin1Char('\n'))) + 1);
}

void tst_frmopdicas::pageThatCannotBeOpened_data()
{
    QTest::addColumn<QString>("hints");     // as stored
    QTest::addColumn<QStringList>("parts"); // of the line on the hints page
    QTest::newRow("empty name") << QString() << QStringList{"no file name"};
    QTest::newRow("missing") << "nothere.txt" << QStringList{"\"nothere.txt\"", "does not exist"};
    QTest::newRow("folder") << "folder" << QStringList{"\"folder\"", "folder"};
    QTest::newRow("unreadable") << "secret.txt" << QStringList{"\"secret.txt\"", "may not be read"};
    QTest::newRow("pipe") << "pipe.txt" << QStringList{"\"pipe.txt\"", "not an ordinary file"};
}

void tst_frmopdicas::pageThatCannotBeOpened()
{
    QFETCH(QString, hints);
    QFETCH(QStringList, parts);
    if (hints == QLatin1String("secret.txt") && ::geteuid() == 0)
        QSKIP("Running as root: no file is unreadable");
    QDir::setCurrent(m_folder->path());
    writeThreeFiles("The options.", "-", "The questions.");
    QDir(m_folder->path()).mkdir(QStringLiteral("folder"));
    m_folder->writeFile(QStringLiteral("secret.txt"), "hidden");
    QFile::setPermissions(m_folder->filePath(QStringLiteral("secret.txt")), QFileDevice::Permissions());
    // Opening a pipe nobody writes to would wait for ever.
    QVERIFY(::mkfifo(QFile::encodeName(m_folder->filePath(QStringLiteral("pipe.txt"))).constData(), 0600) == 0);
    m_folder->writeIni(iniNaming(QStringLiteral("options.txt"), hints, QStringLiteral("faq.txt")));

    BoxAnswerer boxes;
    QPointer<frmopdicas> form = open();
    QVERIFY(showAndActivate(form));
    QCOMPARE(form->page(0)->toPlainText(), QStringLiteral("The options."));
    QCOMPARE(form->page(2)->toPlainText(), QStringLiteral("The questions."));
    const QString line = form->page(1)->toPlainText();
    QCOMPARE(form->page(1)->blockCount(), 1);
    for (const QString &part : parts)
        QVERIFY2(line.contains(part), qPrintable(line));

    QTest::qWait(50);
    QCOMPARE(boxes.count(), 0);
    QCOMPARE(m_ended, 0);
    QVERIFY(form);
    form->close();
    QVERIFY(waitFor([&] { return form.isNull(); }));
}

void tst_frmopdicas::relativePathsFromTheWorkingFolder()
{
    QTemporaryDir work;
    QDir(work.path()).mkpath(QStringLiteral("texts"));
    const auto write = [&](const QString &name, const QByteArray &bytes) {
        QFile file(work.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    };
    write(QStringLiteral("texts/options.txt"), "relative options");
    write(QStringLiteral("hints.txt"), "bare hints");
    write(QStringLiteral("faq.txt"), "dotted faq");
    // The same names in the program's folder must not be the ones read.
    m_folder->writeFile(QStringLiteral("hints.txt"), "wrong hints");
    m_folder->writeIni(iniNaming(QStringLiteral("texts/options.txt"), QStringLiteral("hints.txt"),
                                 QStringLiteral("./texts/../faq.txt")));
    QDir::setCurrent(work.path());

    frmopdicas *form = open();
    QVERIFY(showAndActivate(form));
    QCOMPARE(form->page(0)->toPlainText(), QStringLiteral("relative options"));
    QCOMPARE(form->page(1)->toPlainText(), QStringLiteral("bare hints"));
    QCOMPARE(form->page(2)->toPlainText(), QStringLiteral("dotted faq"));
}

void tst_frmopdicas::longAndManyLinesScroll()
{
    QByteArray many;
    for (int i = 1; i <= 500; ++i)
        many += "Line " + QByteArray::number(i) + "\r\n";
    writeThreeFiles(QByteArray(3000, 'w') + "\r\nend", many, "f");
    frmopdicas *form = open();
    QVERIFY(showAndActivate(form));

    QPlainTextEdit *options = form->page(0);
    QCOMPARE(options->blockCount(), 2);
    QVERIFY(options->horizontalScrollBar()->maximum() > 0);
    QTest::mouseClick(form->tabStrip()->tabBar(), Qt::LeftButton, {},
                      form->tabStrip()->tabBar()->tabRect(1).center());
    QPlainTextEdit *hints = form->page(1);
    QCOMPARE(hints->blockCount(), 501);
    QCOMPARE(hints->document()->findBlockByNumber(499).text(), QStringLiteral("Line 500"));
    hints->setFocus();
    QTest::keyClick(hints, Qt::Key_End, Qt::ControlModifier);
    QVERIFY(hints->verticalScrollBar()->value() > 0);
    QCOMPARE(hints->verticalScrollBar()->value(), hints->verticalScrollBar()->maximum());
}

QTEST_MAIN(tst_frmopdicas)
#include "tst_frmopdicas.moc"
