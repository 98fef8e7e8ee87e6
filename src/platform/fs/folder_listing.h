#pragma once

#include "platform/fs/file_attributes.h"

#include <QString>
#include <QtGlobal>
#include <cstdint>
#include <vector>

namespace zelvia::rt {

// The regular files of `folder` (and symbolic links to regular files; dangling or looping
// links are left out) whose names match `pattern` (see WildcardPattern) and whose attributes
// pass `flags`, in natural order, decoded with decodeFileName. Throws RuntimeError 53 when the
// folder does not exist, 75 when it cannot be read.
std::vector<QString> listFiles(const QString& folder, const QString& pattern, ListFlags flags);

// Both lists of one folder from a single pass over it: the files as listFiles gives them and
// the subfolders as listSubfolders does.
struct FolderContents {
    std::vector<QString> files;
    std::vector<QString> subfolders;
};
FolderContents listFolder(const QString& folder, const QString& pattern, ListFlags flags);

// How many passes over a folder's entries the functions above have made in this process.
std::uint64_t folderPassCount();

// The subfolders of `folder` (also through symbolic links), in natural order, leaving out
// "." and ".." and hidden folders whose names begin with ".". Throws as listFiles.
std::vector<QString> listSubfolders(const QString& folder);

} // namespace zelvia::rt
