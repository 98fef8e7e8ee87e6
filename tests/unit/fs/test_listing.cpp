#include "core/runtime_error.h"
#include "platform/fs/file_attributes.h"
#include "platform/fs/folder_listing.h"
#include "platform/fs/natural_sort.h"
#include "temp_tree.h"

#include <QDirIterator>
#include <QFileInfo>
#include <QSet>
#include <cstring>
#include <gtest/gtest.h>
#include <map>
#include <sys/stat.h>
#include <sys/xattr.h>

using namespace zelvia::rt;
using zelvia::test::join;
using zelvia::test::makeFile;

namespace {

ListFlags flagsFromBits(int bits) {
    return {(bits & 1) != 0, (bits & 2) != 0, (bits & 4) != 0, (bits & 8) != 0, (bits & 16) != 0};
}

QSet<QString> namesOf(const std::vector<QString>& files) {
    return {files.begin(), files.end()};
}

// A folder with one file for each kind; DOS bits through user.DOSATTRIB when the file system
// takes user extended attributes.
class ListingMatrix : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        add("normal", 0644);
        add("readonly", 0444);
        add(".hidden", 0644);
        add(".hidden-readonly", 0444);
        xattrs_ = ::setxattr(join(dir_.path(), "normal").constData(), "user.zelvia-probe", "1", 1,
                             0) == 0;
        if (xattrs_) {
            add("archive", 0644, "0x20");
            add("system", 0644, "0x4");
            add("dos-hidden", 0644, "0x22");
            add("system-readonly", 0444, "0x24");
        }
    }

    void add(const char* name, mode_t mode, const char* dosattrib = nullptr) {
        ASSERT_TRUE(makeFile(dir_.path(), name));
        const QByteArray path = join(dir_.path(), name);
        if (dosattrib != nullptr) {
            ASSERT_EQ(::setxattr(path.constData(), "user.DOSATTRIB", dosattrib,
                                 std::strlen(dosattrib) + 1, 0),
                      0);
        }
        ASSERT_EQ(::chmod(path.constData(), mode), 0);
    }

    zelvia::test::ScratchDir dir_;
    bool xattrs_ = false;
};

TEST_F(ListingMatrix, ReportsEachFilesAttributes) {
    const std::map<QString, quint32> expected = {
        {QStringLiteral("normal"), 0},
        {QStringLiteral("readonly"), attr::ReadOnly},
        {QStringLiteral(".hidden"), attr::Hidden},
        {QStringLiteral(".hidden-readonly"), attr::Hidden | attr::ReadOnly},
        {QStringLiteral("archive"), attr::Archive},
        {QStringLiteral("system"), attr::System},
        {QStringLiteral("dos-hidden"), attr::Hidden | attr::Archive},
        {QStringLiteral("system-readonly"), attr::System | attr::ReadOnly | attr::Archive},
    };
    const ListFlags everything{true, true, true, true, true};
    const auto files = listFiles(dir_.path(), QStringLiteral("*.*"), everything);
    EXPECT_EQ(files.size(), xattrs_ ? 8u : 4u);
    for (const QString& name : files) {
        EXPECT_EQ(fileAttributes(dir_.filePath(name)), expected.at(name)) << name.toStdString();
    }
    if (!xattrs_) {
        GTEST_SKIP() << "this file system takes no user extended attributes; DOS bits untested";
    }
}

TEST_F(ListingMatrix, ChosenFlagCombinations) {
    struct Row {
        ListFlags flags;
        QSet<QString> listed;
    };
    const QString n = QStringLiteral("normal"), r = QStringLiteral("readonly"),
                  h = QStringLiteral(".hidden"), hr = QStringLiteral(".hidden-readonly"),
                  a = QStringLiteral("archive"), s = QStringLiteral("system"),
                  dh = QStringLiteral("dos-hidden"), sr = QStringLiteral("system-readonly");
    const std::vector<Row> rows = {
        {{true, false, false, false, false}, {n, a}},
        {{false, true, false, false, false}, {a}},
        {{false, false, false, false, false}, {}},
        {{false, false, false, true, false}, {h, dh}},
        {{false, false, false, true, true}, {r, h, hr, dh}},
        {{true, false, true, false, true}, {n, a, r, s, sr}},
        {{false, false, true, false, false}, {s}},
        {{true, true, true, true, true}, {n, r, h, hr, a, s, dh, sr}},
    };
    for (const Row& row : rows) {
        QSet<QString> expected = row.listed;
        if (!xattrs_) {
            expected.subtract({a, s, dh, sr});
        }
        EXPECT_EQ(namesOf(listFiles(dir_.path(), QStringLiteral("*.*"), row.flags)), expected);
    }
}

TEST_F(ListingMatrix, EveryCombinationAgreesWithSingleFileAttributesAndOnlyGrows) {
    const auto all = listFiles(dir_.path(), QStringLiteral("*"), {true, true, true, true, true});
    for (int bits = 0; bits < 32; ++bits) {
        const ListFlags flags = flagsFromBits(bits);
        QSet<QString> expected;
        for (const QString& name : all) {
            if (isListed(fileAttributes(dir_.filePath(name)), flags)) {
                expected.insert(name);
            }
        }
        const QSet<QString> listed = namesOf(listFiles(dir_.path(), QStringLiteral("*.*"), flags));
        EXPECT_EQ(listed, expected) << "flags " << bits;
        for (int more = 0; more < 5; ++more) { // turning a flag on never hides a file
            const QSet<QString> wider = namesOf(
                listFiles(dir_.path(), QStringLiteral("*.*"), flagsFromBits(bits | 1 << more)));
            EXPECT_TRUE(wider.contains(listed)) << bits << " +" << more;
        }
    }
}

TEST(FolderListing, LargeFoldersReadEveryFilesDosBits) {
    // Windows marks only a few files in a big folder (Thumbs.db, desktop.ini), and never the
    // first ones in directory order: they must be found wherever they are.
    zelvia::test::ScratchDir dir;
    for (int i = 0; i < 4200; ++i) {
        ASSERT_TRUE(makeFile(dir.path(), "f" + QByteArray::number(i)));
    }
    QStringList inOrder; // as readdir gives them
    for (QDirIterator it(dir.path(), QDir::Files); it.hasNext();) {
        inOrder << it.next();
    }
    const QStringList marked = {inOrder.last(), inOrder[inOrder.size() / 2]};
    if (::setxattr(marked[0].toLocal8Bit().constData(), "user.DOSATTRIB", "0x2", 3, 0) != 0) {
        GTEST_SKIP() << "this file system takes no user extended attributes";
    }
    ASSERT_EQ(::setxattr(marked[1].toLocal8Bit().constData(), "user.DOSATTRIB", "0x4", 3, 0), 0);
    const QSet<QString> listed = namesOf(listFiles(dir.path(), QStringLiteral("*.*"), {}));
    EXPECT_EQ(listed.size(), 4198);
    EXPECT_FALSE(listed.contains(QFileInfo(marked[0]).fileName()));
    EXPECT_FALSE(listed.contains(QFileInfo(marked[1]).fileName()));
}

TEST(FolderListing, SortsMixedAsciiAndOtherNamesLikeNaturalSort) {
    zelvia::test::ScratchDir dir;
    const QList<QByteArray> raw = {"b2",
                                   "B10",
                                   "\xc3\x89"
                                   "a",
                                   "\xc3\xa9"
                                   "b",
                                   "a\xff",
                                   "A1",
                                   "a01",
                                   "\xe5\x86\x99",
                                   "Z",
                                   "_x",
                                   "a"};
    std::vector<QString> names;
    for (const QByteArray& name : raw) {
        ASSERT_TRUE(makeFile(dir.path(), name));
        names.push_back(decodeFileName(name));
    }
    naturalSort(names);
    EXPECT_EQ(listFiles(dir.path(), QStringLiteral("*"), {}), names);
    EXPECT_LT(naturalCompare(QStringLiteral("A1"), QStringLiteral("a01")), 0);
    EXPECT_LT(naturalCompare(QStringLiteral("a01"), QStringLiteral("a1")), 0);
}

TEST(DosAttrib, ParsesTextAndBinaryForms) {
    struct Row {
        QByteArray value;
        std::optional<quint32> bits;
    };
    // NDR: empty hex string, pad, version, level, then the version's structure.
    const QByteArray v5 = QByteArray::fromHex("0000050005000000"
                                              "11000000"
                                              "22000000"
                                              "0000000000000000");
    const QByteArray v4 = QByteArray::fromHex("0000040004000000"
                                              "01000000"
                                              "04000000"
                                              "0000000000000000");
    const QByteArray v3NotValid = QByteArray::fromHex("0000030003000000"
                                                      "00000000"
                                                      "20000000");
    const QByteArray v1 = QByteArray::fromHex("0000010001000000"
                                              "26000000");
    const QByteArray hexThenBlob = QByteArray("0x21\0", 5) + QByteArray::fromHex("03000300");
    const Row rows[] = {
        {"0x20", 0x20u},
        {QByteArray("0x2\0", 4), 0x2u},
        {"0X1F", 0x1Fu},
        {"0x", std::nullopt},
        {v5, 0x22u},
        {v4, 0x04u},
        {v3NotValid, std::nullopt},
        {v1, 0x26u},
        {hexThenBlob, 0x21u},
        {v5.left(11), std::nullopt},
        {QByteArray::fromHex("0000090009000000ffffffffffffffff"), std::nullopt},
        {QByteArray::fromHex("0000050004000000"
                             "01000000"
                             "22000000"),
         std::nullopt},
        {"garbage", std::nullopt},
        {{}, std::nullopt},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(parseDosAttrib(row.value), row.bits) << row.value.toHex().constData();
    }
    // Cut short anywhere, a value is read right or not at all.
    for (qsizetype n = 0; n < v5.size(); ++n) {
        const auto bits = parseDosAttrib(v5.left(n));
        EXPECT_TRUE(!bits || *bits == 0x22u) << n;
    }
}

TEST(FileAttributes, ReportsMissingPathsAndFolders) {
    zelvia::test::ScratchDir dir;
    ASSERT_TRUE(makeFile(dir.path(), "plain"));
    const auto errorOf = [](const QString& path) {
        try {
            (void)fileAttributes(path);
        } catch (const RuntimeError& e) {
            return e.number();
        }
        return 0;
    };
    EXPECT_EQ(errorOf(dir.filePath(QStringLiteral("missing"))), err::FileNotFound);
    EXPECT_EQ(errorOf(dir.filePath(QStringLiteral("plain/below"))), err::FileNotFound);
    EXPECT_EQ(fileAttributes(dir.path()) & attr::Directory, attr::Directory);
    EXPECT_EQ(fileAttributes(QStringLiteral("/")) & attr::Directory, attr::Directory);
    EXPECT_EQ(fileAttributes(dir.filePath(QStringLiteral("plain"))), 0u);
}

TEST(FolderListing, OddNamesAndLinksNeverHang) {
    zelvia::test::ScratchDir dir;
    ASSERT_TRUE(dir.isValid());
    const QByteArray longName(255, 'n');
    const QList<QByteArray> files = {"with space.bmp",  "\xe5\x86\x99\xe7\x9c\x9f.jpg",
                                     "new\nline.gif",   "-rf",
                                     "bad\xff\xfe.bmp", longName};
    for (const QByteArray& name : files) {
        ASSERT_TRUE(makeFile(dir.path(), name)) << name.toHex().constData();
    }
    ASSERT_EQ(::symlink("with space.bmp", join(dir.path(), "link-to-file").constData()), 0);
    ASSERT_EQ(::symlink("nowhere", join(dir.path(), "dangling").constData()), 0);
    ASSERT_EQ(::symlink("loop-b", join(dir.path(), "loop-a").constData()), 0);
    ASSERT_EQ(::symlink("loop-a", join(dir.path(), "loop-b").constData()), 0);
    ASSERT_EQ(::symlink("self", join(dir.path(), "self").constData()), 0);
    ASSERT_EQ(::mkfifo(join(dir.path(), "fifo").constData(), 0644), 0);
    ASSERT_EQ(::mkdir(join(dir.path(), "sub.bmp").constData(), 0755), 0);

    QSet<QByteArray> listed;
    for (const QString& name : listFiles(dir.path(), QStringLiteral("*.*"), {})) {
        listed.insert(encodeFileName(name));
    }
    QSet<QByteArray> expected(files.begin(), files.end());
    expected.insert("link-to-file");
    EXPECT_EQ(listed, expected);
    // A name with invalid bytes reads back through its decoded form.
    EXPECT_EQ(fileAttributes(dir.path() + QLatin1Char('/') + decodeFileName("bad\xff\xfe.bmp")),
              0u);
}

TEST(FolderListing, MissingAndUnreadableFoldersThrow) {
    zelvia::test::ScratchDir dir;
    ASSERT_TRUE(makeFile(dir.path(), "file"));
    const auto errorOf = [](const QString& path) {
        try {
            (void)listFiles(path, QStringLiteral("*.*"), {});
        } catch (const RuntimeError& e) {
            return e.number();
        }
        return 0;
    };
    EXPECT_EQ(errorOf(dir.filePath(QStringLiteral("gone"))), err::FileNotFound);
    EXPECT_EQ(errorOf(dir.filePath(QStringLiteral("file"))), err::PathAccess);
    EXPECT_EQ(errorOf(QString()), err::FileNotFound);
    EXPECT_THROW(listSubfolders(dir.filePath(QStringLiteral("gone"))), RuntimeError);
}

} // namespace

TEST(DosBits, SourceByFileSystemTypeAndWhichBitsDecideTheListing) {
    EXPECT_EQ(dosBitsSourceForType(0x7366746e), DosBitsSource::NtfsXattr); // ntfs3
    EXPECT_EQ(dosBitsSourceForType(0x5346544e), DosBitsSource::NtfsXattr);
    EXPECT_EQ(dosBitsSourceForType(0x65735546), DosBitsSource::NtfsXattr); // FUSE (ntfs-3g)
    EXPECT_EQ(dosBitsSourceForType(0x4d44), DosBitsSource::FatIoctl);
    // statfs may hand the CIFS magic sign-extended.
    EXPECT_EQ(dosBitsSourceForType(0xffffffffff534d42UL), DosBitsSource::CifsXattr);
    EXPECT_EQ(dosBitsSourceForType(0x9660), DosBitsSource::None);
    EXPECT_EQ(dosBitsSourceForType(0xef53), DosBitsSource::SambaXattr); // ext4

    // A file's DOS bits are read only where they can change whether it is listed.
    const ListFlags start{};
    const ListFlags everything{true, true, true, true, true};
    EXPECT_TRUE(dosBitsCanDecide(0, start)) << "a hidden or system bit leaves it out";
    EXPECT_FALSE(dosBitsCanDecide(attr::ReadOnly, start)) << "left out whatever its bits";
    EXPECT_FALSE(dosBitsCanDecide(attr::Hidden, start)) << "a dot name is left out";
    EXPECT_TRUE(dosBitsCanDecide(attr::Hidden, {true, false, false, true, false}));
    EXPECT_TRUE(dosBitsCanDecide(0, {false, true, false, false, false})) << "archive decides";
    EXPECT_FALSE(dosBitsCanDecide(attr::ReadOnly, everything));
}
