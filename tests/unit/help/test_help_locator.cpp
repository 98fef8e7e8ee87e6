#include "platform/help/help_locator.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace zelvia::rt;

namespace {

void makeBook(const QString& folder, const QString& stem, bool withIndex = true) {
    ASSERT_TRUE(QDir().mkpath(folder + u'/' + stem));
    if (withIndex) {
        QFile index(folder + u'/' + stem + QStringLiteral("/index.html"));
        ASSERT_TRUE(index.open(QIODevice::WriteOnly));
        index.write("<html><body>contents</body></html>");
    }
}

} // namespace

TEST(HelpLocator, BookFolderNameDropsTheLegacyExtension) {
    struct Case {
        const char* name;
        const char* folder;
    };
    const Case cases[] = {
        {"Vistrel.hlp", "Vistrel"},
        {"VISTREL.HLP", "VISTREL"},
        {"Vistrel", "Vistrel"},
        {"a.b.hlp", "a.b"},
        {"/opt/x/Book.Hlp", "Book"},
        {".hlp", ""},
        {"", ""},
        {"..", ""},
        {"../.hlp", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(bookFolderName(QString::fromUtf8(c.name)), QString::fromUtf8(c.folder)) << c.name;
    }
}

TEST(HelpLocator, FirstFolderHoldingTheBookWins) {
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    const QString first = tmp.filePath(QStringLiteral("first"));
    const QString second = tmp.filePath(QStringLiteral("second"));
    const QString third = tmp.filePath(QStringLiteral("third"));
    const QStringList folders{first, second, third};

    EXPECT_TRUE(findHelpBookIn(folders, QStringLiteral("Vistrel.hlp")).isEmpty());

    makeBook(third, QStringLiteral("Vistrel"));
    EXPECT_EQ(findHelpBookIn(folders, QStringLiteral("Vistrel.hlp")), third + "/Vistrel");

    // A folder of the right name without index.html is no book.
    makeBook(first, QStringLiteral("Vistrel"), false);
    EXPECT_EQ(findHelpBookIn(folders, QStringLiteral("Vistrel.hlp")), third + "/Vistrel");

    makeBook(second, QStringLiteral("Vistrel"));
    EXPECT_EQ(findHelpBookIn(folders, QStringLiteral("Vistrel.hlp")), second + "/Vistrel");
    EXPECT_EQ(findHelpBookIn(folders, QStringLiteral("Vistrel")), second + "/Vistrel");

    // The name is the folder's name exactly; another book is not found instead.
    EXPECT_TRUE(findHelpBookIn(folders, QStringLiteral("Other.hlp")).isEmpty());
    EXPECT_TRUE(findHelpBookIn(folders, QString()).isEmpty());
}

TEST(HelpLocator, NameWithAFolderIsLookedUpThereOnly) {
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    makeBook(tmp.path(), QStringLiteral("Own"));
    EXPECT_EQ(findHelpBook(tmp.filePath(QStringLiteral("Own.hlp"))), tmp.path() + "/Own");
    EXPECT_TRUE(findHelpBook(tmp.filePath(QStringLiteral("Vistrel.hlp"))).isEmpty());
}

TEST(HelpLocator, SearchOrderIsProgramFolderInstalledDataThenAddedFolders) {
    addHelpSearchFolder(QStringLiteral(ZELVIA_SOURCE_HELPDIR));
    QStringList folders = helpSearchFolders();
    const QString appDir = QCoreApplication::applicationDirPath();
    ASSERT_GE(folders.size(), 3);
    EXPECT_EQ(folders[0], QDir::cleanPath(appDir));
    EXPECT_EQ(folders[1], QDir::cleanPath(appDir + QStringLiteral("/../share/zelvia/help")));
    EXPECT_EQ(folders.last(), QDir::cleanPath(QStringLiteral(ZELVIA_SOURCE_HELPDIR)));
    EXPECT_EQ(folders.removeDuplicates(), 0);
}
