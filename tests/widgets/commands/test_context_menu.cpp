// The popup: which areas open it on which button, its items, the carrier, and that each item
// runs the same command as the main menu.
#include "app/frm_menu.h"
#include "app/module1.h"
#include "commands_fixture.h"
#include "platform/qt_host.h"

#include <QAction>
#include <QListView>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <QTimer>

namespace zelvia::test {
namespace {

struct Area : Named<Area> {
    QWidget* (*widget)(frmMain&);
};

// The widget that receives the mouse in each of the twelve areas.
const Area kAreas[] = {
    {"fraFile", [](frmMain& f) -> QWidget* { return f.fraFile.widget(); }},
    {"Frame2", [](frmMain& f) -> QWidget* { return f.Frame2.widget(); }},
    {"lblFileAttribute", [](frmMain& f) { return f.lblFileAttribute.widget(); }},
    {"lblFileName", [](frmMain& f) { return f.lblFileName.widget(); }},
    {"lblFileSize", [](frmMain& f) { return f.lblFileSize.widget(); }},
    {"lblHeight", [](frmMain& f) { return f.lblHeight.widget(); }},
    {"lblLastDay", [](frmMain& f) { return f.lblLastDay.widget(); }},
    {"lblLine", [](frmMain& f) { return f.lblLine.widget(); }},
    {"lblWidth", [](frmMain& f) { return f.lblWidth.widget(); }},
    {"picDir", [](frmMain& f) -> QWidget* { return f.picDir.view()->viewport(); }},
    {"picFil", [](frmMain& f) -> QWidget* { return f.picFil.view()->viewport(); }},
    {"picOut", [](frmMain& f) { return f.picOut.widget(); }},
};

struct Press {
    Qt::MouseButton button;
    Qt::KeyboardModifiers modifiers;
    bool opens;
};

const Press kPresses[] = {
    {Qt::LeftButton, Qt::NoModifier, false},      {Qt::MiddleButton, Qt::NoModifier, false},
    {Qt::RightButton, Qt::NoModifier, true},      {Qt::RightButton, Qt::ShiftModifier, true},
    {Qt::RightButton, Qt::ControlModifier, true}, {Qt::RightButton, Qt::AltModifier, true},
    {Qt::LeftButton, Qt::ShiftModifier, false},
};

class PopupAreaTest : public CommandsTest,
                      public ::testing::WithParamInterface<std::tuple<Area, Press>> {};

TEST_P(PopupAreaTest, OnlyTheRightButtonOpensThePopupWhateverTheModifiers) {
    const auto& [area, press] = GetParam();
    start();
    QWidget* target = area.widget(form());
    ASSERT_NE(target, nullptr);
    // A spot that no child covers (a frame's own edge, a list's empty end).
    QTest::mouseRelease(target, press.button, press.modifiers, QPoint(3, target->height() - 3));
    EXPECT_EQ(host_.popupsOpened(), press.opens ? 1 : 0);
    EXPECT_EQ(MenuCarrier() != nullptr, press.opens) << "the carrier comes with the first popup";
    EXPECT_TRUE(messages().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Areas, PopupAreaTest,
                         ::testing::Combine(::testing::ValuesIn(kAreas),
                                            ::testing::ValuesIn(kPresses)),
                         [](const auto& p) {
                             const Press& press = std::get<1>(p.param);
                             return std::string(std::get<0>(p.param).name) + "_button" +
                                    std::to_string(static_cast<int>(press.button)) + "_mod" +
                                    std::to_string(static_cast<int>(press.modifiers.toInt()) >> 25);
                         });

const Area kSilentAreas[] = {
    {"picDrv", [](frmMain& f) { return f.picDrv.widget(); }},
    {"picComb", [](frmMain& f) { return f.picComb.widget(); }},
    {"picTest", [](frmMain& f) { return f.picTest.widget(); }},
    {"background", [](frmMain& f) { return f.client(); }},
    {"menuBar", [](frmMain& f) -> QWidget* { return f.menuBar(); }},
};

class SilentAreaTest : public CommandsTest, public ::testing::WithParamInterface<Area> {};

TEST_P(SilentAreaTest, ARightClickOpensNothing) {
    start();
    QWidget* target = GetParam().widget(form());
    ASSERT_NE(target, nullptr);
    const QPoint spot(target->width() - 2, target->height() - 2);
    QTest::mousePress(target, Qt::RightButton, {}, spot);
    QTest::mouseRelease(target, Qt::RightButton, {}, spot);
    EXPECT_EQ(host_.popupsOpened(), 0);
    EXPECT_EQ(MenuCarrier(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Areas, SilentAreaTest, ::testing::ValuesIn(kSilentAreas), rowName);

TEST_F(CommandsTest, PopupShowsThreeEnabledItemsInOrderFromOneCarrier) {
    start();
    frmMain& f = form();
    EXPECT_EQ(MenuCarrier(), nullptr);
    QTest::mouseRelease(f.picOut.widget(), Qt::RightButton, {}, QPoint(5, 5));
    frmMenu* carrier = MenuCarrier();
    ASSERT_NE(carrier, nullptr);
    for (int i = 0; i < 3; ++i) {
        QTest::mouseRelease(f.lblLine.widget(), Qt::RightButton, {}, QPoint(2, 2));
    }
    EXPECT_EQ(MenuCarrier(), carrier) << "later right-clicks find the carrier loaded";
    EXPECT_EQ(host_.popupsOpened(), 4);
    const auto popups = host_.callsOf(QStringLiteral("popup"));
    for (const auto& popup : popups) {
        EXPECT_EQ(popup.args.mid(0, 3),
                  (QStringList{QStringLiteral("印刷(&P)"), QStringLiteral("コピー(&C)"),
                               QStringLiteral("削除(&D)")}));
    }
    for (const QAction* a : carrier->mnuPopUp->actions()) {
        EXPECT_TRUE(a->isEnabled()) << a->text().toStdString();
        EXPECT_TRUE(a->isVisible()) << a->text().toStdString();
        EXPECT_TRUE(a->shortcut().isEmpty()) << a->text().toStdString();
    }
    EXPECT_FALSE(carrier->window()->isVisible()) << "the carrier is never shown";
    EXPECT_EQ(carrier->mnuPopUp->title(), QStringLiteral("PopUp Menu"));
}

struct Route : Named<Route> {
    const char16_t* popupCaption;
    void (frmMain::*menuHandler)();
};

const Route kRoutes[] = {
    {"Print", u"印刷(P)", &frmMain::mnuPrint_Click},
    {"Copy", u"コピー(C)", &frmMain::mnuCopy_Click},
    {"Delete", u"削除(D)", &frmMain::mnuDelete_Click},
};

enum class State { NoFile, NotDisplayable };

class PopupRouteTest : public CommandsTest,
                       public ::testing::WithParamInterface<std::tuple<Route, State>> {};

TEST_P(PopupRouteTest, EachItemRunsTheSameCommandAsTheMainMenu) {
    const auto& [route, state] = GetParam();
    writeFile(QStringLiteral("tool.exe"), "MZ nothing");
    start();
    frmMain& f = form();
    host_.deleteAnswers = {false, false};
    host_.printerAnswers = {rt::ScriptedHost::PrinterAnswer::Cancel,
                            rt::ScriptedHost::PrinterAnswer::Cancel};
    if (state == State::NotDisplayable) {
        choose(QStringLiteral("tool.exe"));
    }
    host_.clear();
    (f.*route.menuHandler)();
    auto fromMenu = host_.calls;
    if (state == State::NotDisplayable) {
        choose(QStringLiteral("tool.exe")); // a declined delete re-read the list
    }
    host_.clear();
    host_.popupChoices = {QString::fromUtf16(route.popupCaption)};
    QTest::mouseRelease(f.picFil.view()->viewport(), Qt::RightButton, {}, QPoint(3, 3));
    ASSERT_EQ(host_.popupsOpened(), 1);
    auto fromPopup = host_.calls;
    fromPopup.erase(fromPopup.begin()); // the popup itself
    ASSERT_FALSE(fromMenu.empty());
    ASSERT_EQ(fromPopup.size(), fromMenu.size());
    for (size_t i = 0; i < fromMenu.size(); ++i) {
        EXPECT_EQ(fromPopup[i].kind, fromMenu[i].kind);
        EXPECT_EQ(fromPopup[i].args, fromMenu[i].args);
        EXPECT_EQ(fromPopup[i].number, fromMenu[i].number);
    }
}

INSTANTIATE_TEST_SUITE_P(Items, PopupRouteTest,
                         ::testing::Combine(::testing::ValuesIn(kRoutes),
                                            ::testing::Values(State::NoFile,
                                                              State::NotDisplayable)),
                         [](const auto& p) {
                             return std::string(std::get<0>(p.param).name) +
                                    (std::get<1>(p.param) == State::NoFile ? "_NoFile"
                                                                           : "_NotDisplayable");
                         });

TEST_F(CommandsTest, DismissingThePopupDoesNothing) {
    saveImage(QStringLiteral("a.bmp"), testImage(4, 4), "bmp");
    start();
    choose(QStringLiteral("a.bmp"));
    host_.clear();
    host_.popupChoices = {QString()};
    QTest::mouseRelease(form().picOut.widget(), Qt::RightButton, {}, QPoint(2, 2));
    ASSERT_EQ(host_.calls.size(), 1U);
    EXPECT_EQ(host_.calls[0].kind, QStringLiteral("popup"));
}

TEST_F(CommandsTest, OnlyTheLeftButtonChoosesAPopupItem) {
    QMenu menu;
    QAction* copy = menu.addAction(QStringLiteral("コピー(&C)"));
    bool openAfterRightClick = false;
    QTimer::singleShot(50, &menu, [&] {
        const QPoint onCopy = menu.actionGeometry(copy).center();
        QTest::mouseClick(&menu, Qt::RightButton, {}, onCopy);
        openAfterRightClick = menu.isVisible();
        QTest::mouseClick(&menu, Qt::LeftButton, {}, onCopy);
    });
    rt::QtHost real;
    EXPECT_EQ(real.popupMenu(menu, QPoint(40, 40)), copy);
    EXPECT_TRUE(openAfterRightClick) << "a right-button release chose the item";
}

TEST_F(CommandsTest, RightClickOnTheFileListKeepsItsSelectionAndActsOnTheChosenFile) {
    saveImage(QStringLiteral("a.bmp"), testImage(4, 4), "bmp");
    const QString b = saveImage(QStringLiteral("b.bmp"), testImage(4, 4), "bmp");
    start();
    frmMain& f = form();
    choose(QStringLiteral("b.bmp"));
    QListView* view = f.picFil.view();
    const QPoint onA = view->visualRect(view->model()->index(0, 0)).center();
    ASSERT_TRUE(view->viewport()->rect().contains(onA));
    host_.clear();
    // Dismissed: the selection stays on the chosen file.
    host_.popupChoices = {QString()};
    QTest::mouseClick(view->viewport(), Qt::RightButton, {}, onA);
    EXPECT_EQ(host_.popupsOpened(), 1);
    EXPECT_EQ(f.picFil.ListIndex(), 1);
    EXPECT_EQ(f.lblFileName.Caption(), QStringLiteral("ファイル名：b.bmp"));
    // Chosen: the command acts on the chosen file, not on the entry under the pointer.
    host_.deleteAnswers = {false};
    host_.popupChoices = {QStringLiteral("削除(D)")};
    QTest::mouseClick(view->viewport(), Qt::RightButton, {}, onA);
    const auto asked = host_.callsOf(QStringLiteral("confirmDelete"));
    ASSERT_EQ(asked.size(), 1U);
    EXPECT_EQ(asked[0].args.value(0), b);
}

TEST_F(CommandsTest, ExitEndsTheProgramAlsoAfterThePopupWasUsed) {
    start();
    QTest::mouseRelease(form().lblWidth.widget(), Qt::RightButton, {}, QPoint(2, 2));
    ASSERT_NE(MenuCarrier(), nullptr);
    host_.clear();
    form().mnuEnd.choose();
    ASSERT_EQ(host_.calls.size(), 1U);
    EXPECT_EQ(host_.calls[0].kind, QStringLiteral("end"));
    EXPECT_EQ(host_.calls[0].number, 0);
}

} // namespace
} // namespace zelvia::test
