#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <optional>

namespace zelvia::rt {

// File attribute bits as the program knows them; no other bits are ever returned.
namespace attr {
inline constexpr quint32 ReadOnly = 1;
inline constexpr quint32 Hidden = 2;
inline constexpr quint32 System = 4;
inline constexpr quint32 Volume = 8;
inline constexpr quint32 Directory = 16;
inline constexpr quint32 Archive = 32;
inline constexpr quint32 All = 63;
} // namespace attr

// Which kinds of files the file list shows.
struct ListFlags {
    bool normal = true;
    bool archive = false;
    bool system = false;
    bool hidden = false;
    bool readOnly = false;
};

// A file with none of read-only, hidden and system is listed when Normal is on, or when it has
// the archive bit and Archive is on; otherwise every one of those three that it has must have
// its flag on.
bool isListed(quint32 attributes, ListFlags flags);

// How the DOS bits (hidden, system, archive) are read in one folder; chosen from the file
// system's type so that file systems that cannot carry them cost nothing.
enum class DosBitsSource {
    None,       // never kept: procfs, iso9660, ...
    FatIoctl,   // vfat/msdos: FAT_IOCTL_GET_ATTRIBUTES
    NtfsXattr,  // ntfs-3g and ntfs3: system.ntfs_attrib_be
    CifsXattr,  // cifs/smb3 client: user.cifs.dosattrib
    SambaXattr, // local file systems a Samba server may share: user.DOSATTRIB
};

// Decided from statfs of an open folder, by its f_type.
DosBitsSource dosBitsSourceForFolder(int dirFd);
DosBitsSource dosBitsSourceForType(unsigned long fsType);

// Whether a file whose name and mode give it the attributes `known` may be listed or not
// with `flags` depending on its DOS bits (hidden, system, archive); when it cannot, they need
// not be read.
bool dosBitsCanDecide(quint32 known, ListFlags flags);

// Reads the DOS attribute bits of `name` in the folder `dirFd` whose path is `folderPath`
// (bytes, for the calls that take paths). Returns nothing when the file carries none. When
// the file system turns out not to support the source at all, `source` is set to None so the
// rest of the folder skips it.
std::optional<quint32> readDosBits(int dirFd, const QByteArray& folderPath, const QByteArray& name,
                                   DosBitsSource& source);

// Samba's user.DOSATTRIB value: the "0x.." text form or the binary (NDR) forms.
std::optional<quint32> parseDosAttrib(const QByteArray& value);

// Attributes of a file or folder at `path` (symbolic links followed). Throws RuntimeError 53
// when it does not exist, 75 when it cannot be examined.
quint32 fileAttributes(const QString& path);

// The same for `name` inside an open folder. `mode` is the file's st_mode (already known
// from fstatat); the DOS bits come from `source`, as readDosBits.
quint32 fileAttributesAt(int dirFd, const QByteArray& folderPath, const QByteArray& name,
                         unsigned mode, DosBitsSource& source);

} // namespace zelvia::rt
