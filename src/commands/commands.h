#pragma once

#include <QString>
#include <cstdint>

// The argument-less commands that the File and Edit menus and the popup call. Each reads the
// window's state at the moment it runs: what the panel shows, the picture held, the chosen file.
namespace zelvia::Module1 {

void PrintFileInfo();
void CopyPicture();
void DeleteSelectedFile();
// Asks for confirmation and moves the file to the trash; 0 when it went there.
std::int32_t RecycleFile(const QString& path);

} // namespace zelvia::Module1
