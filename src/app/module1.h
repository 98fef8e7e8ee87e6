#pragma once

#include "core/basic_types.h"

#include <QString>
#include <cstdint>

namespace zelvia::rt {
class PictureBox;
class DriveSource;
} // namespace zelvia::rt

// The start-up module: the program's entry procedure and the state shared by several parts of
// the window. The commands the menus and the popup call are in commands/commands.h.
namespace zelvia::Module1 {

// Whether folder paths are shown in their short form (True -1 / False 0).
inline rt::Boolean ShortPathMode = rt::False;
// Folder of the selected file, always ending in "/"; set at every selection.
inline QString FolderPath;
// A folder as FolderPath holds it: with one trailing "/".
QString FolderPathOf(const QString& folder);

// Loads and shows the main window and sets up the start state. Returns; events do the rest.
// The drives come from `drives` (the system's mounts in the program, a test's own in tests).
void Main(rt::DriveSource& drives);

// Unloads both forms and resets the module's state, as a fresh start would find it. False when
// the look-ahead's worker did not end in time (stuck reading a file): the process must then
// end without running its destructors.
bool Unload();

// Draws src's picture into dst with both sides divided by k, from the top-left corner.
void PaintReduced(rt::PictureBox& src, rt::PictureBox& dst, float& k);

// Blanks the display box when the file list holds no entry.
void ClearOnEmptyList();

} // namespace zelvia::Module1
