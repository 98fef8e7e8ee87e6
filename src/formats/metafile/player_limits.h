#pragma once

#include <QtGlobal>

namespace zelvia::rt::metafile {

// Caps that keep a hostile file from running away with time or memory.
// Larger files are held in memory whole while they play, so past this they keep only the size
// their header states and refuse to be drawn.
inline constexpr qint64 kMaxFileBytes = qint64{64} * 1024 * 1024;
inline constexpr qint64 kMaxRecords = 2'000'000;
inline constexpr int kMaxObjects = 65'536;
inline constexpr int kMaxSaveDepth = 1'024;
// Points gathered in one path bracket; beyond it the path is dropped as damaged.
inline constexpr qint64 kMaxPathElements = 4'000'000;
// Characters drawn by one text record.
inline constexpr qint64 kMaxTextChars = 65'536;

} // namespace zelvia::rt::metafile
