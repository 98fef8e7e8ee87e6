#pragma once

#include "support/app_fixture.h"
#include "support/huge_pictures.h"

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QStringList>
#include <optional>
#include <ostream>

namespace zelvia::test {

// How the window got to its state before a command runs.
enum class Before { Start, FolderChange, FailedDisplay };

// A refusal expected from a command in one of those states.
struct GuardCase {
    const char* name;
    Before before;
    const char16_t* message;
};

// Names the case in test output and in the test list, stably between runs.
void PrintTo(const GuardCase& c, std::ostream* os);

// The window with pictures of known kinds, for the commands of the menus and the popup.
class CommandsTest : public AppTest {
protected:
    // The clipboard's image, or a null image when it holds none.
    static QImage clipboardImage();
    static QStringList clipboardFormats();
    static void putTextOnClipboard(const QString& text);

    // Starts the window over a displayable a.bmp, a file `failing` (with `bytes`) that does not
    // display, and a subfolder, and brings it to the state `before`.
    void startBefore(Before before, const QString& failing, const QByteArray& bytes);
};

// A placeable WMF of 1440 x 720 twips (96 x 48 pixels) filled with one red rectangle.
QByteArray redWmf();
// An EMF with a frame of 50.8 x 25.4 mm (192 x 96 pixels) filled with one red rectangle.
QByteArray redEmf();

// A 32 x 32 icon whose left half is fully transparent and right half opaque blue.
QImage halfTransparentIcon();

// Runs a tool with `args`; returns its standard output, or nothing when it cannot be run or
// fails.
std::optional<QByteArray> runTool(const QString& program, const QStringList& args);
bool haveTool(const QString& program);

} // namespace zelvia::test
