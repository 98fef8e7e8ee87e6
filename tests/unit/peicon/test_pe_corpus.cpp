#include "formats/peicon/pe_icon.h"
#include "support/corpus.h"

#include <QFile>
#include <QRegularExpression>
#include <algorithm>
#include <gtest/gtest.h>
#include <iostream>

namespace zelvia::test {
namespace {

// The images of the first icon group in the notes: "RT_GROUP_ICON 107:[32x32@4(id1) ...]
// 108:[...]". Numbered groups are listed in ascending order, which is directory order.
std::vector<QSize> firstGroupSizes(const QString& notes, bool* allListedAsZero) {
    std::vector<QSize> sizes;
    const QRegularExpression group(QStringLiteral("RT_GROUP_ICON \\d+:\\[([^\\]]*)\\]"));
    const auto m = group.match(notes);
    *allListedAsZero = true;
    if (!m.hasMatch()) {
        return sizes;
    }
    const QRegularExpression image(QStringLiteral("(\\d+)x(\\d+)@(\\d+)"));
    auto it = image.globalMatch(m.captured(1));
    while (it.hasNext()) {
        const auto im = it.next();
        sizes.emplace_back(im.captured(1).toInt(), im.captured(2).toInt());
        // An entry of zeros reads as 256x256 at 0 bits: its real size is only in the image.
        *allListedAsZero = *allListedAsZero && im.captured(3) == QLatin1String("0");
    }
    return sizes;
}

TEST(PeCorpus, IconsOfEveryFile) {
    ZELVIA_REQUIRE_CORPUS(dir);
    const auto entries = corpusEntries(QStringLiteral("pe/"));
    ASSERT_FALSE(entries.empty());
    int withIcons = 0;
    for (const CorpusEntry& e : entries) {
        SCOPED_TRACE(e.relPath.toStdString());
        const QImage icon = rt::extractLargeIconFromFile(e.path);
        std::cout << "[ pe icon  ] " << e.relPath.toStdString() << ": "
                  << (icon.isNull()
                          ? std::string("no icon")
                          : std::to_string(icon.width()) + "x" + std::to_string(icon.height()))
                  << "\n";
        if (e.expect == QLatin1String("unknown")) {
            continue; // damaged on purpose: only must not crash
        }
        bool zeroListed = false;
        const std::vector<QSize> listed = firstGroupSizes(e.notes, &zeroListed);
        if (listed.empty()) {
            EXPECT_TRUE(icon.isNull());
            continue;
        }
        ++withIcons;
        ASSERT_FALSE(icon.isNull());
        if (!zeroListed && std::find(listed.begin(), listed.end(), QSize(32, 32)) != listed.end()) {
            EXPECT_EQ(icon.size(), QSize(32, 32));
        }
        // Reading on demand and reading from memory agree.
        QFile whole(e.path);
        ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
        EXPECT_EQ(icon, rt::extractLargeIcon(whole.readAll()));
    }
    EXPECT_GT(withIcons, 0);
}

} // namespace
} // namespace zelvia::test
