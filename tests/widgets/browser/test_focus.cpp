// Only the user chooses a file: the focus arriving in the file list, by any reason, chooses
// nothing, and commands then act only on what the user chose.
#include "app/module1.h"
#include "commands/commands.h"
#include "core/basic_types.h"
#include "platform/qt_host.h"
#include "support/app_fixture.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QListView>
#include <QMainWindow>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <QToolTip>

using namespace zelvia;
using zelvia::test::AppTest;

namespace {

const QString kNoFile = QStringLiteral("横(ﾋﾟｸｾﾙ)：");

class FocusTest : public AppTest {
protected:
    void startWithTwoPictures() {
        saveImage(QStringLiteral("a.bmp"), test::testImage(30, 20), "BMP");
        saveImage(QStringLiteral("b.bmp"), test::testImage(40, 10), "BMP");
        start();
        QApplication::setActiveWindow(form().window());
        ASSERT_TRUE(QTest::qWaitForWindowActive(form().window()));
    }

    QListView* fileView() { return form().picFil.view(); }

    // Takes the focus away from the file list and gives it back for `reason`.
    void refocusFileList(Qt::FocusReason reason) {
        form().picComb.widget()->setFocus(Qt::OtherFocusReason);
        fileView()->setFocus(reason);
        QApplication::processEvents();
        ASSERT_TRUE(fileView()->hasFocus());
    }

    void expectNothingChosen() {
        EXPECT_EQ(form().picFil.ListIndex(), -1);
        EXPECT_FALSE(fileView()->currentIndex().isValid())
            << "a current row would become the choice at the next key or focus";
    }
};

TEST_F(FocusTest, AtStartTheFilterHasTheFocusAndNothingIsShown) {
    startWithTwoPictures();
    EXPECT_EQ(QApplication::focusWidget(), form().picComb.widget());
    expectNothingChosen();
    EXPECT_EQ(form().lblWidth.Caption(), kNoFile);
    EXPECT_EQ(Module1::FolderPath, QString());
}

TEST_F(FocusTest, FocusByAnyReasonChoosesNothingAndDownChoosesTheFirstEntry) {
    startWithTwoPictures();
    for (Qt::FocusReason reason :
         {Qt::TabFocusReason, Qt::BacktabFocusReason, Qt::ActiveWindowFocusReason,
          Qt::PopupFocusReason, Qt::OtherFocusReason}) {
        refocusFileList(reason);
        expectNothingChosen();
        EXPECT_EQ(form().lblWidth.Caption(), kNoFile) << "focus reason " << reason;
    }
    QTest::keyClick(fileView(), Qt::Key_Down);
    EXPECT_EQ(form().picFil.FileName(), QStringLiteral("a.bmp"));
    EXPECT_EQ(form().lblWidth.Caption(), kNoFile + QStringLiteral("30"));
    QTest::keyClick(fileView(), Qt::Key_End);
    EXPECT_EQ(form().picFil.FileName(), QStringLiteral("b.bmp"));
    EXPECT_EQ(form().lblWidth.Caption(), kNoFile + QStringLiteral("40"));
}

TEST_F(FocusTest, FocusInTheFolderListOpensNothing) {
    startWithTwoPictures();
    choose(QStringLiteral("b.bmp"));
    form().picDir.widget()->setFocus(Qt::TabFocusReason);
    QApplication::processEvents();
    // Opening a folder would have cleared the panel.
    EXPECT_EQ(form().lblWidth.Caption(), kNoFile + QStringLiteral("40"));
    EXPECT_EQ(form().picDir.Path(), rootPath());
}

TEST_F(FocusTest, CtrlClickNeverTakesTheChoiceBack) {
    startWithTwoPictures();
    choose(QStringLiteral("b.bmp"));
    const QRect row = fileView()->visualRect(fileView()->model()->index(1, 0));
    QTest::mouseClick(fileView()->viewport(), Qt::LeftButton, Qt::ControlModifier, row.center());
    EXPECT_EQ(form().picFil.FileName(), QStringLiteral("b.bmp"));
}

// After a re-read (a View option), a real popup menu opened and closed over the display box
// hands the focus back to the file list; the list must stay without a choice, the panel must go
// on showing b, and Delete must refuse.
TEST_F(FocusTest, AClosingPopupAfterAReReadChoosesNothingAndDeleteRefuses) {
    startWithTwoPictures();
    fileView()->setFocus(Qt::OtherFocusReason);
    choose(QStringLiteral("b.bmp"));
    form().mnuArchive_Click();
    expectNothingChosen();

    QMenu menu(form().window());
    menu.addAction(QStringLiteral("コピー(&C)"));
    QTimer::singleShot(50, &menu, [&menu] { QTest::keyClick(&menu, Qt::Key_Escape); });
    rt::QtHost real;
    real.popupMenu(menu, form().window()->mapToGlobal(QPoint(80, 180)));
    QApplication::processEvents();

    expectNothingChosen();
    EXPECT_EQ(form().lblWidth.Caption(), kNoFile + QStringLiteral("40"));
    EXPECT_EQ(Module1::FolderPath + QStringLiteral("b.bmp"), rootPath() + QStringLiteral("/b.bmp"));

    Module1::DeleteSelectedFile();
    EXPECT_EQ(messages(), QStringList{QStringLiteral("エラー|ファイルを指定していません。")});
    EXPECT_TRUE(host_.callsOf(QStringLiteral("confirmDelete")).empty());
    EXPECT_TRUE(QFile::exists(rootPath() + QStringLiteral("/a.bmp")));
    EXPECT_TRUE(QFile::exists(rootPath() + QStringLiteral("/b.bmp")));
}

TEST_F(FocusTest, DeleteRefusesAFolderPathThatIsNotTheListsFolder) {
    saveImage(QStringLiteral("sub/b.bmp"), test::testImage(40, 10), "BMP");
    startWithTwoPictures();
    choose(QStringLiteral("b.bmp"));
    // The list moved on to another folder holding a file of the same name and index.
    form().picFil.setPath(rootPath() + QStringLiteral("/sub"));
    ASSERT_EQ(form().picFil.ListCount(), 1);
    form().picFil.view()->selectionModel()->select(form().picFil.view()->model()->index(0, 0),
                                                   QItemSelectionModel::ClearAndSelect);
    ASSERT_EQ(form().picFil.FileName(), QStringLiteral("b.bmp"));
    Module1::FolderPath = rootPath() + QLatin1Char('/');
    host_.calls.clear();

    Module1::DeleteSelectedFile();
    EXPECT_EQ(messages(), QStringList{QStringLiteral("エラー|ファイルを指定していません。")});
    EXPECT_TRUE(QFile::exists(rootPath() + QStringLiteral("/b.bmp")));
    EXPECT_TRUE(QFile::exists(rootPath() + QStringLiteral("/sub/b.bmp")));
}

TEST_F(FocusTest, TheListsTooltipShowsOverItsEntries) {
    startWithTwoPictures();
    const QPoint overEntry = fileView()->visualRect(fileView()->model()->index(0, 0)).center();
    QHelpEvent help(QEvent::ToolTip, overEntry, fileView()->viewport()->mapToGlobal(overEntry));
    QApplication::sendEvent(fileView()->viewport(), &help);
    EXPECT_EQ(QToolTip::text(), QStringLiteral("表示するファイルを指定します"));
}

} // namespace
