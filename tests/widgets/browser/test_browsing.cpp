// The drive, folder and file lists working together, and what each change does to the panel.
#include "app/module1.h"
#include "support/app_fixture.h"

#include <QDir>
#include <QFile>
#include <QListView>
#include <QPalette>
#include <QScrollBar>
#include <QStyleOptionViewItem>
#include <QTest>
#include <cstdio>

using namespace zelvia;
using zelvia::test::AppTest;
using zelvia::test::extentOf;
using zelvia::test::testImage;

namespace {

class BrowsingTest : public AppTest {
protected:
    bool boxIsEmpty() {
        return !extentOf(form().picOut.image(),
                         form().picOut.widget()->palette().color(QPalette::Base))
                    .isValid();
    }
    void expectBarePanel() {
        frmMain& f = form();
        EXPECT_EQ(f.lblFileName.Caption(), QStringLiteral("ファイル名："));
        EXPECT_EQ(f.lblFileSize.Caption(), QStringLiteral("ﾌｧｲﾙｻｲｽﾞ："));
        EXPECT_EQ(f.lblFileAttribute.Caption(), QStringLiteral("ﾌｧｲﾙ属性："));
        EXPECT_EQ(f.lblLastDay.Caption(), QStringLiteral("最終更新日："));
        EXPECT_EQ(f.lblWidth.Caption(), QStringLiteral("横(ﾋﾟｸｾﾙ)："));
        EXPECT_EQ(f.lblHeight.Caption(), QStringLiteral("縦(ﾋﾟｸｾﾙ)："));
        EXPECT_TRUE(boxIsEmpty());
    }
};

} // namespace

TEST_F(BrowsingTest, FilterChangeLeavesTheDisplayedPictureAndItsLabels) {
    saveImage(QStringLiteral("a.bmp"), testImage(20, 20), "bmp");
    writeFile(QStringLiteral("b.txt"), "x");
    start();
    choose(QStringLiteral("a.bmp"));
    const QString width = form().lblWidth.Caption();
    form().picComb.setListIndex(8); // GIF only: a.bmp is no longer listed
    EXPECT_EQ(form().picFil.ListCount(), 0);
    EXPECT_EQ(form().picFil.Pattern(), QStringLiteral("*.GIF"));
    EXPECT_EQ(form().lblWidth.Caption(), width);
    EXPECT_EQ(form().lblFileName.Caption(), QStringLiteral("ファイル名：a.bmp"));
    EXPECT_FALSE(boxIsEmpty());
}

TEST_F(BrowsingTest, OpeningAFolderClearsThePanelEvenWhenItHoldsTheSameFile) {
    saveImage(QStringLiteral("a.bmp"), testImage(20, 20), "bmp");
    QDir(rootPath()).mkdir(QStringLiteral("sub"));
    start();
    choose(QStringLiteral("a.bmp"));
    ASSERT_FALSE(boxIsEmpty());
    form().picDir.setPath(rootPath()); // the same folder again
    expectBarePanel();
    EXPECT_EQ(form().lblLine.Caption(), QStringLiteral("ｺﾏﾝﾄﾞﾗｲﾝ：") + rootPath());
    EXPECT_EQ(form().picFil.ListIndex(), -1);
    // Double-click on a subfolder opens it and rewrites the path line.
    frmMain& f = form();
    int sub = -1;
    for (int i = 0; i < f.picDir.ListCount(); ++i) {
        if (f.picDir.List(i).endsWith(QStringLiteral("/sub"))) {
            sub = i;
        }
    }
    ASSERT_GE(sub, 0);
    f.picDir.openEntry(sub);
    EXPECT_EQ(f.picDir.Path(), rootPath() + QStringLiteral("/sub"));
    EXPECT_EQ(f.lblLine.Caption(),
              QStringLiteral("ｺﾏﾝﾄﾞﾗｲﾝ：") + rootPath() + QStringLiteral("/sub"));
    EXPECT_EQ(f.picFil.Path(), rootPath() + QStringLiteral("/sub"));
}

TEST_F(BrowsingTest, ADriveThatVanishedIsReportedAndTheListsReturnToTheStartDrive) {
    writeFile(QStringLiteral("start.txt"), "x");
    QTemporaryDir usb;
    ASSERT_TRUE(usb.isValid());
    drives_.list.push_back(
        {usb.path(), QStringLiteral("USB"), QStringLiteral("vfat"), QStringLiteral("/dev/sdz1")});
    start();
    frmMain& f = form();
    // A third drive first, then the stick: it is pulled out under the program.
    f.picDrv.setDrive(QStringLiteral("/"));
    ASSERT_EQ(f.picDir.Path(), QStringLiteral("/"));
    usb.remove();
    f.picDrv.setDrive(usb.path() + QStringLiteral(" [USB]"));
    EXPECT_EQ(messages(),
              QStringList{QStringLiteral("ディスクエラー|ディスクの準備をしてください。")});
    EXPECT_EQ(host_.callsOf(QStringLiteral("msgbox"))[0].number, 16);
    EXPECT_EQ(f.picDrv.Drive(), f.DriveORG);
    EXPECT_EQ(f.picDir.Path(), rootPath());
    EXPECT_EQ(f.picFil.Path(), rootPath());
    EXPECT_EQ(f.picFil.ListCount(), 1);
    expectBarePanel();
}

TEST_F(BrowsingTest, AStartDriveThatCannotBeOpenedEitherIsReportedOnceMoreAndNotRetried) {
    QTemporaryDir usb;
    drives_.list.push_back(
        {usb.path(), QString(), QStringLiteral("vfat"), QStringLiteral("/dev/sdz1")});
    start();
    frmMain& f = form();
    const QString startFolder = rootPath();
    // Both the stick and the start folder vanish.
    usb.remove();
    ASSERT_TRUE(QDir(startFolder).removeRecursively());
    f.picDrv.setDrive(usb.path());
    EXPECT_EQ(messages().size(), 2) << messages().join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(f.picDrv.Drive(), f.DriveORG);
    ASSERT_TRUE(QDir().mkpath(startFolder)); // let the fixture clean up
}

TEST_F(BrowsingTest, AnUnreadableFolderListsNothingAndTheFolderListStaysUsable) {
    QDir(rootPath()).mkdir(QStringLiteral("doomed"));
    writeFile(QStringLiteral("doomed/in.bmp"), "x");
    start();
    frmMain& f = form();
    f.picDir.setPath(rootPath() + QStringLiteral("/doomed"));
    ASSERT_EQ(f.picFil.ListCount(), 1);
    // Deleted while open: re-reading lists nothing and nothing breaks.
    QDir(rootPath() + QStringLiteral("/doomed")).removeRecursively();
    f.picFil.Refresh();
    EXPECT_EQ(f.picFil.ListCount(), 0);
    // Its parent can still be opened from the folder list.
    f.picDir.openEntry(f.picDir.ListCount() - 2);
    EXPECT_EQ(f.picDir.Path(), rootPath());
    EXPECT_TRUE(messages().isEmpty());
}

TEST_F(BrowsingTest, DrivesFollowMountsAndUnmountsWhileRunning) {
    start();
    frmMain& f = form();
    const int before = f.picDrv.ListCount();
    QTemporaryDir stick;
    auto list = drives_.list;
    list.push_back({stick.path(), QStringLiteral("STICK"), QStringLiteral("vfat"),
                    QStringLiteral("/dev/sdy1")});
    drives_.set(list);
    EXPECT_EQ(f.picDrv.ListCount(), before + 1);
    EXPECT_EQ(f.picDrv.List(before), stick.path() + QStringLiteral(" [STICK]"));
    list.pop_back();
    drives_.set(list);
    EXPECT_EQ(f.picDrv.ListCount(), before);
    EXPECT_EQ(f.picDrv.Drive(), f.DriveORG) << "the shown drive stays chosen";
}

TEST_F(BrowsingTest, EnterInTheFolderListOpensTheCurrentEntryAndDotFoldersAreNotListed) {
    QDir(rootPath()).mkpath(QStringLiteral("alpha"));
    QDir(rootPath()).mkpath(QStringLiteral(".secret"));
    start();
    frmMain& f = form();
    QStringList shown;
    for (int i = 0; i < f.picDir.ListCount(); ++i) {
        shown << f.picDir.List(i);
    }
    EXPECT_FALSE(shown.join(QLatin1Char('|')).contains(QStringLiteral(".secret")));
    const int alpha = static_cast<int>(shown.indexOf(rootPath() + QStringLiteral("/alpha")));
    ASSERT_GE(alpha, 0);
    f.picDir.view()->setFocus();
    f.picDir.view()->setCurrentIndex(f.picDir.view()->model()->index(alpha, 0));
    QTest::keyClick(f.picDir.view(), Qt::Key_Return);
    EXPECT_EQ(f.picDir.Path(), rootPath() + QStringLiteral("/alpha"));
    EXPECT_EQ(f.lblLine.Caption(),
              QStringLiteral("ｺﾏﾝﾄﾞﾗｲﾝ：") + rootPath() + QStringLiteral("/alpha"));
}

TEST_F(BrowsingTest, TheFolderListFindsTypedNamesAndKeepsDeepNamesInView) {
    QString deep = rootPath();
    for (int level = 0; level < 48; ++level) { // as deep as a link loop takes the chain
        deep += QStringLiteral("/level%1").arg(level);
    }
    const QString gamma = deep + QStringLiteral("/gamma-") + QString(80, QLatin1Char('g'));
    ASSERT_TRUE(QDir().mkpath(gamma) && QDir().mkpath(deep + QStringLiteral("/beta")));
    start();
    rt::FolderList& list = form().picDir;
    list.setPath(deep);
    ASSERT_GT(list.ListCount(), 48); // built, as it is once shown
    list.view()->setFocus();
    QTest::keyClicks(list.view(), QStringLiteral("GA"));
    ASSERT_EQ(list.List(list.ListIndex()), gamma);
    EXPECT_GT(list.indentOf(list.ListIndex()), list.indentOf(list.ListIndex() - 2));
    EXPECT_LE(list.indentOf(list.ListIndex()), list.view()->viewport()->width() / 2);
    // The scroll bar reaches the end of the long name.
    const QModelIndex longest = list.view()->currentIndex();
    EXPECT_GE(list.view()->horizontalScrollBar()->maximum() + list.view()->viewport()->width(),
              list.view()->itemDelegate()->sizeHint(QStyleOptionViewItem(), longest).width());
}

TEST_F(BrowsingTest, NamesThatAreNotUtf8AreListedShownReadablyAndCanBeChosen) {
    // Write a bitmap under a name with a byte that is no UTF-8.
    const QString good = saveImage(QStringLiteral("tmp.bmp"), testImage(12, 7), "bmp");
    const QByteArray odd = QFile::encodeName(rootPath()) + "/bad\xff name.bmp";
    ASSERT_EQ(::rename(QFile::encodeName(good).constData(), odd.constData()), 0);
    start();
    frmMain& f = form();
    ASSERT_EQ(f.picFil.ListCount(), 1);
    const QString shown = f.picFil.view()->model()->index(0, 0).data().toString();
    EXPECT_EQ(shown, QStringLiteral("bad\uFFFD name.bmp"));
    f.picFil.setListIndex(0);
    EXPECT_EQ(f.lblWidth.Caption(), QStringLiteral("横(ﾋﾟｸｾﾙ)：12"));
    EXPECT_EQ(f.lblHeight.Caption(), QStringLiteral("縦(ﾋﾟｸｾﾙ)：7"));
}
