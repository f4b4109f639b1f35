// The four Browse buttons of the settings dialog and their open-file dialogs.

#include "dialogfixture.h"

#include "settingsdialog/filebrowse.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QListView>
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

    // Each button opens its own dialog over the settings dialog, and the pick
    // lands, whole, in its own row's box.
    void eachButtonOpensItsOwnDialog()
    {
        OpenedDialog s;
        const QString movie = QDir::toNativeSeparators(QStringLiteral("/media/disc/the movie.avi"));
        answers = {QStringLiteral("f.jpg"), QStringLiteral("b.jpg"), movie, QStringLiteral("s.srt")};
        for (const char *name : {"Cmdproccapa", "cmdproccapa2", "Cmdprocfilme", "Cmdproclege"})
            click(s.dialog, name);
        QCOMPARE(boxTexts(s.dialog), (QStringList{"", "f.jpg", "b.jpg", movie, "s.srt"}));
        QCOMPARE(lastParent, s.dialog.data());
        // Spot checks of which filters: the movie's are looked at closely below.
        QStringList asked;
        for (const BrowseRequest &request : requests)
            asked << request.title + ": " + request.nameFilters.value(0);
        QCOMPARE(asked, (QStringList{"Trevlin - Open Front Cover: Ficheiros Bitmap (*.bmp) (*.bmp)",
                                     "Trevlin - Open Back Cover: Ficheiros Bitmap (*.bmp) (*.bmp)",
                                     "Trevlin - Open Movie: Ficheiros DivX (*.avi) (*.avi)",
                                     "Trevlin - Open Subtitles: Ficheiros Subrip (*.srt) (*.srt)"}));
    }

    void picksCancelsAndNewOpenings()
    {
        OpenedDialog s;
        QLineEdit *front = box(s.dialog, "Txtcapa");
        // A cancel before any pick empties the box, typed text included.
        QTest::keyClicks(front, QStringLiteral("/typed/front.jpg"));
        answers = {Cancel, QStringLiteral("/disc/front.jpg")};
        click(s.dialog, "Cmdproccapa");
        QCOMPARE(front->text(), QString());
        click(s.dialog, "Cmdproccapa");
        QCOMPARE(front->text(), QStringLiteral("/disc/front.jpg"));
        // The back row has a component of its own: no pick to open on.
        click(s.dialog, "cmdproccapa2");
        QVERIFY(requests.last().selectedFile.isEmpty());
        // A cancel after a pick opened on that pick and puts it back over what
        // was typed since.
        front->setText(QStringLiteral("typed over"));
        click(s.dialog, "Cmdproccapa");
        QCOMPARE(requests.last().selectedFile, QStringLiteral("/disc/front.jpg"));
        QCOMPARE(front->text(), QStringLiteral("/disc/front.jpg"));
        // A new opening has forgotten the pick.
        click(s.dialog, "Cmdcancel");
        QVERIFY(s.unloadedAndBack());
        s.open();
        click(s.dialog, "Cmdproccapa");
        QVERIFY(requests.last().selectedFile.isEmpty());
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
                return fileDialog->reject();
            }
            firstLook << fileDialog->windowTitle() << fileDialog->directory().absolutePath();
            for (int i = 0; i < filterBox->count(); ++i)
                firstLook << filterBox->itemText(i);
            // To the disc's folder, look, then the Video CD filter from the box.
            fileDialog->setDirectory(s.folder.path());
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
        const QString moviePath = QDir::toNativeSeparators(s.folder.filePath(QStringLiteral("movie.dat")));
        const QString start = QDir(settingsdialog::initialBrowseFolder()).absolutePath();
        QCOMPARE(firstLook, (QStringList{"Trevlin - Open Movie", start, "Ficheiros DivX (*.avi)",
                                         "Ficheiros Video CD (*.mpg;*dat)"}));
        QCOMPARE(shownUnderDivX, QStringList{"logo.avi"});
        QCOMPARE(shownUnderVideoCd, (QStringList{"avseqdat", "clip.mpg", "movie.dat"}));
        QCOMPARE(box(s.dialog, "Txtfilme")->text(), moviePath);
        click(s.dialog, "Cmdprocfilme");
        QCOMPARE(selectedOnReopen, QStringList{s.folder.filePath(QStringLiteral("movie.dat"))});
    }
};

QTEST_MAIN(tst_FileBrowse)
#include "tst_filebrowse.moc"
