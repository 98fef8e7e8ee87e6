// How often the file list reads its folder, and the drive list's way back to a drive.
#include "app/module1.h"
#include "platform/fs/folder_listing.h"
#include "support/app_fixture.h"

#include <QCoreApplication>
#include <QDir>
#include <QKeyEvent>
#include <QListView>
#include <QMouseEvent>
#include <dirent.h>
#include <functional>
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>

using namespace zelvia;
using zelvia::test::AppTest;

namespace {

class DrivesAndListingsTest : public AppTest {
protected:
    // Listings of the file list caused by `action`, once its effects are read and painted;
    // the folder list's entries come from the same pass over the folder.
    std::uint64_t listingsOf(const std::function<void()>& action) {
        const std::uint64_t before = form().picFil.listingCount();
        const std::uint64_t passesBefore = rt::folderPassCount();
        action();
        (void)form().picFil.ListCount();
        (void)form().picDir.ListCount();
        QCoreApplication::processEvents();
        const std::uint64_t listings = form().picFil.listingCount() - before;
        EXPECT_EQ(rt::folderPassCount() - passesBefore, listings) << "passes over the folder";
        return listings;
    }
    QString mkdir(const QString& path) {
        EXPECT_TRUE(QDir().mkpath(path)) << path.toStdString();
        return path;
    }
    void addDrive(const QString& mountPoint, const QString& label) {
        auto list = drives_.list;
        list.push_back({mountPoint, label, QStringLiteral("vfat"), QStringLiteral("/dev/sdz1")});
        drives_.set(list);
    }
};

// Lets this thread meet file permissions as any user does, also when the tests run as root:
// the capabilities that pass over them leave the effective set until the end of the scope.
class AsOrdinaryUser {
public:
    AsOrdinaryUser() {
        if (::syscall(SYS_capget, &header_, saved_) != 0) {
            return;
        }
        __user_cap_data_struct reduced[2] = {saved_[0], saved_[1]};
        reduced[0].effective &= ~((1U << CAP_DAC_OVERRIDE) | (1U << CAP_DAC_READ_SEARCH));
        active_ = ::syscall(SYS_capset, &header_, reduced) == 0;
    }
    ~AsOrdinaryUser() {
        if (active_) {
            ::syscall(SYS_capset, &header_, saved_);
        }
    }
    AsOrdinaryUser(const AsOrdinaryUser&) = delete;
    AsOrdinaryUser& operator=(const AsOrdinaryUser&) = delete;

private:
    __user_cap_header_struct header_{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct saved_[2]{};
    bool active_ = false;
};

const QString kDiskError = QStringLiteral("ディスクエラー|ディスクの準備をしてください。");

} // namespace

TEST_F(DrivesAndListingsTest, EachActionListsTheFolderOnce) {
    writeFile(QStringLiteral("a.bmp"), "x");
    writeFile(QStringLiteral("sub/b.gif"), "x");
    // Start: the path, the filter's pattern and the five flags are written, one listing.
    const std::uint64_t passesBefore = rt::folderPassCount();
    start();
    frmMain* f = &form();
    QCoreApplication::processEvents();
    EXPECT_EQ(f->picFil.listingCount(), 1u);
    EXPECT_EQ(rt::folderPassCount() - passesBefore, 1u);
    EXPECT_EQ(f->picFil.ListCount(), 1);
    EXPECT_EQ(listingsOf([&] { f->picDir.setPath(rootPath() + QStringLiteral("/sub")); }), 1u);
    EXPECT_EQ(listingsOf([&] { f->picDrv.setDrive(QStringLiteral("/")); }), 1u);
    EXPECT_EQ(listingsOf([&] { f->picDrv.setDrive(f->DriveORG); }), 1u);
    EXPECT_EQ(listingsOf([&] { f->picComb.setListIndex(1); }), 1u);
    EXPECT_EQ(f->picFil.List(0), QStringLiteral("b.gif"));
    for (const auto click :
         {&frmMain::mnuArchive_Click, &frmMain::mnuHidden_Click, &frmMain::mnuSystem_Click,
          &frmMain::mnuNormal_Click, &frmMain::mnuReadOnly_Click}) {
        EXPECT_EQ(listingsOf([&] { (f->*click)(); }), 1u);
    }
    EXPECT_EQ(listingsOf([&] { f->mnuShortPath_Click(); }), 0u);
    // Writes with no read between them: one listing, and the read sees the last state.
    EXPECT_EQ(listingsOf([&] {
                  f->picFil.setNormal(rt::True);
                  f->picFil.setPattern(QStringLiteral("*.bmp"));
                  f->picFil.setPath(rootPath());
              }),
              1u);
    EXPECT_EQ(f->picFil.List(0), QStringLiteral("a.bmp"));
    EXPECT_EQ(listingsOf([&] { f->picFil.Refresh(); }), 1u);
}

TEST_F(DrivesAndListingsTest, ADriveReopensTheNearestFolderLeftOfItsLastOne) {
    QTemporaryDir stickDir;
    const QString stick = stickDir.path();
    addDrive(stick, QStringLiteral("STICK"));
    start();
    frmMain& f = form();
    f.picDrv.setDrive(stick);
    f.picDir.setPath(mkdir(stick + QStringLiteral("/a/b/c")));
    f.picDrv.setDrive(f.DriveORG);
    // The last folder and its parent are removed while the program is elsewhere.
    ASSERT_TRUE(QDir(stick + QStringLiteral("/a/b")).removeRecursively());
    f.picDrv.setDrive(stick);
    EXPECT_EQ(f.picDir.Path(), stick + QStringLiteral("/a"));
    EXPECT_EQ(f.picFil.Path(), stick + QStringLiteral("/a"));
    f.picDrv.setDrive(f.DriveORG);
    ASSERT_TRUE(QDir(stick + QStringLiteral("/a")).removeRecursively());
    f.picDrv.setDrive(stick);
    EXPECT_EQ(f.picDir.Path(), stick);
    EXPECT_TRUE(messages().isEmpty()) << messages().join(QLatin1Char('\n')).toStdString();
    // A folder removed under the program while open is not returned to either.
    f.picDir.setPath(mkdir(stick + QStringLiteral("/gone")));
    ASSERT_TRUE(QDir(stick + QStringLiteral("/gone")).removeRecursively());
    f.picDrv.setDrive(f.DriveORG);
    f.picDrv.setDrive(stick);
    EXPECT_EQ(f.picDir.Path(), stick);
}

TEST_F(DrivesAndListingsTest, AFolderOpenedButNotListableIsNotReturnedTo) {
    QTemporaryDir stickDir;
    const QString stick = stickDir.path();
    addDrive(stick, QStringLiteral("STICK"));
    const QString locked = mkdir(stick + QStringLiteral("/open/locked"));
    ASSERT_EQ(::chmod(QFile::encodeName(locked).constData(), 0), 0);
    const AsOrdinaryUser user;
    DIR* probe = ::opendir(QFile::encodeName(locked).constData());
    if (probe != nullptr) {
        ::closedir(probe);
        GTEST_SKIP() << "this process keeps the right to read any folder (capabilities fixed)";
    }
    start();
    frmMain& f = form();
    f.picDrv.setDrive(stick);
    f.picDir.setPath(stick + QStringLiteral("/open"));
    int entry = -1;
    for (int i = 0; i < f.picDir.ListCount(); ++i) {
        entry = f.picDir.List(i) == locked ? i : entry;
    }
    f.picDir.openEntry(entry); // as a double click does: it opens and lists nothing
    ASSERT_EQ(f.picDir.Path(), locked);
    EXPECT_EQ(f.picFil.ListCount(), 0);
    f.picDrv.setDrive(f.DriveORG);
    f.picDrv.setDrive(stick);
    EXPECT_EQ(f.picDir.Path(), stick + QStringLiteral("/open"));
    EXPECT_TRUE(messages().isEmpty()) << messages().join(QLatin1Char('\n')).toStdString();
}

TEST_F(DrivesAndListingsTest, AMountedFolderIsWalkedIntoUnderTheChosenDrive) {
    const QString stick = mkdir(rootPath() + QStringLiteral("/stick"));
    writeFile(QStringLiteral("stick/in.bmp"), "x");
    addDrive(stick, QStringLiteral("STICK"));
    start();
    frmMain& f = form();
    const QString startDrive = f.picDrv.Drive();
    int entry = -1;
    for (int i = 0; i < f.picDir.ListCount(); ++i) {
        entry = f.picDir.List(i) == stick ? i : entry;
    }
    ASSERT_GE(entry, 0);
    f.picDir.openEntry(entry);
    EXPECT_EQ(f.picDir.Path(), stick);
    EXPECT_EQ(f.picDir.Root(), rootPath());
    EXPECT_EQ(f.picDir.List(0), rootPath()) << "the tree still starts at the chosen drive";
    EXPECT_EQ(f.picDrv.Drive(), startDrive);
    EXPECT_EQ(f.picFil.ListCount(), 1);
    // Choosing the mounted drive itself roots the tree there.
    f.picDrv.setDrive(stick);
    EXPECT_EQ(f.picDir.Root(), stick);
    EXPECT_EQ(f.picDir.List(0), stick);
    // And the start drive again returns to its own tree.
    f.picDrv.setDrive(startDrive);
    EXPECT_EQ(f.picDir.Root(), rootPath());
    EXPECT_EQ(f.picDir.List(0), rootPath());
}

TEST_F(DrivesAndListingsTest, AFailingStartDriveIsReportedTwiceAndTheListsStayTogether) {
    start();
    frmMain& f = form();
    f.picDrv.setDrive(QStringLiteral("/"));
    ASSERT_EQ(f.picDir.Path(), QStringLiteral("/"));
    // The start drive's root is gone: choosing it fails, and so does the restore to it.
    const QString startRoot = rootPath();
    ASSERT_TRUE(QDir(startRoot).removeRecursively());
    f.picDrv.setDrive(f.DriveORG);
    EXPECT_EQ(messages(), (QStringList{kDiskError, kDiskError}));
    EXPECT_EQ(f.picDrv.Drive(), QStringLiteral("/"));
    EXPECT_EQ(f.picDir.Path(), QStringLiteral("/"));
    EXPECT_EQ(f.picFil.Path(), QStringLiteral("/"));
    ASSERT_TRUE(QDir().mkpath(startRoot)); // let the fixture clean up
}

TEST_F(DrivesAndListingsTest, AVanishedStartDriveIsReportedOnceMoreAndNotChosen) {
    QTemporaryDir usb;
    addDrive(usb.path(), QStringLiteral("USB"));
    start();
    frmMain& f = form();
    f.picDrv.setDrive(QStringLiteral("/"));
    // The start drive is unmounted, then a stick is pulled out and chosen.
    auto list = drives_.list;
    std::erase_if(list, [&](const rt::Drive& d) { return d.mountPoint == rootPath(); });
    drives_.set(list);
    usb.remove();
    f.picDrv.setDrive(usb.path());
    EXPECT_EQ(messages(), (QStringList{kDiskError, kDiskError}));
    EXPECT_EQ(f.picDrv.Drive(), QStringLiteral("/"));
    EXPECT_EQ(f.picDir.Path(), QStringLiteral("/"));
}

// Input already queued when a folder or filter change is handled acts on the entry it was aimed
// at in the rows then on screen, or on nothing; never on what the new list holds at that row.
TEST_F(DrivesAndListingsTest, InputQueuedBehindAChangeActsOnTheEntryItWasAimedAt) {
    mkdir(rootPath() + QStringLiteral("/a"));
    mkdir(rootPath() + QStringLiteral("/b/deeper"));
    for (const char* name : {"a.bmp", "c.bmp", "d.bmp"}) {
        saveImage(QString::fromLatin1(name), test::testImage(8, 8), "BMP");
    }
    writeFile(QStringLiteral("b.gif"), "x");
    start();
    frmMain& f = form();
    QCoreApplication::processEvents();
    const auto postClick = [](QListView* view, int row) {
        const QPoint at = view->visualRect(view->model()->index(row, 0)).center();
        for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
            QCoreApplication::postEvent(view->viewport(),
                                        new QMouseEvent(type, at, view->mapToGlobal(at),
                                                        Qt::LeftButton, Qt::LeftButton, {}));
        }
    };
    const auto postEnter = [](QListView* view) {
        QCoreApplication::postEvent(view, new QKeyEvent(QEvent::KeyPress, Qt::Key_Return, {}));
    };
    // A click on a file, then a filter that keeps it at another row or drops it.
    struct Case {
        int row;
        QString shown;
    };
    for (const Case& c : {Case{1, QString()}, Case{2, QStringLiteral("c.bmp")}}) {
        f.picComb.setListIndex(0);
        ASSERT_EQ(f.picFil.ListCount(), 4);
        QCoreApplication::processEvents();
        postClick(f.picFil.view(), c.row);
        f.picComb.setListIndex(2); // *.BMP: d.bmp moves up to row 2
        QCoreApplication::processEvents();
        EXPECT_EQ(f.picFil.FileName(), c.shown);
        EXPECT_EQ(f.lblFileName.Caption(), QStringLiteral("ファイル名：") + c.shown);
    }
    // Enter twice on "b": the second Enter meets the rows of the folder that still show "b".
    QListView* dirs = f.picDir.view();
    dirs->setCurrentIndex(dirs->model()->index(f.picDir.ListCount() - 1, 0));
    postEnter(dirs);
    postEnter(dirs);
    QCoreApplication::processEvents();
    EXPECT_EQ(f.picDir.Path(), rootPath() + QStringLiteral("/b"));
    // Enter on "deeper", a click on the drive's root in the rows still on screen, then Enter
    // once the new rows are in: the root, which the new rows show too, is opened.
    dirs->setCurrentIndex(dirs->model()->index(f.picDir.ListCount() - 1, 0));
    postEnter(dirs);
    postClick(dirs, 0);
    QCoreApplication::processEvents();
    postEnter(dirs);
    QCoreApplication::processEvents();
    EXPECT_EQ(f.picDir.Path(), rootPath());
    EXPECT_TRUE(messages().isEmpty()) << messages().join(QLatin1Char('\n')).toStdString();
}
