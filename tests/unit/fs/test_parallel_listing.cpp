#include "platform/fs/folder_listing.h"
#include "platform/fs/stat_entries.h"
#include "temp_tree.h"

#include <QSet>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace zelvia::rt;
using zelvia::test::join;
using zelvia::test::makeFile;

namespace {

struct Listing {
    std::vector<QString> files;
    std::vector<QString> subfolders;
    bool operator==(const Listing&) const = default;
};

Listing listWith(unsigned threads, const QString& folder) {
    setListingThreads(threads);
    FolderContents contents = listFolder(folder, QStringLiteral("*.*"), {});
    setListingThreads(0);
    return {std::move(contents.files), std::move(contents.subfolders)};
}

} // namespace

// A folder large enough to be examined by several threads, with every kind of entry.
TEST(ParallelListing, ManyThreadsListExactlyWhatOneThreadLists) {
    zelvia::test::ScratchDir dir;
    ASSERT_TRUE(dir.isValid());
    constexpr int count = 6000;
    QSet<QString> expectedFiles;
    QSet<QString> expectedFolders;
    for (int i = 0; i < count; ++i) {
        const QByteArray n = QByteArray::number(i);
        switch (i % 6) {
        case 0:
            ASSERT_TRUE(makeFile(dir.path(), "\xe5\x86\x99\xe7\x9c\x9f_" + n + ".jpg"));
            expectedFiles.insert(QString::fromUtf8("写真_" + n + ".jpg"));
            break;
        case 1:
            ASSERT_TRUE(makeFile(dir.path(), "IMG_" + n + ".JPG"));
            expectedFiles.insert(QString::fromLatin1("IMG_" + n + ".JPG"));
            break;
        case 2: // dangling: left out
            ASSERT_EQ(::symlink("nowhere", join(dir.path(), "gone_" + n).constData()), 0);
            break;
        case 3:
            ASSERT_EQ(::symlink(("IMG_" + QByteArray::number(i - 2) + ".JPG").constData(),
                                join(dir.path(), "link_" + n).constData()),
                      0);
            expectedFiles.insert(QString::fromLatin1("link_" + n));
            break;
        case 4:
            ASSERT_EQ(::mkdir(join(dir.path(), "dir_" + n).constData(), 0755), 0);
            expectedFolders.insert(QString::fromLatin1("dir_" + n));
            break;
        default: // a link to a folder is a folder
            ASSERT_EQ(::symlink(("dir_" + QByteArray::number(i - 1)).constData(),
                                join(dir.path(), "to_dir_" + n).constData()),
                      0);
            expectedFolders.insert(QString::fromLatin1("to_dir_" + n));
            break;
        }
    }
    const Listing one = listWith(1, dir.path());
    EXPECT_EQ(QSet<QString>(one.files.begin(), one.files.end()), expectedFiles);
    EXPECT_EQ(one.files.size(), static_cast<std::size_t>(expectedFiles.size()));
    EXPECT_EQ(QSet<QString>(one.subfolders.begin(), one.subfolders.end()), expectedFolders);
    for (const unsigned threads : {2U, 3U, 4U}) {
        EXPECT_TRUE(listWith(threads, dir.path()) == one) << threads << " threads";
    }
}
