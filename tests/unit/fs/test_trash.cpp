#include "platform/fs/trash.h"
#include "temp_tree.h"

#include <QDateTime>
#include <QDir>
#include <QRegularExpression>
#include <cstring>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace zelvia::rt;
using zelvia::test::join;
using zelvia::test::makeFile;
using zelvia::test::readBytes;

namespace {

bool exists(const QByteArray& path) {
    struct stat st {};
    return ::lstat(path.constData(), &st) == 0;
}

QList<QByteArray> entries(const QString& folder) {
    return zelvia::test::namesIn(folder);
}

// Each test gets a data home that does not exist yet, on the temporary folder's file system.
class Trash : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        root_ = QDir(dir_.path()).canonicalPath();
        ASSERT_FALSE(root_.contains(QRegularExpression(QStringLiteral("[^A-Za-z0-9/._~-]"))))
            << "the expected Path= lines assume a plain temporary folder";
        saved_ = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", (root_ + QStringLiteral("/data home")).toUtf8());
        trash_ = root_ + QStringLiteral("/data home/Trash");
        ASSERT_TRUE(QDir().mkpath(root_ + QStringLiteral("/pictures")));
    }
    void TearDown() override { qputenv("XDG_DATA_HOME", saved_); }

    QByteArray info(const QString& name) {
        return readBytes(encodeFileName(trash_ + QStringLiteral("/info/") + name +
                                        QStringLiteral(".trashinfo")));
    }

    zelvia::test::ScratchDir dir_;
    QString root_;
    QString trash_;
    QByteArray saved_;
};

TEST_F(Trash, MovesAFileIntoANewHomeTrashWithItsInfo) {
    const QString name = QStringLiteral("写真 1.bmp");
    ASSERT_TRUE(makeFile(root_ + QStringLiteral("/pictures"), encodeFileName(name), "picture"));
    const QString path = root_ + QStringLiteral("/pictures/") + name;
    const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
    const TrashResult result = moveToTrash(path);
    ASSERT_TRUE(result.ok) << result.message.toStdString();
    EXPECT_EQ(result.code, 0);
    EXPECT_FALSE(exists(encodeFileName(path)));
    EXPECT_EQ(result.trashedPath, trash_ + QStringLiteral("/files/") + name);
    EXPECT_EQ(readBytes(encodeFileName(result.trashedPath)), QByteArray("picture"));
    struct stat st {};
    ASSERT_EQ(::stat(encodeFileName(trash_).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);

    const QList<QByteArray> lines = info(name).split('\n');
    ASSERT_GE(lines.size(), 3);
    EXPECT_EQ(lines[0], QByteArray("[Trash Info]"));
    EXPECT_EQ(lines[1], "Path=" + root_.toUtf8() + "/pictures/%E5%86%99%E7%9C%9F%201.bmp");
    ASSERT_TRUE(lines[2].startsWith("DeletionDate="));
    const QDateTime when = QDateTime::fromString(QString::fromLatin1(lines[2].mid(13)),
                                                 QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
    ASSERT_TRUE(when.isValid()) << lines[2].constData();
    EXPECT_GE(when, before);
    EXPECT_LE(when, QDateTime::currentDateTime().addSecs(1));
}

TEST_F(Trash, NameCollisionsKeepBothFilesAndInvalidBytesAreEncoded) {
    const QByteArray name = "same\xff.jpg";
    ASSERT_TRUE(QDir().mkpath(root_ + QStringLiteral("/other")));
    ASSERT_TRUE(makeFile(root_ + QStringLiteral("/pictures"), name, "first"));
    ASSERT_TRUE(makeFile(root_ + QStringLiteral("/other"), name, "second"));
    const TrashResult first = moveToTrash(decodeFileName(join(root_ + "/pictures", name)));
    const TrashResult second = moveToTrash(decodeFileName(join(root_ + "/other", name)));
    ASSERT_TRUE(first.ok && second.ok) << second.message.toStdString();
    EXPECT_NE(first.trashedPath, second.trashedPath);
    EXPECT_EQ(readBytes(encodeFileName(first.trashedPath)), QByteArray("first"));
    EXPECT_EQ(readBytes(encodeFileName(second.trashedPath)), QByteArray("second"));
    EXPECT_EQ(entries(trash_ + QStringLiteral("/info")).size(), 2);
    const QString secondName = second.trashedPath.section(QLatin1Char('/'), -1);
    EXPECT_TRUE(info(secondName).contains("Path=" + root_.toUtf8() + "/other/same%FF.jpg\n"));
}

TEST_F(Trash, RefusesFoldersAndReportsVanishedFilesWithoutLeftovers) {
    const QString folder = root_ + QStringLiteral("/pictures");
    const TrashResult refused = moveToTrash(folder);
    EXPECT_FALSE(refused.ok);
    EXPECT_EQ(refused.code, static_cast<int>(TrashError::IsFolder));
    EXPECT_TRUE(
        refused.message.startsWith(QStringLiteral("ファイルをごみ箱に移動できませんでした: ")));
    EXPECT_TRUE(QDir(folder).exists());

    const TrashResult missing = moveToTrash(folder + QStringLiteral("/gone.bmp"));
    EXPECT_EQ(missing.code, static_cast<int>(TrashError::NotFound));
    // Vanishing between the checks: the building block itself finds no file.
    const TrashResult vanished = moveIntoTrash(folder + QStringLiteral("/gone.bmp"), trash_,
                                               folder + QStringLiteral("/gone.bmp"));
    EXPECT_EQ(vanished.code, static_cast<int>(TrashError::NotFound));
    EXPECT_TRUE(entries(trash_ + QStringLiteral("/info")).isEmpty());
    EXPECT_TRUE(entries(trash_ + QStringLiteral("/files")).isEmpty());
}

TEST_F(Trash, AFailedMoveRemovesTheInfoAndLeavesTheFile) {
    // A trash on another file system makes rename fail; the file must stay.
    struct stat here {
    }, shm{};
    if (::stat("/dev/shm", &shm) != 0 || ::stat(encodeFileName(root_).constData(), &here) != 0 ||
        shm.st_dev == here.st_dev || ::access("/dev/shm", W_OK) != 0) {
        GTEST_SKIP() << "no second writable file system (/dev/shm) to fail a rename against";
    }
    zelvia::test::ScratchDir elsewhere(QStringLiteral("/dev/shm/zelvia-trash-XXXXXX"));
    ASSERT_TRUE(elsewhere.isValid());
    ASSERT_TRUE(makeFile(root_ + QStringLiteral("/pictures"), "stay.gif"));
    const QString path = root_ + QStringLiteral("/pictures/stay.gif");
    const TrashResult result = moveIntoTrash(path, elsewhere.path(), path);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.code, static_cast<int>(TrashError::MoveFailed));
    EXPECT_TRUE(exists(encodeFileName(path)));
    EXPECT_TRUE(entries(elsewhere.path() + QStringLiteral("/info")).isEmpty());
}

TEST_F(Trash, TopdirTrashesFollowTheChecks) {
    const QByteArray uid = QByteArray::number(::getuid());
    const QString top = root_ + QStringLiteral("/volume");
    ASSERT_TRUE(QDir().mkpath(top));
    // No .Trash: the per-user folder is created private.
    EXPECT_EQ(topdirTrashPath(top), top + QStringLiteral("/.Trash-") + QString::fromLatin1(uid));
    struct stat st {};
    ASSERT_EQ(::stat(join(top, ".Trash-" + uid).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    // A .Trash without the sticky bit, or a link to one, is not used.
    ASSERT_EQ(::mkdir(join(top, ".Trash").constData(), 0777), 0);
    EXPECT_EQ(topdirTrashPath(top), top + QStringLiteral("/.Trash-") + QString::fromLatin1(uid));
    const QString linked = root_ + QStringLiteral("/linked");
    ASSERT_TRUE(QDir().mkpath(linked + QStringLiteral("/real")));
    ASSERT_EQ(::chmod(join(linked, "real").constData(), 01777), 0);
    ASSERT_EQ(::symlink("real", join(linked, ".Trash").constData()), 0);
    EXPECT_EQ(topdirTrashPath(linked),
              linked + QStringLiteral("/.Trash-") + QString::fromLatin1(uid));
    // A sticky .Trash holds the per-user folder.
    ASSERT_EQ(::chmod(join(top, ".Trash").constData(), 01777), 0);
    EXPECT_EQ(topdirTrashPath(top), top + QStringLiteral("/.Trash/") + QString::fromLatin1(uid));

    ASSERT_TRUE(makeFile(top, "a b.png"));
    const TrashResult result = moveIntoTrash(top + QStringLiteral("/a b.png"),
                                             *topdirTrashPath(top), QStringLiteral("a b.png"));
    ASSERT_TRUE(result.ok) << result.message.toStdString();
    EXPECT_TRUE(readBytes(join(top, ".Trash/" + uid + "/info/a b.png.trashinfo"))
                    .contains("\nPath=a%20b.png\n"));
}

TEST_F(Trash, TheTopdirIsTheMountPointHoldingTheFileInTheMountTable) {
    // A mount of the home's own device (a bind mount, say) is a trash of its own, and a folder
    // of the home's mount that has its own device number (a subvolume) is not.
    const QByteArray uid = QByteArray::number(::getuid());
    const QString volume = root_ + QStringLiteral("/volume");
    ASSERT_TRUE(QDir().mkpath(volume + QStringLiteral("/deep")));
    ASSERT_TRUE(makeFile(volume + QStringLiteral("/deep"), "on volume.bmp"));
    ASSERT_TRUE(makeFile(root_ + QStringLiteral("/pictures"), "at home.bmp"));
    const std::vector<MountEntry> mounts = {
        {QStringLiteral("/"), QStringLiteral("/"), QStringLiteral("ext4"), QStringLiteral("/a")},
        {QStringLiteral("/x"), volume, QStringLiteral("ext4"), QStringLiteral("/a")}};
    const TrashResult there = moveToTrash(volume + QStringLiteral("/deep/on volume.bmp"), mounts);
    ASSERT_TRUE(there.ok) << there.message.toStdString();
    EXPECT_EQ(there.trashedPath,
              volume + QStringLiteral("/.Trash-") + uid + QStringLiteral("/files/on volume.bmp"));
    EXPECT_TRUE(readBytes(join(volume, ".Trash-" + uid + "/info/on volume.bmp.trashinfo"))
                    .contains("\nPath=deep/on%20volume.bmp\n"));
    const TrashResult home = moveToTrash(root_ + QStringLiteral("/pictures/at home.bmp"), mounts);
    ASSERT_TRUE(home.ok) << home.message.toStdString();
    EXPECT_EQ(home.trashedPath, trash_ + QStringLiteral("/files/at home.bmp"));
}

// A tmpfs mounted for the test, unmounted whatever happens.
class TmpfsMount {
public:
    explicit TmpfsMount(const QString& at) : at_(encodeFileName(at)) {
        mounted_ = ::mount("zelvia-test", at_.constData(), "tmpfs", 0, "size=4m") == 0;
        error_ = mounted_ ? 0 : errno;
    }
    ~TmpfsMount() {
        if (mounted_) {
            ::umount2(at_.constData(), MNT_DETACH);
        }
    }
    TmpfsMount(const TmpfsMount&) = delete;
    TmpfsMount& operator=(const TmpfsMount&) = delete;
    [[nodiscard]] bool mounted() const { return mounted_; }
    [[nodiscard]] int error() const { return error_; }

private:
    QByteArray at_;
    bool mounted_ = false;
    int error_ = 0;
};

TEST_F(Trash, AFileOnASecondMountGoesToThatMountsTrash) {
    const QString top = root_ + QStringLiteral("/stick");
    ASSERT_TRUE(QDir().mkpath(top));
    const TmpfsMount mount(top);
    if (!mount.mounted()) {
        GTEST_SKIP() << "mounting a tmpfs was refused (" << std::strerror(mount.error())
                     << "); the trash of a second mount is untested here";
    }
    const QByteArray uid = QByteArray::number(::getuid());
    ASSERT_TRUE(QDir().mkpath(top + QStringLiteral("/DCIM")));
    ASSERT_TRUE(makeFile(top + QStringLiteral("/DCIM"), "写真.jpg", "jpeg"));
    const TrashResult result = moveToTrash(top + QStringLiteral("/DCIM/写真.jpg"));
    ASSERT_TRUE(result.ok) << result.message.toStdString();
    EXPECT_EQ(result.trashedPath,
              top + QStringLiteral("/.Trash-") + uid + QStringLiteral("/files/写真.jpg"));
    EXPECT_EQ(readBytes(encodeFileName(result.trashedPath)), QByteArray("jpeg"));
    // Restorable by the desktop's rules: Path= is relative to the mount point.
    const QByteArray info = readBytes(join(top, ".Trash-" + uid + "/info/写真.jpg.trashinfo"));
    EXPECT_TRUE(info.contains("\nPath=DCIM/%E5%86%99%E7%9C%9F.jpg\n")) << info.constData();
    EXPECT_FALSE(exists(join(top, "DCIM/写真.jpg")));
    EXPECT_TRUE(entries(trash_).isEmpty()) << "nothing went to the home trash";
}

} // namespace
