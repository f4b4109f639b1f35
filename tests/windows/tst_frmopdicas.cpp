// The hints and tips window: its tabs and pages, reading the three text files
// on each activation, decoding, and files that cannot be opened.

#include "windows/frmopdicas.h"

#include "platform/forms.h"
#include "platform/twips.h"
#include "widgets/mofficeborder.h"
#include "widgets/tabstrip.h"
#include "testsupport.h"

#include <QDir>
#include <QPlainTextEdit>
#include <QPointer>
#include <QScrollBar>
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

} // namespace

class tst_frmopdicas : public QObject
{
    Q_OBJECT

    TempAppFolder *m_folder = nullptr;
    QWidget m_main;
    QList<QPointer<frmopdicas>> m_opened;
    QString m_savedCurrent = QDir::currentPath();

    frmopdicas *open()
    {
        auto *form = new frmopdicas;
        connect(form, &frmopdicas::unloaded, &m_main, &QWidget::show);
        m_opened << form;
        return form;
    }
    QStringList texts(frmopdicas *form) const
    {
        return {form->page(0)->toPlainText(), form->page(1)->toPlainText(), form->page(2)->toPlainText()};
    }

private slots:
    void init() { m_folder = new TempAppFolder; }
    void cleanup()
    {
        qDeleteAll(m_opened); // those still open
        QDir::setCurrent(m_savedCurrent);
        delete m_folder;
    }

    void readsInOrderShowsAndSwitchesThePages()
    {
        QDir(m_folder->path()).mkpath(QStringLiteral("work/sub"));
        m_folder->writeFile(QStringLiteral("work/options.txt"), "The options.\r\n");
        m_folder->writeFile(QStringLiteral("work/hints.txt"), "The hints.\r\n");
        m_folder->writeFile(QStringLiteral("work/faq.txt"), "The questions.\r\n");
        m_folder->writeFile(QStringLiteral("hints.txt"), "wrong hints"); // the program's folder is not the one
        m_folder->writeIni(iniNaming("options.txt", "hints.txt", "./sub/../faq.txt"));
        QDir::setCurrent(m_folder->filePath(QStringLiteral("work")));
        const int watch = inotify_init1(IN_NONBLOCK);
        QVERIFY(inotify_add_watch(watch, QFile::encodeName(QDir::currentPath()).constData(), IN_OPEN | IN_CLOSE) >= 0);
        QPointer<frmopdicas> form = open();
        QVERIFY(showAndActivate(form));
        QCOMPARE(texts(form), QStringList({"The options.\n", "The hints.\n", "The questions.\n"}));
        QStringList seen; // opens and closes of the files, in order, as the system saw them
        alignas(inotify_event) char buffer[8192];
        for (ssize_t n; (n = ::read(watch, buffer, sizeof buffer)) > 0;) {
            for (char *p = buffer; p < buffer + n; p += sizeof(inotify_event) + reinterpret_cast<inotify_event *>(p)->len) {
                const auto *event = reinterpret_cast<inotify_event *>(p);
                if (event->len)
                    seen << QLatin1String(event->mask & IN_OPEN ? "open " : "close ") + QFile::decodeName(event->name);
            }
        }
        ::close(watch);
        QCOMPARE(seen, QStringList({"open options.txt", "close options.txt", "open hints.txt", "close hints.txt",
                                    "open faq.txt", "close faq.txt"}));

        QTabBar *bar = form->tabStrip()->tabBar();
        const auto icon = [bar](int i) { return bar->tabIcon(i).pixmap(16).toImage(); };
        QVERIFY(!icon(0).isNull() && icon(0) != icon(1) && icon(1) != icon(2) && icon(2) != icon(0));
        for (int i = 0; i < 3; ++i)
            QVERIFY(form->page(i)->isReadOnly() && Mofficeborder::hasFlatBorder(form->page(i)));
        // The page shown lies in front of the strip, below its row of tabs.
        QVERIFY(form->childAt(form->page(0)->geometry().center()) != form->tabStrip());
        QVERIFY(bar->geometry().bottom() + form->tabStrip()->y() < form->page(0)->y());
        const auto inPlace = [&](int shown) {
            bool ok = true;
            for (int i = 0; i < 3; ++i)
                ok = ok && form->page(i)->isEnabled() == (i == shown)
                     && form->page(i)->pos() == QPoint(platform::twips(i == shown ? 120 : -20000), platform::twips(1200));
            return ok;
        };
        QVERIFY(inPlace(0)); // it opens on "Options"
        for (int tab : {3, 2}) {
            QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(tab - 1).center());
            QVERIFY2(inPlace(tab - 1), qPrintable(QStringLiteral("after a click on tab %1").arg(tab)));
        }
        bar->setFocus(); // the keyboard reaches the pages through the strip as well
        QTest::keyClick(bar, Qt::Key_Left);
        QVERIFY(inPlace(0));

        m_folder->writeFile(QStringLiteral("work/hints.txt"), "second hints");
        m_folder->writeFile(QStringLiteral("work/faq.txt"), "");
        QWidget other; // activated again the way the program can: another form first
        platform::registerForm(&other, {});
        QVERIFY(showAndActivate(&other));
        QVERIFY(showAndActivate(form));
        QCOMPARE(texts(form), QStringList({"The options.\n", "second hints", ""}));
        form->close(); // unloaded: the main window comes back
        QVERIFY(waitFor([&] { return m_main.isVisible(); }));
    }

    // The middle page: its text decoded, or one line saying why it could not
    // be read while the pages either side still load.
    void hintsPage_data()
    {
        QTest::addColumn<QString>("stored");   // the hints file's name as stored
        QTest::addColumn<QByteArray>("bytes"); // written to hints.txt
        QTest::addColumn<QString>("text");     // shown on the page
        const QString accented = QStringLiteral("Preço: 5 €, ação, naïve");
        QTest::newRow("UTF-8") << "hints.txt" << accented.toUtf8() << accented;
        QTest::newRow("Windows-1252") << "hints.txt" << QByteArray("Pre\xE7o: 5 \x80, a\xE7\xE3o, na\xEFve") << accented;
        QByteArray many(3000, 'w'); // one long line, then many: read whole, shown unwrapped
        for (int i = 1; i <= 500; ++i)
            many += "\r\nLine " + QByteArray::number(i);
        QTest::newRow("long and many CRLF lines") << "hints.txt" << many << QString::fromLatin1(many).replace("\r\n", "\n");
        QTest::newRow("empty name") << "" << QByteArray() << "Cannot open the file: no file name is set for this page.";
        QTest::newRow("missing") << "nothere.txt" << QByteArray() << "Cannot open \"nothere.txt\": the file does not exist.";
        QTest::newRow("folder") << "folder" << QByteArray() << "Cannot open \"folder\": it is a folder, not a file.";
        QTest::newRow("unreadable") << "secret.txt" << QByteArray() << "Cannot open \"secret.txt\": Permission denied.";
        QTest::newRow("pipe") << "pipe.txt" << QByteArray() << "Cannot open \"pipe.txt\": it is a named pipe, not an ordinary file.";
        QTest::newRow("too large") << "movie.avi" << QByteArray()
                                   << "Cannot open \"movie.avi\": it is too large to show (700 MiB; a page holds at most 4 MiB).";
        // Just over the bound: the size as precise as it takes to see it.
        QTest::newRow("4 MiB and 1 byte") << "hints.txt" << QByteArray(4 * 1024 * 1024 + 1, 'x')
                                          << "Cannot open \"hints.txt\": it is too large to show (4194305 bytes; "
                                             "a page holds at most 4194304 bytes (4 MiB)).";
        QTest::newRow("4.5 MiB") << "hints.txt" << QByteArray(9 * 512 * 1024, 'x')
                                 << "Cannot open \"hints.txt\": it is too large to show (4.5 MiB; a page holds at most 4 MiB).";
        // Within the size bound, but more than a page can lay out: the page
        // still opens at once, and says what it changed.
        const qsizetype longest = 4 * 1024 * 1024 - 10; // one line, just under the bound
        QString broken = QStringLiteral("[Next line: %1 characters, broken into lines of 10000.]\n").arg(longest);
        for (qsizetype left = longest; left > 0; left -= 10000)
            broken += QString(qMin<qsizetype>(left, 10000), QLatin1Char('x')) + (left > 10000 ? "\n" : "\nnext line");
        QTest::newRow("one 4 MiB line") << "hints.txt" << QByteArray(longest, 'x') + "\nnext line" << broken;
        QTest::newRow("150000 lines") << "hints.txt" << QByteArray(150000, '\n')
                                      << QString(100000, QLatin1Char('\n'))
                                             + "[Only the first 100000 lines are shown; the file has 50000 more.]";
        // A broken line takes four lines of the page, but is one of the file's.
        QTest::newRow("a long line, then 149999 lines")
            << "hints.txt" << QByteArray(25000, 'x') + QByteArray(150000, '\n')
            << "[Next line: 25000 characters, broken into lines of 10000.]\n" + QString(10000, u'x') + '\n'
                   + QString(10000, u'x') + '\n' + QString(5000, u'x') + QString(99997, u'\n')
                   + "[Only the first 99997 lines are shown; the file has 50003 more.]";
        // Its note and pieces would take the page past its lines: the long
        // line is left out with the rest.
        QTest::newRow("99999 lines, then a long line")
            << "hints.txt" << QByteArray("a\n").repeated(99999) + QByteArray(25000, 'x')
            << QString::fromLatin1(QByteArray("a\n").repeated(99999))
                   + "[Only the first 99999 lines are shown; the file has 1 more.]";
        QTest::newRow("99996 lines, then a long line that just fits")
            << "hints.txt" << QByteArray("a\n").repeated(99996) + QByteArray(25000, 'x')
            << QString::fromLatin1(QByteArray("a\n").repeated(99996))
                   + "[Next line: 25000 characters, broken into lines of 10000.]\n" + QString(10000, u'x') + '\n'
                   + QString(10000, u'x') + '\n' + QString(5000, u'x');
    }
    void hintsPage()
    {
        QFETCH(QString, stored);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        if (stored == QLatin1String("secret.txt") && ::geteuid() == 0)
            QSKIP("Running as root: no file is unreadable");
        QDir::setCurrent(m_folder->path());
        m_folder->writeFile(QStringLiteral("options.txt"), "The options.");
        m_folder->writeFile(QStringLiteral("hints.txt"), bytes);
        m_folder->writeFile(QStringLiteral("faq.txt"), "The questions.");
        QDir(m_folder->path()).mkdir(QStringLiteral("folder"));
        m_folder->writeFile(QStringLiteral("secret.txt"), "hidden");
        QFile::setPermissions(m_folder->filePath(QStringLiteral("secret.txt")), QFileDevice::Permissions());
        // Opening a pipe nobody writes to would wait for ever.
        QFile movie(m_folder->filePath(QStringLiteral("movie.avi")));
        QVERIFY(movie.open(QIODevice::WriteOnly) && movie.resize(700LL * 1024 * 1024)); // sparse: no disc used
        movie.close();
        QVERIFY(::mkfifo(QFile::encodeName(m_folder->filePath(QStringLiteral("pipe.txt"))).constData(), 0600) == 0);
        m_folder->writeIni(iniNaming(m_folder->filePath(QStringLiteral("options.txt")), stored, QStringLiteral("faq.txt")));

        BoxAnswerer boxes;
        QPointer<frmopdicas> form = open();
        QVERIFY(showAndActivate(form));
        QCOMPARE(texts(form), QStringList({"The options.", text, "The questions."}));
        // On its own tab, as the viewer sees it: a long page lays out only
        // what is shown.
        QTabBar *bar = form->tabStrip()->tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(1).center());
        const QStringList lines = text.split(QLatin1Char('\n'));
        if (std::any_of(lines.begin(), lines.end(), [](const QString &line) { return line.size() > 1000; }))
            QTRY_VERIFY(form->page(1)->horizontalScrollBar()->maximum() > 0); // long lines scroll sideways
        else if (text.startsWith(QLatin1String("Cannot open"))) // why not: read whole, without scrolling
            QCOMPARE(form->page(1)->horizontalScrollBar()->maximum(), 0);
        QTest::qWait(50);
        QCOMPARE(boxes.count(), 0);
        QVERIFY(form);
    }
};

QTEST_MAIN(tst_frmopdicas)
#include "tst_frmopdicas.moc"
