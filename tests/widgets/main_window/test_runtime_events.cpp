// How control events behave: raised by writes before they return, nested, errors reaching
// the writer; and Qt-originated ones trapped at the event loop's edge.
#include "core/runtime_error.h"
#include "forms/combo_box.h"
#include "forms/file_list.h"
#include "support/app_fixture.h"

#include <QWidget>

using namespace zelvia;
using zelvia::test::AppTest;

namespace {
class RuntimeEventTest : public AppTest {};
} // namespace

TEST_F(RuntimeEventTest, AWriteRaisesItsEventBeforeItReturns) {
    QWidget parent;
    rt::ComboBox combo(&parent);
    combo.AddItem(QStringLiteral("a"));
    combo.AddItem(QStringLiteral("b"));
    EXPECT_EQ(combo.ListIndex(), -1) << "adding entries chooses none";
    std::vector<int> seen;
    combo.Click.connect([&] { seen.push_back(combo.ListIndex()); });
    combo.setListIndex(1);
    seen.push_back(100);
    EXPECT_EQ(seen, (std::vector<int>{1, 100}));
}

TEST_F(RuntimeEventTest, EventsNestAndAFailingHandlersErrorReachesTheWriter) {
    QWidget parent;
    rt::ComboBox outer(&parent);
    rt::ComboBox inner(&parent);
    outer.AddItem(QStringLiteral("x"));
    inner.AddItem(QStringLiteral("y"));
    std::vector<QString> order;
    outer.Click.connect([&] {
        order.push_back(QStringLiteral("outer begins"));
        inner.setListIndex(0);
        order.push_back(QStringLiteral("outer ends"));
    });
    inner.Click.connect([&] {
        order.push_back(QStringLiteral("inner"));
        throw rt::RuntimeError(rt::err::PathAccess);
    });
    try {
        outer.setListIndex(0);
        FAIL() << "the inner handler's error did not reach the writer";
    } catch (const rt::RuntimeError& e) {
        EXPECT_EQ(e.number(), rt::err::PathAccess);
    }
    EXPECT_EQ(order,
              (std::vector<QString>{QStringLiteral("outer begins"), QStringLiteral("inner")}));
}

TEST_F(RuntimeEventTest, DriveWriteInsideAHandlerRunsTheFolderHandlerInsideIt) {
    writeFile(QStringLiteral("f.txt"), "x");
    start();
    frmMain& f = form();
    // From the start drive to the root drive: the folder list opens "/" before the write returns.
    f.picDrv.setDrive(QStringLiteral("/"));
    EXPECT_EQ(f.picDir.Path(), QStringLiteral("/"));
    EXPECT_EQ(f.picFil.Path(), QStringLiteral("/"));
    EXPECT_EQ(f.lblLine.Caption(), QStringLiteral("ｺﾏﾝﾄﾞﾗｲﾝ：/"));
    // And back: the start drive's current folder is the start folder.
    f.picDrv.setDrive(f.DriveORG);
    EXPECT_EQ(f.picDir.Path(), rootPath());
    EXPECT_EQ(f.picFil.ListCount(), 1);
}

TEST_F(RuntimeEventTest, AnUntrappedErrorFromAUserActionIsReportedNotThrownIntoQt) {
    start();
    rt::runGuarded([] { throw rt::RuntimeError(rt::err::PathAccess); });
    const auto boxes = host_.callsOf(QStringLiteral("msgbox"));
    ASSERT_EQ(boxes.size(), 1U);
    // The number alone: no English text from inside the program in a Japanese window.
    EXPECT_EQ(boxes[0].args[0], QStringLiteral("実行時エラー '75':"));
    EXPECT_EQ(boxes[0].number, 16);
    EXPECT_EQ(boxes[0].args[1], QStringLiteral("Zelvia"));
}
