#include "platform/fs/drives.h"
#include "temp_tree.h"

#include <QDir>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace zelvia::rt;

namespace {

const QByteArray kMountInfo =
    "22 1 0:21 / /proc rw,nosuid - proc proc rw\n"
    "23 1 0:22 / /sys rw - sysfs sysfs rw\n"
    "24 1 8:2 / / rw,relatime shared:1 - ext4 /dev/sda2 rw\n"
    "25 24 0:23 / /run rw - tmpfs tmpfs rw\n"
    "26 24 0:24 / /sys/fs/cgroup rw - cgroup2 cgroup2 rw\n"
    "27 24 8:3 /@home /home rw shared:2 master:1 - btrfs /dev/sda3 rw\n"
    "28 25 8:17 / /run/media/me/My\\040Stick rw - vfat /dev/sdb1 rw\n"
    "29 24 0:40 / /mnt/share rw - cifs //server/pics rw\n"
    "30 24 7:0 / /snap/core/123 ro - squashfs /dev/loop0 ro\n"
    "31 24 0:41 / /tmp rw - tmpfs tmpfs rw\n"
    "32 24 0:42 / /mnt/remote rw - fuse.sshfs me@host: rw\n"
    "33 25 0:43 / /run/user/1000/doc rw - fuse.portal portal rw\n"
    "34 24 0:44 / /media/cd ro - iso9660 /dev/sr0 ro\n"
    "35 24 0:45 / /mnt/auto rw - autofs systemd-1 rw\n"
    "36 24 8:4 / /data rw - xfs /dev/sda4 rw\n"
    "37 24 0:46 / /data rw - tmpfs tmpfs rw\n"
    "38 24 8:2 /var/lib/docker/containers/x/hosts /etc/hosts rw - ext4 /dev/sda2 rw\n"
    "39 24 0:47 / /mnt/disk10 rw - ext4 /dev/sdc1 rw\n"
    "40 24 0:48 / /mnt/disk9 rw - ext4 /dev/sdd1 rw\n"
    "broken line without fields\n"
    "41 24 0:49 / relative rw - ext4 /dev/x rw\n";

TEST(Drives, ParsesMountInfoAndUnescapesOctal) {
    const auto mounts = parseMountInfo(kMountInfo);
    ASSERT_EQ(mounts.size(), 19u);
    EXPECT_EQ(mounts[5].root, QStringLiteral("/@home"));
    EXPECT_EQ(mounts[6].mountPoint, QStringLiteral("/run/media/me/My Stick"));
    EXPECT_EQ(mounts[6].fsType, QStringLiteral("vfat"));
    EXPECT_EQ(mounts[6].source, QStringLiteral("/dev/sdb1"));
    const auto odd = parseMountInfo("1 1 0:1 / /a\\134b\\011c\\012 rw - ext4 /dev/x rw\n");
    ASSERT_EQ(odd.size(), 1u);
    EXPECT_EQ(odd[0].mountPoint, QStringLiteral("/a\\b\tc\n"));
}

TEST(Drives, KeepsRealFileSystemsWithLabelsInOrder) {
    const std::map<QString, QString> labels = {
        {QStringLiteral("/dev/sdb1"), QStringLiteral("写真")},
        {QStringLiteral("/dev/sda2"), QStringLiteral("root")}};
    QStringList shown;
    for (const Drive& d : drivesFromMountInfo(kMountInfo, labels)) {
        shown.append(d.display());
    }
    const QStringList expected = {
        QStringLiteral("/ [root]"),    QStringLiteral("/home"),
        QStringLiteral("/media/cd"),   QStringLiteral("/mnt/disk9"),
        QStringLiteral("/mnt/disk10"), QStringLiteral("/mnt/remote"),
        QStringLiteral("/mnt/share"),  QStringLiteral("/run/media/me/My Stick [写真]"),
    };
    EXPECT_EQ(shown, expected);
    // An overlay or squashfs root still is a drive.
    const auto live = drivesFromMountInfo("1 0 0:1 / / rw - overlay overlay rw\n", {});
    ASSERT_EQ(live.size(), 1u);
    EXPECT_EQ(live[0].mountPoint, QStringLiteral("/"));
}

TEST(Drives, DriveOfPicksTheLongestMountPointOnComponentBoundaries) {
    std::vector<Drive> drives;
    for (const char* mp : {"/", "/mnt/a", "/mnt/a/b", "/home"}) {
        drives.push_back({QString::fromLatin1(mp), {}, QStringLiteral("ext4"), {}});
    }
    const std::pair<const char*, const char*> rows[] = {
        {"/mnt/a/b/c", "/mnt/a/b"}, {"/mnt/a/bc", "/mnt/a"}, {"/mnt/a", "/mnt/a"},
        {"/mnt/ab", "/"},           {"/home/me", "/home"},   {"/", "/"},
        {"relative", ""},
    };
    for (const auto& [path, drive] : rows) {
        EXPECT_EQ(driveOf(drives, QString::fromLatin1(path)), QString::fromLatin1(drive)) << path;
    }
    EXPECT_EQ(driveOf({}, QStringLiteral("/x")), QString());
}

TEST(Drives, SystemSourceReadsLabelsAndSignalsChanges) {
    zelvia::test::ScratchDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("by-label")));
    ASSERT_TRUE(zelvia::test::makeFile(dir.path(), "sdz1"));
    ASSERT_EQ(::symlink("../sdz1",
                        zelvia::test::join(dir.path(), "by-label/My\\x20Disk\\x2f2").constData()),
              0);
    const QString device = QDir(dir.path()).canonicalPath() + QStringLiteral("/sdz1");
    const auto labels = readDiskLabels(dir.filePath(QStringLiteral("by-label")));
    ASSERT_EQ(labels.size(), 1u);
    EXPECT_EQ(labels.at(device), QStringLiteral("My Disk/2"));

    const QString mountinfo = dir.filePath(QStringLiteral("mountinfo"));
    const auto write = [&](const QByteArray& text) {
        ASSERT_TRUE(zelvia::test::makeFile(dir.path(), "mountinfo", text));
    };
    write("1 0 8:1 / / rw - ext4 /dev/root rw\n");
    SystemDriveSource source(nullptr, mountinfo, dir.filePath(QStringLiteral("by-label")));
    int changes = 0;
    QObject::connect(&source, &DriveSource::changed, [&] { ++changes; });
    ASSERT_EQ(source.drives().size(), 1u);
    source.refresh();
    EXPECT_EQ(changes, 0);
    // The medium is named through a link, as /dev/disk/by-uuid names are.
    write("1 0 8:1 / / rw - ext4 /dev/root rw\n2 1 8:2 / /media/x rw - vfat " +
          zelvia::test::join(dir.path(), "by-label/My\\x20Disk\\x2f2") + " rw\n");
    source.refresh();
    EXPECT_EQ(changes, 1);
    ASSERT_EQ(source.drives().size(), 2u);
    EXPECT_EQ(source.drives()[1].display(), QStringLiteral("/media/x [My Disk/2]"));
}

TEST(Drives, TheRealSystemHasARoot) {
    SystemDriveSource source;
    const auto drives = source.drives();
    ASSERT_FALSE(drives.empty());
    EXPECT_EQ(drives.front().mountPoint, QStringLiteral("/"));
    EXPECT_FALSE(driveOf(drives, QDir::currentPath()).isEmpty());
}

} // namespace
