// Keys as the window system queues them reach the file list while it is busy showing a file.
#include "support/app_fixture.h"

#include <QCoreApplication>
#include <QKeyEvent>

// Queues key events: "D" a press of Down, "d" a repeat, "^D" the release; "U" for Up.
static void queue(QWidget* list, const char* keys) {
    for (const QString& k : QString::fromLatin1(keys).split(u' ')) {
        QCoreApplication::postEvent(
            list, new QKeyEvent(k[0] == u'^' ? QEvent::KeyRelease : QEvent::KeyPress,
                                k.back().toUpper() == u'U' ? Qt::Key_Up : Qt::Key_Down,
                                Qt::NoModifier, QString(), k[0].isLower()));
    }
}

class HeldKeyTest : public zelvia::test::AppTest {};

TEST_F(HeldKeyTest, RepeatsFoldWhileTheListIsBusyAndStopAtTheReleasePressesNeverFold) {
    for (int i = 0; i < 12; ++i) {
        saveImage(QStringLiteral("%1.bmp").arg(i, 2, 10, QLatin1Char('0')),
                  zelvia::test::testImage(4, 4), "bmp");
    }
    start();
    const struct {
        const char* keys;
        int moves;
        int index;
        int heldFor = 0; // moves during each of which three repeats arrive; then the release
    } cases[] = {
        {"D ^D D ^D D ^D", 3, 8}, // separate presses
        {"D d d d d ^D", 1, 6},   // released before a repeat was handled
        {"D d d d", 2, 7},        // still held: the last repeat is handled
        {"D d d U ^U ^D", 3, 6},  // another key: the waiting repeat first, in order
        {"D", 4, 9, 4},           // repeats outrunning the display
    };
    int moves = 0;
    const auto* current = cases;
    form().picFil.Click.connect([&] {
        form().picFil_Click();
        if (++moves <= current->heldFor) {
            queue(form().picFil.widget(), moves < current->heldFor ? "d d d" : "d d d ^D");
        }
    });
    for (const auto& c : cases) {
        choose(QStringLiteral("05.bmp"));
        moves = 0;
        current = &c;
        queue(form().picFil.widget(), c.keys);
        for (int i = 0; i < 20; ++i) {
            QCoreApplication::processEvents();
        }
        EXPECT_EQ(moves, c.moves) << c.keys;
        EXPECT_EQ(form().picFil.ListIndex(), c.index) << c.keys;
        EXPECT_TRUE(form().lblFileName.Caption().endsWith(form().picFil.FileName())) << c.keys;
    }
}
