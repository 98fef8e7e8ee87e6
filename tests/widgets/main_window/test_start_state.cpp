// The state the window starts in, and the help key.
#include "app/module1.h"
#include "core/basic_types.h"
#include "forms/app_object.h"
#include "support/app_fixture.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMainWindow>
#include <QTest>

using namespace zelvia;
using zelvia::test::AppTest;

namespace {
class StartStateTest : public AppTest {};
} // namespace

TEST_F(StartStateTest, ListsOpenOnTheCurrentFolderWithFilterZeroAndNoSelection) {
    writeFile(QStringLiteral("b.txt"), "x");
    writeFile(QStringLiteral("a.bmp"), "x");
    writeFile(QStringLiteral(".hidden"), "x");
    writeFile(QStringLiteral("sub/inner.gif"), "x");
    start();
    frmMain& f = form();
    EXPECT_EQ(f.picDir.Path(), rootPath());
    EXPECT_EQ(f.picFil.Path(), rootPath());
    EXPECT_EQ(f.picFil.Pattern(), QStringLiteral("*.*"));
    ASSERT_EQ(f.picFil.ListCount(), 2);
    EXPECT_EQ(f.picFil.List(0), QStringLiteral("a.bmp"));
    EXPECT_EQ(f.picFil.List(1), QStringLiteral("b.txt"));
    EXPECT_EQ(f.picFil.ListIndex(), -1);
    EXPECT_EQ(f.picFil.FileName(), QString());
    EXPECT_EQ(f.picDrv.Drive(), rootPath() + QStringLiteral(" [TEST]"));
    EXPECT_EQ(f.DriveORG, f.picDrv.Drive());

    ASSERT_EQ(f.picComb.ListCount(), 9);
    EXPECT_EQ(f.picComb.ListIndex(), 0);
    const QStringList captions = {
        QStringLiteral("全てのファイル(*.*)"),   QStringLiteral("ピクチャファイル"),
        QStringLiteral("ﾋﾞｯﾄﾏｯﾌﾟﾌｧｲﾙ(*.BMP)"),   QStringLiteral("ｱｲｺﾝﾌｧｲﾙ(*.ICO)"),
        QStringLiteral("Windowsﾒﾀﾙﾌｧｲﾙ(*.WMF)"), QStringLiteral("拡張ﾒﾀﾌｧｲﾙ(*.EMF)"),
        QStringLiteral("ﾋﾞｯﾄﾏｯﾌﾟ(*.DIB)"),       QStringLiteral("JPEGﾌｧｲﾙ(*.JPG)"),
        QStringLiteral("GIFﾌｧｲﾙ(*.GIF)")};
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(f.picComb.List(static_cast<std::int16_t>(i)), captions[i]);
    }
}

TEST_F(StartStateTest, PanelShowsBarePrefixesAndThePathLineTheFolder) {
    start();
    frmMain& f = form();
    EXPECT_EQ(f.lblLine.Caption(), QStringLiteral("ｺﾏﾝﾄﾞﾗｲﾝ：") + rootPath());
    EXPECT_EQ(f.lblFileName.Caption(), QStringLiteral("ファイル名："));
    EXPECT_EQ(f.lblFileAttribute.Caption(), QStringLiteral("ﾌｧｲﾙ属性："));
    EXPECT_EQ(f.lblFileSize.Caption(), QStringLiteral("ﾌｧｲﾙｻｲｽﾞ："));
    EXPECT_EQ(f.lblLastDay.Caption(), QStringLiteral("最終更新日："));
    EXPECT_EQ(f.lblWidth.Caption(), QStringLiteral("横(ﾋﾟｸｾﾙ)："));
    EXPECT_EQ(f.lblHeight.Caption(), QStringLiteral("縦(ﾋﾟｸｾﾙ)："));
    EXPECT_EQ(f.fraFile.Caption(), QStringLiteral("ファイル詳細"));
    EXPECT_FALSE(f.picOut.Picture());
    EXPECT_FALSE(f.picTest.Picture());
    EXPECT_EQ(f.PicSize, 0.0F);
    EXPECT_EQ(Module1::FolderPath, QString());
    EXPECT_EQ(Module1::ShortPathMode, rt::False);
    EXPECT_EQ(f.picFil.Normal(), rt::True);
    EXPECT_EQ(f.picFil.Archive(), rt::False);
    EXPECT_EQ(f.picFil.System(), rt::False);
    EXPECT_EQ(f.picFil.Hidden(), rt::False);
    EXPECT_EQ(f.picFil.ReadOnly(), rt::False);
    EXPECT_EQ(f.HelpContextID(), 9);
    EXPECT_EQ(rt::App().HelpFile, QStringLiteral("Vistrel.hlp"));
    EXPECT_EQ(f.cmdPicture.CancelError, rt::True);
    EXPECT_TRUE(f.window()->isVisible());
    EXPECT_TRUE(host_.calls.empty()) << "start-up shows nothing";
}

TEST_F(StartStateTest, StartedFromTheDriveRootTheListsOpenOnIt) {
    // The temporary folder is a drive of its own here: start in its root.
    start();
    EXPECT_EQ(form().picDir.ListCount(), 1);
    EXPECT_EQ(form().picDir.List(0), rootPath());
}

TEST_F(StartStateTest, TwoStartsBeginFromTheSameState) {
    writeFile(QStringLiteral("sub/x.bmp"), "x");
    start();
    form().mnuHidden_Click();
    form().mnuShortPath_Click();
    form().picComb.setListIndex(3);
    form().picDir.setPath(rootPath() + QStringLiteral("/sub"));
    Module1::Unload();
    start();
    frmMain& f = form();
    EXPECT_EQ(f.picFil.Hidden(), rt::False);
    EXPECT_EQ(f.mnuHidden.Checked(), rt::False);
    EXPECT_EQ(f.mnuShortPath.Checked(), rt::False);
    EXPECT_EQ(Module1::ShortPathMode, rt::False);
    EXPECT_EQ(f.picComb.ListIndex(), 0);
    EXPECT_EQ(f.picDir.Path(), rootPath());
}

TEST_F(StartStateTest, F1OpensTheHelpFileAtContextNine) {
    start();
    frmMain& f = form();
    QApplication::setActiveWindow(f.window());
    ASSERT_TRUE(QTest::qWaitForWindowActive(f.window()));
    QTest::keyClick(f.window(), Qt::Key_F1);
    const auto calls = host_.callsOf(QStringLiteral("help"));
    ASSERT_EQ(calls.size(), 1U);
    EXPECT_EQ(calls[0].args[0], QStringLiteral("Vistrel.hlp"));
    EXPECT_EQ(calls[0].number, rt::help::Context);
    EXPECT_EQ(calls[0].args[1], QStringLiteral("9"));
}
