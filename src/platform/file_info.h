#pragma once

#include <QDateTime>
#include <QString>
#include <cstdint>

namespace zelvia::rt {

// Size in bytes of the file at `path` (links followed). 64-bit: files of 2 GiB and more keep
// their true size. Throws RuntimeError 53 when it is gone, 75 when it cannot be examined.
std::int64_t FileLen(const QString& path);

// Attribute bits of the file (read-only 1, hidden 2, system 4, volume 8, directory 16,
// archive 32; nothing else). Throws like FileLen.
std::uint32_t GetAttr(const QString& path);

// Last-modified time of the file, local time. Throws like FileLen.
QDateTime FileDateTime(const QString& path);

} // namespace zelvia::rt
