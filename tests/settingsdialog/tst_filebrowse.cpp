// The four Browse buttons of the settings dialog and their open-file dialogs.

#include "dialogfixture.h"

#include "settingsdialog/filebrowse.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QListView>
#include <QTemporaryDir>
#include <QTimer>

using namespace dialogfixture;
using settingsdialog::BrowseRequest;

namespace {

const std::optional<QString> Cancel;

// The names a file dialog's list shows, sorted, once there are `count` of them
// (the file system model fills in the background).
QStringList waitForListing(QListView *list, int count)
{
    const auto rows = [list] { return list->model()->rowCount(list->rootIndex()); };
    (void)QTest::qWaitFor([&] { return rows() == count; });
    QStringList names;
    for (int row = 0; row < rows(); ++row)
        names << list->model()->index(row, 0, list->rootIndex()).data().toString();
    names.sort();
    return names;
}

} // namespace

class tst_FileBrowse : public QObject
{
    Q_OBJECT
    QList<std::optional<QString>> answers; // a path picks, Cancel cancels; none left cancels
    QList<BrowseRequest> requests;
    QWidget *lastParent = nullptr;

private slots:
    // The open-file dialogs answer from `answers` and record what they were asked.
    void init()
    {
        answers.clear();
        requests.clear();
        settingsdialog::setFileOpenerForTests([this](QWidget *parent, const BrowseRequest &request) {
            lastParent = parent;
            requests << request;
            return answers.isEmpty() ? Cancel : answers.takeFirst();
        });
    }
    void cleanup() { settingsdialog::setFileOpenerForTests({}); }

    void filterListsBecomeQtFilters()
    {
        using settingsdialog::nameFiltersFromFilterList;
        QCOMPARE(nameFiltersFromFilterList("Lonely||Mixed|*.a;;*.b;|"), QStringList{"Mixed (*.a *.b)"});
        QCOMPARE(nameFiltersFromFilterList("Text|*.txt"), QStringList{"Text (*.txt)"});
    }

    // Each button opens its own dialog over the settings dialog, with the
    // design's filters first, then what discs hold today, then every file;
    // the pick lands in its own row's box, named from the disc folder when
    // it lies inside it.
    void eachButtonOpensItsOwnDialog()
    {
        OpenedDialog s;
        const QString outside = QDir::toNativeSeparators(QStringLiteral("/media/other/the movie.avi"));
        answers = {s.folder.filePath(QStringLiteral("front.jpg")), s.folder.filePath(QStringLiteral("covers/back.png")),
                   outside, s.folder.filePath(QStringLiteral("video/subs/s.srt"))};
        for (const char *name : {"Cmdproccapa", "cmdproccapa2", "Cmdprocfilme", "Cmdproclege"})
            click(s.dialog, name);
        const QString sep = QDir::separator();
        QCOMPARE(boxTexts(s.dialog),
                 (QStringList{"", "front.jpg", "covers" + sep + "back.png", outside, "video" + sep + "subs" + sep + "s.srt"}));
        QCOMPARE(lastParent, s.dialog.data());
        QStringList asked;
        for (const BrowseRequest &request : requests)
            asked << request.title + ": " + request.nameFilters.join(QStringLiteral(", "));
        const QString images = QStringLiteral(
            "Ficheiros Bitmap (*.bmp) (*.bmp), Ficheiros JPEG (*.jpg) (*.jpg), Ficheiros Gif (*.gif) (*.gif), "
            "Ficheiros PNG (*.png) (*.png), All files (*) (*)");
        QCOMPARE(asked, (QStringList{"Trevlin - Open Front Cover: " + images, "Trevlin - Open Back Cover: " + images,
                                     "Trevlin - Open Movie: Ficheiros DivX (*.avi) (*.avi), Ficheiros Video CD "
                                     "(*.mpg;*dat) (*.mpg *dat), Ficheiros MP4 (*.mp4) (*.mp4), Ficheiros Matroska "
                                     "(*.mkv) (*.mkv), All files (*) (*)",
                                     "Trevlin - Open Subtitles: Ficheiros Subrip (*.srt) (*.srt), Ficheiros VOBsub "
                                     "(*.sub) (*.sub), All files (*) (*)"}));
    }

    // Where a dialog opens: at the row's file, else in its folder, else in
    // the disc folder; a cancel leaves the box as it was, typed text included.
    void opensAtTheRowsFileAndCancelKeepsTheBox_data()
    {
        QTest::addColumn<QString>("typed");     // into the box; <disc>: the disc folder
        QTest::addColumn<QString>("directory"); // where the dialog opens
        QTest::addColumn<QString>("selected");  // the file selected in it
        QTest::newRow("empty") << "" << "<disc>" << "";
        QTest::newRow("relative, there") << "video/movie.mkv" << "<disc>/video" << "<disc>/video/movie.mkv";
        QTest::newRow("absolute, there") << "<disc>/front.jpg" << "<disc>" << "<disc>/front.jpg";
        QTest::newRow("gone, its folder there") << "video/old.avi" << "<disc>/video" << "";
        QTest::newRow("folder gone too") << "/nowhere/at/all.avi" << "<disc>" << "";
        QTest::newRow("a folder named") << "video" << "<disc>" << "";
    }
    void opensAtTheRowsFileAndCancelKeepsTheBox()
    {
        QFETCH(QString, typed);
        QFETCH(QString, directory);
        QFETCH(QString, selected);
        OpenedDialog s;
        QVERIFY(QDir(s.folder.path()).mkdir(QStringLiteral("video")));
        s.folder.writeFile(QStringLiteral("video/movie.mkv"), "x");
        s.folder.writeFile(QStringLiteral("front.jpg"), "x");
        for (QString *text : {&typed, &directory, &selected})
            *text = QDir::toNativeSeparators(text->replace(QLatin1String("<disc>"), s.folder.path()));
        QLineEdit *movie = box(s.dialog, "Txtfilme");
        movie->clear();
        QTest::keyClicks(movie, typed);
        answers = {Cancel};
        click(s.dialog, "Cmdprocfilme");
        QCOMPARE(requests.last().directory, directory);
        QCOMPARE(requests.last().selectedFile, selected);
        QCOMPARE(movie->text(), typed);
    }

    // A pick is stored relative to the disc folder when it lies inside it,
    // also when one of the two is reached through a symbolic link.
    void picksInsideTheDiscAreRelative()
    {
        QTemporaryDir top;
        const QString disc = top.filePath(QStringLiteral("disc"));
        QVERIFY(QDir().mkpath(disc + QStringLiteral("/video")) && QDir().mkpath(top.filePath(QStringLiteral("disc2"))));
        QVERIFY(QFile::link(disc, top.filePath(QStringLiteral("link"))));
        const QString link = top.filePath(QStringLiteral("link"));
        const QString sep = QDir::separator();
        using settingsdialog::pathForDisc;
        const struct { QString picked, folder, stored; } cases[] = {
            {disc + "/front.jpg", disc, "front.jpg"},
            {disc + "/video/movie.mkv", disc, "video" + sep + "movie.mkv"},
            {disc + "/video/../front.jpg", disc, "front.jpg"},
            {link + "/video/movie.mkv", disc, "video" + sep + "movie.mkv"},
            {disc + "/front.jpg", link, "front.jpg"},
            {top.filePath("disc2/front.jpg"), disc, QDir::toNativeSeparators(top.filePath("disc2/front.jpg"))},
            {top.filePath("front.jpg"), disc, QDir::toNativeSeparators(top.filePath("front.jpg"))},
            {"/usr/share/pixmaps/x.png", disc, QDir::toNativeSeparators("/usr/share/pixmaps/x.png")},
        };
        for (const auto &c : cases)
            QVERIFY2(pathForDisc(QDir::toNativeSeparators(c.picked), QDir::toNativeSeparators(c.folder)) == c.stored,
                     qPrintable(c.picked + " from " + c.folder + " gave "
                                + pathForDisc(QDir::toNativeSeparators(c.picked), QDir::toNativeSeparators(c.folder))));
    }

    // The real QFileDialog, driven as a user would: filters, start folder, a
    // typed file name, and on the next use the earlier pick selected.
    void realFileDialog()
    {
        settingsdialog::setFileOpenerForTests({});
        OpenedDialog s;
        for (const char *name : {"movie.dat", "avseqdat", "clip.mpg", "logo.avi", "notes.txt"})
            s.folder.writeFile(QLatin1String(name), "x");
        QStringList firstLook, shownUnderDivX, shownUnderVideoCd, selectedOnReopen;
        QString filterOnReopen;
        QTimer driver;
        QObject::connect(&driver, &QTimer::timeout, [&] {
            auto *fileDialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
            if (!fileDialog || !fileDialog->isVisible() || fileDialog->property("driven").toBool())
                return;
            fileDialog->setProperty("driven", true);
            auto *filterBox = fileDialog->findChild<QComboBox *>(QStringLiteral("fileTypeCombo"));
            auto *list = fileDialog->findChild<QListView *>(QStringLiteral("listView"));
            auto *nameEdit = fileDialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
            if (!firstLook.isEmpty() || !list || !filterBox || !nameEdit) {
                selectedOnReopen = fileDialog->selectedFiles();
                filterOnReopen = filterBox ? filterBox->currentText() : QString();
                return fileDialog->reject();
            }
            firstLook << fileDialog->windowTitle() << fileDialog->directory().absolutePath();
            for (int i = 0; i < filterBox->count(); ++i)
                firstLook << filterBox->itemText(i);
            // In the disc folder: look, then the Video CD filter from the box.
            shownUnderDivX = waitForListing(list, 1);
            filterBox->setFocus();
            QTest::keyClick(filterBox, Qt::Key_Down);
            shownUnderVideoCd = waitForListing(list, 3);
            nameEdit->setFocus();
            QTest::keyClicks(nameEdit, QStringLiteral("movie.dat"));
            QTest::keyClick(nameEdit, Qt::Key_Return);
        });
        driver.start(20);

        click(s.dialog, "Cmdprocfilme");
        QCOMPARE(firstLook, (QStringList{"Trevlin - Open Movie", s.folder.path(), "Ficheiros DivX (*.avi)",
                                         "Ficheiros Video CD (*.mpg;*dat)", "Ficheiros MP4 (*.mp4)",
                                         "Ficheiros Matroska (*.mkv)", "All files (*)"}));
        QCOMPARE(shownUnderDivX, QStringList{"logo.avi"});
        QCOMPARE(shownUnderVideoCd, (QStringList{"avseqdat", "clip.mpg", "movie.dat"}));
        QCOMPARE(box(s.dialog, "Txtfilme")->text(), QStringLiteral("movie.dat")); // inside the disc folder
        // The next time it opens on that file, under the filter that shows it.
        click(s.dialog, "Cmdprocfilme");
        QCOMPARE(selectedOnReopen, QStringList{s.folder.filePath(QStringLiteral("movie.dat"))});
        QCOMPARE(filterOnReopen, QStringLiteral("Ficheiros Video CD (*.mpg;*dat)"));
    }
};

QTEST_MAIN(tst_FileBrowse)
#include "tst_filebrowse.moc"
