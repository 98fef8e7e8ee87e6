// Help, version box and exit.
#include "app/frm_menu.h"
#include "app/module1.h"
#include "commands_fixture.h"
#include "platform/qt_host.h"

#include <QApplication>
#include <QMainWindow>
#include <QTest>
#include <QTimer>

namespace zelvia::test {
namespace {

struct HelpCase : Named<HelpCase> {
    void (frmMain::*handler)();
    int command;
};

class HelpTest : public CommandsTest, public ::testing::WithParamInterface<HelpCase> {};

QStringList captions(frmMain& f) {
    return {f.lblLine.Caption(),     f.lblFileName.Caption(), f.lblFileAttribute.Caption(),
            f.lblFileSize.Caption(), f.lblLastDay.Caption(),  f.lblHeight.Caption(),
            f.lblWidth.Caption()};
}

TEST_P(HelpTest, OpensTheHelpFileWithItsCommandAndChangesNothing) {
    start();
    frmMain& f = form();
    const QStringList before = captions(f);
    host_.clear();
    (f.*GetParam().handler)();
    ASSERT_EQ(host_.calls.size(), 1U) << "no message of the program's own";
    const auto& call = host_.calls[0];
    EXPECT_EQ(call.kind, QStringLiteral("help"));
    EXPECT_EQ(call.args, (QStringList{QStringLiteral("Vistrel.hlp"), QStringLiteral("0")}));
    EXPECT_EQ(call.number, GetParam().command);
    EXPECT_EQ(captions(f), before);
}

INSTANTIATE_TEST_SUITE_P(Commands, HelpTest,
                         ::testing::Values(HelpCase{"Contents", &frmMain::mnuContents_Click, 3},
                                           HelpCase{"Search", &frmMain::mnuReference_Click, 0x105}),
                         rowName);

TEST_F(CommandsTest, VersionBoxHasOneEmptyLineAndNoIcon) {
    start();
    form().mnuVersion.choose();
    const auto boxes = host_.callsOf(QStringLiteral("msgbox"));
    ASSERT_EQ(boxes.size(), 1U);
    const QString text = boxes[0].args.value(0);
    EXPECT_TRUE(text.startsWith(QStringLiteral("Zelvia Ver.1.52.0281\r\n\r\n")))
        << text.toStdString();
    const QString notice = text.mid(QStringLiteral("Zelvia Ver.1.52.0281\r\n\r\n").size());
    EXPECT_FALSE(notice.trimmed().isEmpty());
    EXPECT_FALSE(notice.contains(QLatin1Char('\r')) || notice.contains(QLatin1Char('\n')))
        << "one notice line";
    EXPECT_EQ(boxes[0].args.value(1), QStringLiteral("バージョン情報"));
    EXPECT_EQ(boxes[0].number, 0);
}

// With the real host the event loop ends with status 0, the popup carrier loaded or not.
TEST_F(CommandsTest, ExitEndsTheRealEventLoopWithStatusZero) {
    start();
    QTest::mouseRelease(form().picOut.widget(), Qt::RightButton, {}, QPoint(2, 2));
    ASSERT_NE(MenuCarrier(), nullptr);
    rt::QtHost real;
    rt::setHost(&real);
    real.setMainWindow(form().window());
    form().window()->show();
    bool ranAfterEnd = false;
    QTimer::singleShot(0, [&] { form().mnuEnd.choose(); });
    // Would keep the loop running if the exit were lost; fails the test instead of hanging.
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [&] {
        ranAfterEnd = true;
        QApplication::exit(7);
    });
    watchdog.start(5000);
    const int status = QApplication::exec();
    rt::setHost(&host_);
    EXPECT_EQ(status, 0);
    EXPECT_FALSE(ranAfterEnd);
    EXPECT_FALSE(form().window()->isVisible()) << "every window closed";
}

} // namespace
} // namespace zelvia::test
