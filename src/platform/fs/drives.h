#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <map>
#include <memory>
#include <vector>

class QSocketNotifier;

namespace zelvia::rt {

// A mounted file system a person would browse.
struct Drive {
    QString mountPoint;
    QString label; // volume label, empty when it has none
    QString fsType;
    QString source; // the mounted device or share, as mountinfo gives it

    // The text of the drive list: the mount point, with the label in brackets when it has one.
    [[nodiscard]] QString display() const;
    bool operator==(const Drive&) const = default;
};

// One line of /proc/self/mountinfo, its octal escapes (\040 ...) undone.
struct MountEntry {
    QString root;
    QString mountPoint;
    QString fsType;
    QString source;
};
std::vector<MountEntry> parseMountInfo(const QByteArray& text);

// The text of a mountinfo file (at most 16 MiB), empty when it cannot be read.
QByteArray readMountInfo(const QString& path = QStringLiteral("/proc/self/mountinfo"));

// The mount point holding `path` (absolute and clean): the longest mount point that is `path`
// or one of its parent folders; "/" when none is.
QString mountPointHolding(const std::vector<MountEntry>& mounts, const QString& path);

// Whether a mount is a drive: "/" always, otherwise a real file system (disk, optical, network
// or FUSE) outside the kernel's and the session's own trees.
bool isBrowsable(const MountEntry& mount);

// Device path (as mountinfo names it, symbolic links resolved) -> volume label, from the
// symbolic links of /dev/disk/by-label (their \xNN escapes undone).
std::map<QString, QString>
readDiskLabels(const QString& byLabelDir = QStringLiteral("/dev/disk/by-label"));

// The drives of a mountinfo text: browsable mounts, one per mount point (the last mounted
// wins), "/" first, then by mount point in natural order, with labels from `labels` matched on
// the mount's source.
std::vector<Drive> drivesFromMountInfo(const QByteArray& text,
                                       const std::map<QString, QString>& labels);

// The mount point of the drive holding `path` (the longest mount point that is `path` or one
// of its parent folders), or an empty string when no drive holds it. `path` should be absolute
// and clean; it is compared as written.
QString driveOf(const std::vector<Drive>& drives, const QString& path);

// Where the drive list gets its drives from.
class DriveSource : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    [[nodiscard]] virtual std::vector<Drive> drives() const = 0;

signals:
    // The set of drives may have changed (a medium inserted or removed, a share mounted).
    void changed();
};

// The system's drives from /proc/self/mountinfo, watched for mount changes (poll priority
// events on the open file). The paths are parameters so tests can use files of their own.
class SystemDriveSource : public DriveSource {
    Q_OBJECT
public:
    explicit SystemDriveSource(QObject* parent = nullptr,
                               QString mountInfoPath = QStringLiteral("/proc/self/mountinfo"),
                               QString byLabelDir = QStringLiteral("/dev/disk/by-label"));
    ~SystemDriveSource() override;

    [[nodiscard]] std::vector<Drive> drives() const override;

    // Re-reads the mounts; emits changed() when the drives differ from before.
    void refresh();

private:
    QString mountInfoPath_;
    QString byLabelDir_;
    int fd_ = -1;
    QSocketNotifier* notifier_ = nullptr;
    std::vector<Drive> drives_;
};

} // namespace zelvia::rt
