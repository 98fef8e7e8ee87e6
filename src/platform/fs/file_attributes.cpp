#include "platform/fs/file_attributes.h"

#include "core/native_path.h"
#include "core/runtime_error.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/msdos_fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace zelvia::rt {

namespace {

constexpr quint32 DosBitsKept = attr::Hidden | attr::System | attr::Archive;

// statfs f_type values of the file systems that need a source of their own.
constexpr unsigned long MsdosMagic = 0x4d44;
constexpr unsigned long NtfsMagic = 0x5346544e;  // the old read-only driver
constexpr unsigned long Ntfs3Magic = 0x7366746e; // the in-kernel read-write driver
constexpr unsigned long FuseMagic = 0x65735546;
constexpr unsigned long CifsMagic = 0xff534d42;
constexpr unsigned long Smb2Magic = 0xfe534d42;
constexpr unsigned long SmbMagic = 0x517b;
// File systems that cannot carry DOS bits at all.
constexpr std::array<unsigned long, 8> NoDosMagics = {
    0x9fa0,     // proc
    0x62656572, // sysfs
    0x9660,     // iso9660
    0x15013346, // udf
    0x73717368, // squashfs
    0x2011bab0, // exfat (no attribute interface)
    0x1cd1,     // devpts
    0x27e0eb,   // cgroup
};

class FdCloser {
public:
    explicit FdCloser(int fd) : fd_(fd) {}
    ~FdCloser() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    FdCloser(const FdCloser&) = delete;
    FdCloser& operator=(const FdCloser&) = delete;
    [[nodiscard]] int get() const { return fd_; }

private:
    int fd_;
};

bool notSupported(int error) {
    return error == ENOTSUP || error == EOPNOTSUPP || error == ENOSYS;
}

QByteArray childPath(const QByteArray& folderPath, const QByteArray& name) {
    QByteArray path = folderPath;
    if (!path.endsWith('/')) {
        path.append('/');
    }
    path.append(name);
    return path;
}

// Reads a small extended attribute; returns the error number, 0 on success.
int readXattr(const QByteArray& path, const char* key, QByteArray& value) {
    std::array<char, 256> buffer{};
    ssize_t got = ::getxattr(path.constData(), key, buffer.data(), buffer.size());
    if (got >= 0) {
        value = QByteArray(buffer.data(), static_cast<qsizetype>(got));
        return 0;
    }
    if (errno != ERANGE) {
        return errno;
    }
    // Larger than any form Samba writes; read a bounded amount so a hostile value costs little.
    QByteArray big(4096, '\0');
    got = ::getxattr(path.constData(), key, big.data(), static_cast<size_t>(big.size()));
    if (got < 0) {
        return errno;
    }
    big.resize(static_cast<qsizetype>(got));
    value = big;
    return 0;
}

std::optional<quint32> parseHex(const QByteArray& value) {
    quint32 bits = 0;
    qsizetype i = 2;
    bool any = false;
    for (; i < value.size() && i < 2 + 8; ++i) {
        const char c = value[i];
        int digit = -1;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else if (c >= 'A' && c <= 'F') {
            digit = c - 'A' + 10;
        } else {
            break;
        }
        bits = (bits << 4) | static_cast<quint32>(digit);
        any = true;
    }
    if (!any) {
        return std::nullopt;
    }
    return bits;
}

quint32 readLe32(const QByteArray& v, qsizetype at) {
    quint32 x = 0;
    for (int k = 3; k >= 0; --k) {
        x = (x << 8) | static_cast<unsigned char>(v[at + k]);
    }
    return x;
}

quint16 readLe16(const QByteArray& v, qsizetype at) {
    return static_cast<quint16>(static_cast<unsigned char>(v[at]) |
                                (static_cast<unsigned char>(v[at + 1]) << 8));
}

qsizetype alignUp(qsizetype at, qsizetype to) {
    return (at + to - 1) / to * to;
}

} // namespace

bool isListed(quint32 attributes, ListFlags flags) {
    const bool readOnly = (attributes & attr::ReadOnly) != 0;
    const bool hidden = (attributes & attr::Hidden) != 0;
    const bool system = (attributes & attr::System) != 0;
    if (!readOnly && !hidden && !system) {
        return flags.normal || (flags.archive && (attributes & attr::Archive) != 0);
    }
    return (!readOnly || flags.readOnly) && (!hidden || flags.hidden) && (!system || flags.system);
}

std::optional<quint32> parseDosAttrib(const QByteArray& value) {
    if (value.size() >= 2 && value[0] == '0' && (value[1] == 'x' || value[1] == 'X')) {
        return parseHex(value);
    }
    // The binary form: a NUL-terminated hex string (usually empty), then NDR little-endian
    // uint16 version, uint16 union level (the same number) and the version's structure,
    // aligned to 4 from the start of the value.
    const qsizetype nul = value.indexOf('\0');
    if (nul < 0) {
        return std::nullopt;
    }
    const qsizetype versionAt = alignUp(nul + 1, 2);
    if (versionAt + 4 > value.size()) {
        return std::nullopt;
    }
    const quint16 version = readLe16(value, versionAt);
    if (readLe16(value, versionAt + 2) != version) {
        return std::nullopt;
    }
    const qsizetype body = alignUp(versionAt + 4, 4);
    qsizetype attribAt = -1;
    switch (version) {
    case 1:      // attrib first
    case 0xffff: // compat: attrib only
        attribAt = body;
        break;
    case 2: // flags, attrib
    case 3: // valid_flags, attrib
    case 4:
    case 5:
        attribAt = body + 4;
        break;
    default:
        return std::nullopt;
    }
    if (attribAt + 4 > value.size()) {
        return std::nullopt;
    }
    if (version >= 3) {
        constexpr quint32 AttribValid = 1;
        if ((readLe32(value, body) & AttribValid) == 0) {
            return std::nullopt;
        }
    }
    return readLe32(value, attribAt);
}

bool dosBitsCanDecide(quint32 known, ListFlags flags) {
    const bool withNone = isListed(known, flags);
    // Every non-empty combination of the bits, as subsets of DosBitsKept.
    for (quint32 some = DosBitsKept; some != 0; some = (some - 1) & DosBitsKept) {
        if (isListed(known | some, flags) != withNone) {
            return true;
        }
    }
    return false;
}

DosBitsSource dosBitsSourceForFolder(int dirFd) {
    struct statfs fs {};
    if (::fstatfs(dirFd, &fs) != 0) {
        return DosBitsSource::SambaXattr;
    }
    return dosBitsSourceForType(static_cast<unsigned long>(fs.f_type));
}

DosBitsSource dosBitsSourceForType(unsigned long fsType) {
    const unsigned long type = fsType & 0xffffffffUL;
    switch (type) {
    case MsdosMagic:
        return DosBitsSource::FatIoctl;
    case NtfsMagic:
    case Ntfs3Magic:
    case FuseMagic:
        return DosBitsSource::NtfsXattr;
    case CifsMagic:
    case Smb2Magic:
    case SmbMagic:
        return DosBitsSource::CifsXattr;
    default:
        break;
    }
    for (const unsigned long magic : NoDosMagics) {
        if (type == magic) {
            return DosBitsSource::None;
        }
    }
    return DosBitsSource::SambaXattr;
}

std::optional<quint32> readDosBits(int dirFd, const QByteArray& folderPath, const QByteArray& name,
                                   DosBitsSource& source) {
    switch (source) {
    case DosBitsSource::None:
        return std::nullopt;
    case DosBitsSource::FatIoctl: {
        const FdCloser fd(
            ::openat(dirFd, name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
        if (fd.get() < 0) {
            return std::nullopt;
        }
        __u32 bits = 0;
        if (::ioctl(fd.get(), FAT_IOCTL_GET_ATTRIBUTES, &bits) != 0) {
            if (notSupported(errno) || errno == ENOTTY) {
                source = DosBitsSource::None;
            }
            return std::nullopt;
        }
        return static_cast<quint32>(bits);
    }
    case DosBitsSource::NtfsXattr:
    case DosBitsSource::CifsXattr:
    case DosBitsSource::SambaXattr:
        break;
    }
    const char* key = source == DosBitsSource::NtfsXattr   ? "system.ntfs_attrib_be"
                      : source == DosBitsSource::CifsXattr ? "user.cifs.dosattrib"
                                                           : "user.DOSATTRIB";
    QByteArray value;
    const int error = readXattr(childPath(folderPath, name), key, value);
    if (error != 0) {
        if (notSupported(error)) {
            source = DosBitsSource::None;
        }
        return std::nullopt;
    }
    if (source == DosBitsSource::SambaXattr) {
        return parseDosAttrib(value);
    }
    if (value.size() != 4) {
        return std::nullopt;
    }
    if (source == DosBitsSource::NtfsXattr) {
        return static_cast<quint32>(static_cast<unsigned char>(value[0])) << 24 |
               static_cast<quint32>(static_cast<unsigned char>(value[1])) << 16 |
               static_cast<quint32>(static_cast<unsigned char>(value[2])) << 8 |
               static_cast<quint32>(static_cast<unsigned char>(value[3]));
    }
    quint32 bits = 0;
    std::memcpy(&bits, value.constData(), sizeof bits); // the client hands it in host order
    return bits;
}

quint32 fileAttributesAt(int dirFd, const QByteArray& folderPath, const QByteArray& name,
                         unsigned mode, DosBitsSource& source) {
    quint32 bits = 0;
    if (S_ISDIR(mode)) {
        bits |= attr::Directory;
    }
    if ((mode & S_IWUSR) == 0) {
        bits |= attr::ReadOnly;
    }
    if (name.startsWith('.') && name != "." && name != "..") {
        bits |= attr::Hidden;
    }
    if (const auto dos = readDosBits(dirFd, folderPath, name, source)) {
        bits |= *dos & DosBitsKept;
    }
    return bits & attr::All;
}

quint32 fileAttributes(const QString& path) {
    QByteArray native = encodeFileName(path);
    if (native.isEmpty() || native.contains('\0')) {
        throw RuntimeError(err::FileNotFound);
    }
    while (native.size() > 1 && native.endsWith('/')) {
        native.chop(1);
    }
    struct stat st {};
    if (::stat(native.constData(), &st) != 0) {
        throw RuntimeError(errno == ENOENT || errno == ENOTDIR ? err::FileNotFound
                                                               : err::PathAccess);
    }
    const auto mode = static_cast<unsigned>(st.st_mode);
    if (native == "/") {
        DosBitsSource none = DosBitsSource::None;
        return fileAttributesAt(-1, native, native, mode, none);
    }
    const qsizetype slash = native.lastIndexOf('/');
    const QByteArray folder = slash < 0 ? QByteArray(".") : (slash == 0 ? "/" : native.left(slash));
    const QByteArray name = native.mid(slash + 1);
    const FdCloser dir(::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    DosBitsSource source = DosBitsSource::None;
    if (dir.get() >= 0) {
        source = dosBitsSourceForFolder(dir.get());
    }
    return fileAttributesAt(dir.get(), folder, name, mode, source);
}

} // namespace zelvia::rt
