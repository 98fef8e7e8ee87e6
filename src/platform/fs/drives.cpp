#include "platform/fs/drives.h"

#include "core/native_path.h"
#include "platform/fs/natural_sort.h"

#include <QSocketNotifier>
#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

namespace zelvia::rt {

namespace {

constexpr qsizetype MountInfoLimit = qsizetype{16} * 1024 * 1024;

// File systems that hold files a person keeps; everything else (proc, sysfs, cgroup, tmpfs,
// overlay, squashfs, autofs, ...) is the kernel's or a container's business.
constexpr std::array<const char*, 27> RealFileSystems = {
    "ext2",  "ext3",  "ext4",  "btrfs",    "xfs",     "f2fs",    "zfs",      "vfat",   "msdos",
    "exfat", "ntfs",  "ntfs3", "fuseblk",  "iso9660", "udf",     "nfs",      "nfs4",   "cifs",
    "smb3",  "smbfs", "jfs",   "reiserfs", "hfs",     "hfsplus", "bcachefs", "nilfs2", "virtiofs",
};

// FUSE file systems of the desktop session or of containers, not of media or shares.
constexpr std::array<const char*, 6> SessionFuseTypes = {
    "fuse.portal",   "fuse.gvfsd-fuse",          "fuse.lxcfs",
    "fuse.snapfuse", "fuse.xdg-document-portal", "fuse.fuse-overlayfs",
};

// Trees where mounts are the system's, not drives (removable media under /run/media are).
constexpr std::array<const char*, 8> SystemTrees = {
    "/proc", "/sys", "/dev", "/run", "/etc", "/snap", "/var/lib/docker", "/var/lib/containers",
};

bool isUnder(const QString& path, const QString& tree) {
    return path == tree || (path.startsWith(tree) && path.size() > tree.size() &&
                            path[tree.size()] == QLatin1Char('/'));
}

QByteArray unescapeOctal(const QByteArray& field) {
    QByteArray out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        const auto isOctal = [&](qsizetype k) {
            return k < field.size() && field[k] >= '0' && field[k] <= '7';
        };
        if (field[i] == '\\' && isOctal(i + 1) && isOctal(i + 2) && isOctal(i + 3)) {
            const int value =
                (field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0');
            out.append(static_cast<char>(value & 0xff));
            i += 3;
        } else {
            out.append(field[i]);
        }
    }
    return out;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// udev writes unsafe bytes of a label as \xNN.
QByteArray unescapeHex(const QByteArray& name) {
    QByteArray out;
    out.reserve(name.size());
    for (qsizetype i = 0; i < name.size(); ++i) {
        if (name[i] == '\\' && i + 3 < name.size() && name[i + 1] == 'x' &&
            hexValue(name[i + 2]) >= 0 && hexValue(name[i + 3]) >= 0) {
            out.append(static_cast<char>(hexValue(name[i + 2]) * 16 + hexValue(name[i + 3])));
            i += 3;
        } else {
            out.append(name[i]);
        }
    }
    return out;
}

QString canonicalDevice(const QByteArray& path) {
    std::array<char, PATH_MAX> resolved{};
    if (::realpath(path.constData(), resolved.data()) == nullptr) {
        return {};
    }
    return decodeFileName(QByteArray(resolved.data()));
}

} // namespace

QString Drive::display() const {
    return label.isEmpty() ? mountPoint
                           : mountPoint + QStringLiteral(" [") + label + QLatin1Char(']');
}

std::vector<MountEntry> parseMountInfo(const QByteArray& text) {
    std::vector<MountEntry> mounts;
    for (const QByteArray& line : text.split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        // id parent major:minor root mount-point options [optional...] - type source super
        const qsizetype dash = fields.indexOf(QByteArray("-"), 6);
        if (fields.size() < 6 || dash < 0 || dash + 2 >= fields.size()) {
            continue;
        }
        MountEntry entry;
        entry.root = decodeFileName(unescapeOctal(fields[3]));
        entry.mountPoint = decodeFileName(unescapeOctal(fields[4]));
        entry.fsType = decodeFileName(unescapeOctal(fields[dash + 1]));
        entry.source = decodeFileName(unescapeOctal(fields[dash + 2]));
        if (entry.mountPoint.startsWith(QLatin1Char('/'))) {
            mounts.push_back(std::move(entry));
        }
    }
    return mounts;
}

bool isBrowsable(const MountEntry& mount) {
    if (mount.mountPoint == QLatin1String("/")) {
        return true;
    }
    for (const char* tree : SystemTrees) {
        if (isUnder(mount.mountPoint, QLatin1String(tree)) &&
            !isUnder(mount.mountPoint, QStringLiteral("/run/media"))) {
            return false;
        }
    }
    const QString& type = mount.fsType;
    if (type.startsWith(QLatin1String("fuse."))) {
        return std::none_of(SessionFuseTypes.begin(), SessionFuseTypes.end(),
                            [&](const char* t) { return type == QLatin1String(t); });
    }
    return std::any_of(RealFileSystems.begin(), RealFileSystems.end(),
                       [&](const char* t) { return type == QLatin1String(t); });
}

std::map<QString, QString> readDiskLabels(const QString& byLabelDir) {
    std::map<QString, QString> labels;
    const QByteArray folder = encodeFileName(byLabelDir);
    DIR* dir = ::opendir(folder.constData());
    if (dir == nullptr) {
        return labels;
    }
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (name.startsWith('.')) {
            continue;
        }
        const QString device = canonicalDevice(folder + '/' + name);
        if (!device.isEmpty()) {
            labels[device] = decodeFileName(unescapeHex(name));
        }
    }
    ::closedir(dir);
    return labels;
}

std::vector<Drive> drivesFromMountInfo(const QByteArray& text,
                                       const std::map<QString, QString>& labels) {
    std::vector<Drive> drives;
    for (const MountEntry& mount : parseMountInfo(text)) {
        // A later mount on the same point hides the earlier one.
        std::erase_if(drives, [&](const Drive& d) { return d.mountPoint == mount.mountPoint; });
        if (!isBrowsable(mount)) {
            continue;
        }
        Drive drive;
        drive.mountPoint = mount.mountPoint;
        drive.fsType = mount.fsType;
        drive.source = mount.source;
        if (const auto it = labels.find(mount.source); it != labels.end()) {
            drive.label = it->second;
        }
        drives.push_back(std::move(drive));
    }
    std::stable_sort(drives.begin(), drives.end(), [](const Drive& a, const Drive& b) {
        const bool aRoot = a.mountPoint == QLatin1String("/");
        const bool bRoot = b.mountPoint == QLatin1String("/");
        if (aRoot != bRoot) {
            return aRoot;
        }
        return naturalCompare(a.mountPoint, b.mountPoint) < 0;
    });
    return drives;
}

QString driveOf(const std::vector<Drive>& drives, const QString& path) {
    QString best;
    for (const Drive& drive : drives) {
        const QString& mp = drive.mountPoint;
        const bool holds =
            mp == QLatin1String("/") ? path.startsWith(QLatin1Char('/')) : isUnder(path, mp);
        if (holds && mp.size() > best.size()) {
            best = mp;
        }
    }
    return best;
}

QString mountPointHolding(const std::vector<MountEntry>& mounts, const QString& path) {
    QString best = QStringLiteral("/");
    for (const MountEntry& mount : mounts) {
        if (isUnder(path, mount.mountPoint) && mount.mountPoint.size() > best.size()) {
            best = mount.mountPoint;
        }
    }
    return best;
}

SystemDriveSource::SystemDriveSource(QObject* parent, QString mountInfoPath, QString byLabelDir)
    : DriveSource(parent), mountInfoPath_(std::move(mountInfoPath)),
      byLabelDir_(std::move(byLabelDir)) {
    fd_ = ::open(encodeFileName(mountInfoPath_).constData(), O_RDONLY | O_CLOEXEC);
    if (fd_ >= 0) {
        // The mount table signals a change as a priority event.
        notifier_ = new QSocketNotifier(fd_, QSocketNotifier::Exception, this);
        connect(notifier_, &QSocketNotifier::activated, this, &SystemDriveSource::refresh);
    }
    refresh();
}

SystemDriveSource::~SystemDriveSource() {
    delete notifier_;
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

std::vector<Drive> SystemDriveSource::drives() const {
    return drives_;
}

QByteArray readMountInfo(const QString& path) {
    QByteArray text;
    const int fd = ::open(encodeFileName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return text;
    }
    std::array<char, 65536> buffer{};
    for (;;) {
        const ssize_t got = ::read(fd, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0 || text.size() + got > MountInfoLimit) {
            break;
        }
        text.append(buffer.data(), static_cast<qsizetype>(got));
    }
    ::close(fd);
    return text;
}

void SystemDriveSource::refresh() {
    const QByteArray text = readMountInfo(mountInfoPath_);
    std::map<QString, QString> labels = readDiskLabels(byLabelDir_);
    // Sources named through symbolic links (/dev/mapper/..., /dev/disk/by-uuid/...).
    if (!labels.empty()) {
        for (const MountEntry& mount : parseMountInfo(text)) {
            if (mount.source.startsWith(QLatin1Char('/')) && !labels.contains(mount.source)) {
                const QString device = canonicalDevice(encodeFileName(mount.source));
                if (const auto it = labels.find(device); it != labels.end()) {
                    labels[mount.source] = it->second;
                }
            }
        }
    }
    std::vector<Drive> drives = drivesFromMountInfo(text, labels);
    if (drives != drives_) {
        drives_ = std::move(drives);
        emit changed();
    }
}

} // namespace zelvia::rt
