#pragma once

#include "platform/fs/drives.h"

#include <QString>
#include <optional>
#include <vector>

namespace zelvia::rt {

// Why a file could not be moved to the trash.
enum class TrashError {
    None = 0,
    NotFound = 1,       // the file does not exist (any more)
    IsFolder = 2,       // folders are never trashed
    NoTrash = 3,        // no usable trash folder on the file's file system
    InfoNotWritten = 4, // the .trashinfo file could not be created
    MoveFailed = 5,     // the rename into the trash failed; the file stays where it was
    BadPath = 6,        // the path cannot name a file
};

struct TrashResult {
    bool ok = false;
    int code = 0;        // a TrashError
    QString message;     // for the person, in Japanese; empty on success
    QString trashedPath; // where the file now is, on success
    int systemError = 0; // errno of the failed step, when there was one
};

// Moves a file to the trash as the freedesktop.org trash layout describes: the home trash
// ($XDG_DATA_HOME/Trash, or ~/.local/share/Trash) for files under the same mount point as it,
// otherwise $topdir/.Trash/$uid (when .Trash is a real sticky folder) or $topdir/.Trash-$uid,
// where $topdir is the mount point holding the file in the mount table (the system's, or
// `mounts`). A home trash that the file cannot be renamed into (another btrfs subvolume under
// the same mount) gives way to the $topdir trash. The .trashinfo is created exclusively before the
// move; the file is moved by rename only, never copied; names already in the trash are never
// overwritten; on any failure the file stays where it is and no .trashinfo is left behind. Folders
// are refused.
TrashResult moveToTrash(const QString& path);
TrashResult moveToTrash(const QString& path, const std::vector<MountEntry>& mounts);

// The trash folder of the home trash (not created).
QString homeTrashPath();

// The trash folder to use on the file system mounted at `topdir`, created when needed, or
// nothing when none can be used.
std::optional<QString> topdirTrashPath(const QString& topdir);

// Moves `path` (absolute, clean) into the trash folder `trashDir`; `infoPath` is what the
// .trashinfo records. The building block of moveToTrash.
TrashResult moveIntoTrash(const QString& path, const QString& trashDir, const QString& infoPath);

// Percent-encodes a path for the Path= line: unreserved characters and "/" stay.
QByteArray encodeTrashPath(const QByteArray& path);

} // namespace zelvia::rt
