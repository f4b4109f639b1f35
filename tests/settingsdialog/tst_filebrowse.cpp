// The four Browse buttons of the settings dialog and their open-file dialogs.

#include "dialogfixture.h"

#include "settingsdialog/filebrowse.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QListView>
#include <QTest>
#include <QTimer>

using namespace dialogfixture;
using settingsdialog::BrowseRequest;
using testsupport::TempAppFolder;

namespace {

const QStringList ImageFilters{"Ficheiros Bitmap (*.bmp) (*.bmp)", "Ficheiros JPEG (*.jpg) (*.jpg)",
                               "Ficheiros Gif (*.gif) (*.gif)"};
const QStringList MovieFilters{"Ficheiros DivX (*.avi) (*.avi)", "Ficheiros Video CD (*.mpg;*dat) (*.mpg *dat)"};
const QStringList SubtitleFilters{"Ficheiros Subrip (*.srt) (*.srt)", "Ficheiros VOBsub (*.sub) (*.sub)"};

// Answers the open-file dialogs from a script: each entry is a pick (a path)
// or a cancel (nothing). Records what every dialog was asked to show.
class ScriptedOpener
{
public:
    explicit ScriptedOpener(QList<std::optional<QString>> answers) : m_answers(std::move(answers))
    {
        settingsdialog::setFileOpenerForTests([this](QWidget *parent, const BrowseRequest &request) {
            m_parents << parent;
            m_requests << request;
            return m_answers.isEmpty() ? std::nullopt : m_answers.takeFirst();
        });
    }
    ~ScriptedOpener() { settingsdialog::setFileOpenerForTests({}); }
    const QList<BrowseRequest> &requests() const { return m_requests; }
    const QList<QWidget *> &parents() const { return m_parents; }
    void answer(std::optional<QString> next) { m_answers << std::move(next); }

private:
    QList<std::optional<QString>> m_answers;
    QList<BrowseRequest> m_requests;
    QList<QWidget *> m_parents;
};

const std::optional<QString> Cancel = std::nullopt;

// The names a file dialog's list shows, sorted, once it shows `count` of them
// (the file system model fills in the background).
QStringList waitForListing(QListView *list, int count)
{
    QTest::qWaitFor([&] { return list->model()->rowCount(list->rootIndex()) == count; });
    QStringList names;
    for (int row = 0; row < list->model()->rowCount(list->rootIndex()); ++row)
        names << list->model()->index(row, 0, list->rootIndex()).data().toString();
    names.sort();
    return names;
}

} // namespace

class tst_FileBrowse : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();

    void filterListsBecomeQtFilters_data();
    void filterListsBecomeQtFilters();

    void eachButtonOpensItsOwnDialog_data();
    void eachButtonOpensItsOwnDialog();
    void pickCancelAndRowsKeepTheirOwnPicks();
    void newOpeningForgetsThePicks();
    void realFileDialog();
};

void tst_FileBrowse::cleanup()
{
    settingsdialog::setFileOpenerForTests({});
    for (QWidget *w : QApplication::topLevelWidgets())
        if (qobject_cast<Frmparametros *>(w))
            delete w;
}

void tst_FileBrowse::filterListsBecomeQtFilters_data()
{
    QTest::addColumn<QString>("filterList");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("images") << "Ficheiros Bitmap (*.bmp)|*.bmp|Ficheiros JPEG (*.jpg)|*.jpg|Ficheiros Gif (*.gif)|*.gif|"
                            << ImageFilters;
    QTest::newRow("movie") << "Ficheiros DivX (*.avi)|*.avi|Ficheiros Video CD (*.mpg;*dat)|*.mpg;*dat|"
                           << MovieFilters;
    QTest::newRow("subtitles") << "Ficheiros Subrip (*.srt)|*.srt|Ficheiros VOBsub (*.sub)|*.sub|"
                               << SubtitleFilters;
    QTest::newRow("no trailing bar") << "Text|*.txt" << QStringList{"Text (*.txt)"};
    QTest::newRow("empty") << "" << QStringList{};
    QTest::newRow("description without patterns") << "Lonely|" << QStringList{};
    QTest::newRow("stray semicolons") << "Mixed|*.a;;*.b;|" << QStringList{"Mixed (*.a *.b)"};
}

void tst_FileBrowse::filterListsBecomeQtFilters()
{
    QFETCH(QString, filterList);
    QFETCH(QStringList, expected);
    QCOMPARE(settingsdialog::nameFiltersFromFilterList(filterList), expected);
}

void tst_FileBrowse::eachButtonOpensItsOwnDialog_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("boxName");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QStringList>("filters");
    QTest::newRow("front") << "Cmdproccapa" << "Txtcapa" << "Trevlin - Open Front Cover" << ImageFilters;
    QTest::newRow("back") << "cmdproccapa2" << "Txtcapa2" << "Trevlin - Open Back Cover" << ImageFilters;
    QTest::newRow("movie") << "Cmdprocfilme" << "Txtfilme" << "Trevlin - Open Movie" << MovieFilters;
    QTest::newRow("subtitles") << "Cmdproclege" << "Txtlegendas" << "Trevlin - Open Subtitles" << SubtitleFilters;
}

void tst_FileBrowse::eachButtonOpensItsOwnDialog()
{
    QFETCH(QString, button);
    QFETCH(QString, boxName);
    QFETCH(QString, title);
    QFETCH(QStringList, filters);

    TempAppFolder folder;
    MainWindowStandIn mainWindow;
    QPointer<Frmparametros> dialog = openSettings(mainWindow);
    const QString picked = QDir::toNativeSeparators(QStringLiteral("/media/disc/picked file.xyz"));
    ScriptedOpener opener({picked});

    click(dialog, qPrintable(button));
    QCOMPARE(opener.requests().size(), 1);
    const BrowseRequest &request = opener.requests().first();
    QCOMPARE(request.title, title);
    QCOMPARE(request.nameFilters, filters);
    QCOMPARE(request.directory, settingsdialog::initialBrowseFolder());
    QVERIFY(request.selectedFile.isEmpty());
    QCOMPARE(opener.parents().first(), dialog.data()); // modal over the settings dialog

    // The pick lands, whole, in this row's box and nowhere else.
    for (const char *name : {"Txttitulo", "Txtcapa", "Txtcapa2", "Txtfilme", "Txtlegendas"})
        QCOMPARE(box(dialog, name)->text(), QLatin1String(name) == boxName ? picked : QString());
}

void tst_FileBrowse::pickCancelAndRowsKeepTheirOwnPicks()
{
    TempAppFolder folder;
    MainWindowStandIn mainWindow;
    QPointer<Frmparametros> dialog = openSettings(mainWindow);
    ScriptedOpener opener({});
    QLineEdit *front = box(dialog, "Txtcapa");
    QLineEdit *back = box(dialog, "Txtcapa2");
    QLineEdit *movie = box(dialog, "Txtfilme");

    // A cancel before any pick empties the box, typed text included.
    QTest::keyClicks(front, QStringLiteral("/typed/front.jpg"));
    opener.answer(Cancel);
    click(dialog, "Cmdproccapa");
    QCOMPARE(front->text(), QString());

    opener.answer(QStringLiteral("/disc/front.jpg"));
    click(dialog, "Cmdproccapa");
    QCOMPARE(front->text(), QStringLiteral("/disc/front.jpg"));

    // Another row's pick and cancel leave the front row alone.
    movie->setText(QStringLiteral("typed movie"));
    opener.answer(QStringLiteral("/disc/movie.dat"));
    click(dialog, "Cmdprocfilme");
    opener.answer(Cancel);
    click(dialog, "cmdproccapa2");
    QCOMPARE(front->text(), QStringLiteral("/disc/front.jpg"));
    QCOMPARE(movie->text(), QStringLiteral("/disc/movie.dat"));
    QCOMPARE(back->text(), QString());
    QVERIFY(opener.requests().last().selectedFile.isEmpty()); // the back row has its own component

    // A cancel after a pick puts that pick back over whatever was typed since,
    // and the dialog opened on it.
    front->setText(QStringLiteral("typed over"));
    opener.answer(Cancel);
    click(dialog, "Cmdproccapa");
    QCOMPARE(opener.requests().last().selectedFile, QStringLiteral("/disc/front.jpg"));
    QCOMPARE(front->text(), QStringLiteral("/disc/front.jpg"));

    // Nothing here touched the title box or wrote anything.
    QCOMPARE(box(dialog, "Txttitulo")->text(), QString());
    QVERIFY(!QFile::exists(folder.iniPath()));
}

void tst_FileBrowse::newOpeningForgetsThePicks()
{
    TempAppFolder folder;
    MainWindowStandIn mainWindow;
    QPointer<Frmparametros> dialog = openSettings(mainWindow);
    ScriptedOpener opener({QStringLiteral("/disc/subs.srt")});
    click(dialog, "Cmdproclege");
    QCOMPARE(box(dialog, "Txtlegendas")->text(), QStringLiteral("/disc/subs.srt"));
    click(dialog, "Cmdcancel");
    QVERIFY(unloadedAndBack(dialog, mainWindow));

    dialog = openSettings(mainWindow);
    opener.answer(Cancel);
    click(dialog, "Cmdproclege");
    QVERIFY(opener.requests().last().selectedFile.isEmpty());
    QCOMPARE(box(dialog, "Txtlegendas")->text(), QString());
}

// The real QFileDialog, driven as a user would: filters, start folder, a
// typed file name, and on the next use the earlier pick selected.
void tst_FileBrowse::realFileDialog()
{
    TempAppFolder folder;
    for (const char *name : {"movie.dat", "avseqdat", "clip.mpg", "logo.avi", "notes.txt"})
        folder.writeFile(QLatin1String(name), "x");
    MainWindowStandIn mainWindow;
    QPointer<Frmparametros> dialog = openSettings(mainWindow);

    QString title;
    QStringList filterBoxItems;
    QString startFolder;
    QStringList shownUnderDivX;
    QStringList shownUnderVideoCd;
    QStringList selectedOnReopen;
    int round = 0;
    bool failed = false;
    QTimer driver;
    driver.setInterval(20);
    QObject::connect(&driver, &QTimer::timeout, [&] {
        auto *fileDialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!fileDialog || !fileDialog->isVisible() || fileDialog->property("driven").toBool())
            return;
        fileDialog->setProperty("driven", true);
        if (round++ == 0) {
            title = fileDialog->windowTitle();
            startFolder = fileDialog->directory().absolutePath();
            auto *filterBox = fileDialog->findChild<QComboBox *>(QStringLiteral("fileTypeCombo"));
            for (int i = 0; filterBox && i < filterBox->count(); ++i)
                filterBoxItems << filterBox->itemText(i);
            // The user goes to the disc's folder, looks, then picks the Video CD
            // filter from the filter box.
            fileDialog->setDirectory(folder.path());
            auto *list = fileDialog->findChild<QListView *>(QStringLiteral("listView"));
            auto *nameEdit = fileDialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
            failed = !list || !filterBox || !nameEdit;
            if (failed) {
                fileDialog->reject();
                return;
            }
            shownUnderDivX = waitForListing(list, 1);
            filterBox->setFocus();
            QTest::keyClick(filterBox, Qt::Key_Down);
            shownUnderVideoCd = waitForListing(list, 3);
            nameEdit->setFocus();
            QTest::keyClicks(nameEdit, QStringLiteral("movie.dat"));
            QTest::keyClick(nameEdit, Qt::Key_Return);
        } else {
            selectedOnReopen = fileDialog->selectedFiles();
            fileDialog->reject();
        }
    });
    driver.start();

    click(dialog, "Cmdprocfilme");
    const QString moviePath = QDir::toNativeSeparators(folder.filePath(QStringLiteral("movie.dat")));
    QVERIFY(!failed);
    QCOMPARE(title, QStringLiteral("Trevlin - Open Movie"));
    QCOMPARE(startFolder, QDir(settingsdialog::initialBrowseFolder()).absolutePath());
    QCOMPARE(filterBoxItems, (QStringList{"Ficheiros DivX (*.avi)", "Ficheiros Video CD (*.mpg;*dat)"}));
    QCOMPARE(shownUnderDivX, QStringList{"logo.avi"});
    QCOMPARE(shownUnderVideoCd, (QStringList{"avseqdat", "clip.mpg", "movie.dat"}));
    QCOMPARE(box(dialog, "Txtfilme")->text(), moviePath);

    box(dialog, "Txtfilme")->setText(QStringLiteral("typed since"));
    click(dialog, "Cmdprocfilme");
    QCOMPARE(round, 2);
    QCOMPARE(selectedOnReopen, QStringList{folder.filePath(QStringLiteral("movie.dat"))});
    QCOMPARE(box(dialog, "Txtfilme")->text(), moviePath);
}

QTEST_MAIN(tst_FileBrowse)
#include "tst_filebrowse.moc"
