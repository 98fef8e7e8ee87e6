#pragma once

#include "support/app_fixture.h"
#include "support/huge_pictures.h"
#include "support/named_rows.h"

#include <QByteArray>
#include <QString>
#include <vector>

namespace zelvia::test {

// How the window got to its state before a command runs.
enum class Before { Start, FolderChange, FailedDisplay };

// A refusal expected from a command in one of those states.
struct GuardCase : Named<GuardCase> {
    Before before;
    const char16_t* message;
};

// The states a command refuses in: no file chosen, after the start and after a folder change,
// and a chosen file that failed to display, about which it says `notDisplayed`.
std::vector<GuardCase> guardCases(const char16_t* notDisplayed);

// The window with pictures of known kinds, for the commands of the menus and the popup.
class CommandsTest : public AppTest {
protected:
    // Starts the window over a displayable a.bmp, a file `failing` (with `bytes`) that does not
    // display, and a subfolder, and brings it to the state `before`.
    void startBefore(Before before, const QString& failing, const QByteArray& bytes);
    // Expects `shown` ("title|text") to be the one message so far, with the critical icon.
    void expectCriticalMessage(const QString& shown) const {
        EXPECT_EQ(messages(), QStringList{shown});
        EXPECT_EQ(host_.callsOf(QStringLiteral("msgbox")).at(0).number, 16);
    }
};

// A placeable WMF of 1440 x 720 twips (96 x 48 pixels) filled with one red rectangle.
QByteArray redWmf();
// An EMF with a frame of 50.8 x 25.4 mm (192 x 96 pixels) filled with one red rectangle.
QByteArray redEmf();

} // namespace zelvia::test
