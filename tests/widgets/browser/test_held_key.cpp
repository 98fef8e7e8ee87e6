// Keys reaching the file list as the window system queues them: the repeats of a held key that
// pile up while the display procedure runs are folded, and letting go stops the list.
#include "support/app_fixture.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QListView>

namespace {

class HeldKeyTest : public zelvia::test::AppTest {
protected:
    // Twelve pictures, the list on `first`; each move counted, then `onMove` run.
    void startOn(const char* first) {
        for (int i = 0; i < 12; ++i) {
            saveImage(QStringLiteral("%1.bmp").arg(i, 2, 10, QLatin1Char('0')),
                      zelvia::test::testImage(4, 4), "bmp");
        }
        start();
        choose(QString::fromLatin1(first));
        form().picFil.Click.connect([this] { ++moves, form().picFil_Click(), onMove(); });
    }

    // Queues key events, "D" a press of Down, "d" a repeat, "^D" the release; "U" for Up.
    void queue(const char* keys) {
        for (const QString& k : QString::fromLatin1(keys).split(u' ')) {
            QCoreApplication::postEvent(
                form().picFil.view(),
                new QKeyEvent(k[0] == u'^' ? QEvent::KeyRelease : QEvent::KeyPress,
                              k.back().toUpper() == u'U' ? Qt::Key_Up : Qt::Key_Down,
                              Qt::NoModifier, QString(), k[0].isLower()));
        }
    }
    static void settle() {
        for (int i = 0; i < 20; ++i) {
            QCoreApplication::processEvents();
        }
    }

    int moves = 0;
    std::function<void()> onMove = [] {};
};

TEST_F(HeldKeyTest, QueuedRepeatsFoldWhileSeparatePressesAndOtherKeysAreAllHandled) {
    startOn("05.bmp");
    const struct {
        const char* keys;
        int moves;
        int index;
    } cases[] = {
        {"D ^D D ^D D ^D", 3, 8}, // separate presses
        {"D d d d d ^D", 1, 9},   // released before a repeat was handled
        {"D d d d", 2, 11},       // still held: the last repeat is handled
        {"^D U u u D ^U", 3, 10}, // another key: the waiting repeat first, in order
        {"^D U u u ^U D d ^D", 2, 10},
    };
    for (const auto& c : cases) {
        moves = 0;
        queue(c.keys);
        settle();
        EXPECT_EQ(moves, c.moves) << c.keys;
        EXPECT_EQ(form().picFil.ListIndex(), c.index) << c.keys;
    }
}

TEST_F(HeldKeyTest, RepeatsOutrunningTheDisplayMoveOncePerHandledRepeatAndStopAtTheRelease) {
    startOn("00.bmp");
    // Three repeats arrive during each display; the key is let go during the fourth.
    onMove = [this] { queue(moves < 4 ? "d d d" : "d d d ^D"); };
    queue("D");
    settle();
    EXPECT_EQ(moves, 4);
    EXPECT_EQ(form().picFil.ListIndex(), 4);
    EXPECT_EQ(form().lblFileName.Caption(), QStringLiteral("ファイル名：04.bmp"));
}

} // namespace
