#include "platform/help/help_index.h"
#include "platform/help/keyword_search.h"

#include <QStringList>
#include <gtest/gtest.h>

using namespace zelvia::rt;

namespace {

QStringList keywordTexts(const QList<HelpKeyword>& keywords) {
    QStringList texts;
    for (const HelpKeyword& k : keywords) {
        texts << k.keyword;
    }
    return texts;
}

} // namespace

TEST(HelpIndex, BookTargets) {
    struct Case {
        const char* target;
        bool ok;
    };
    const Case cases[] = {
        {"index.html", true},
        {"menu-file.html#print", true},
        {"Overview.HTML", true},
        {"a_b.html#x-1", true},
        {"../etc/passwd.html", false},
        {"sub/page.html", false},
        {"/abs/page.html", false},
        {"file:///x.html", false},
        {"http://x/a.html", false},
        {".hidden.html", false},
        {"page.htm", false},
        {"page.html#", false},
        {"page.html#a b", false},
        {"page.html#a#b", false},
        {"", false},
        {"page.html\\x.html", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(isBookTarget(QString::fromUtf8(c.target)), c.ok) << c.target;
    }
    EXPECT_FALSE(isBookTarget(QString(300, u'a') + QStringLiteral(".html")));
}

TEST(HelpIndex, ParsesTopicsInOrderAndSkipsBadLines) {
    const QByteArray tsv = "\xEF\xBB\xBF# contents\r\n"
                           "index.html\t目次\r\n"
                           "\n"
                           "no tab here\n"
                           "overview.html\t  メイン ウィンドウ  \n"
                           "../outside.html\t外\n"
                           "empty.html\t\n"
                           "last.html\t最後"; // no line end at the end of the file
    const QList<HelpTopic> topics = parseTopics(tsv);
    ASSERT_EQ(topics.size(), 3);
    EXPECT_EQ(topics[0].page, QStringLiteral("index.html"));
    EXPECT_EQ(topics[0].title, QStringLiteral("目次"));
    EXPECT_EQ(topics[1].title, QStringLiteral("メイン ウィンドウ"));
    EXPECT_EQ(topics[2].page, QStringLiteral("last.html"));
}

TEST(HelpIndex, KeywordsAreSortedCaseInsensitivelyAndKeepDuplicates) {
    const QByteArray tsv = "zoom\tz.html\n"
                           "Apple\ta.html#one\n"
                           "apple\tb.html\n"
                           "印刷\tprint.html#p\n"
                           "Banana\tbad target\n";
    const QList<HelpKeyword> keywords = parseKeywords(tsv);
    EXPECT_EQ(keywordTexts(keywords), (QStringList{"Apple", "apple", "zoom", "印刷"}));
    EXPECT_EQ(keywords[0].target, QStringLiteral("a.html#one"));
}

TEST(HelpIndex, ContextsTakeDecimalNumbersAndTheFirstMapping) {
    const QByteArray tsv = "9\toverview.html\n"
                           "9\tother.html\n"
                           "0x10\thex.html\n"
                           "-1\tneg.html\n"
                           "4294967295\tmax.html#top\n"
                           "4294967296\ttoo-big.html\n"
                           "12\t../escape.html\n";
    const QHash<quint32, QString> contexts = parseContexts(tsv);
    EXPECT_EQ(contexts.size(), 2);
    EXPECT_EQ(contexts.value(9), QStringLiteral("overview.html"));
    EXPECT_EQ(contexts.value(4294967295u), QStringLiteral("max.html#top"));
}

TEST(HelpIndex, HostileInputStaysBounded) {
    QByteArray many;
    for (int i = 0; i < MaxIndexEntries + 500; ++i) {
        many += "k" + QByteArray::number(i) + "\tp.html\n";
    }
    EXPECT_EQ(parseKeywords(many).size(), MaxIndexEntries);
    // Binary junk and invalid UTF-8 give no entries and no crash.
    QByteArray junk;
    for (int i = 0; i < 4096; ++i) {
        junk += static_cast<char>((i * 7919) & 0xFF);
    }
    EXPECT_TRUE(parseContexts(junk).isEmpty());
    EXPECT_TRUE(parseTopics(QByteArray("\xFF\xFE\t\x80.html\n")).isEmpty());
}

TEST(KeywordSearch, MatchesTheStartIgnoringCase) {
    const QList<HelpKeyword> keywords = parseKeywords("Zelviaの終了\tend.html\n"
                                                      "zoom\tz.html\n"
                                                      "印刷\tprint.html\n"
                                                      "印刷エラー\tmessages.html#print\n"
                                                      "ｺﾏﾝﾄﾞﾗｲﾝ\tpanel.html\n"
                                                      "ＡＢＣ\tfull.html\n"
                                                      "クリップボード\tcopy.html\n");
    struct Case {
        const char* prefix;
        QStringList expected;
    };
    const Case cases[] = {
        {"zel", {"Zelviaの終了"}},
        {"Z", {"Zelviaの終了", "zoom"}},
        {"  ZOOM ", {"zoom"}},
        {"印刷", {"印刷", "印刷エラー"}},
        {"印刷エ", {"印刷エラー"}},
        {"ｺﾏ", {"ｺﾏﾝﾄﾞﾗｲﾝ"}},
        {"ａｂ", {"ＡＢＣ"}},
        {"リップ", {}}, // inside a word, not at its start
        {"zoomer", {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(keywordTexts(keywordsStartingWith(keywords, QString::fromUtf8(c.prefix))),
                  c.expected)
            << c.prefix;
    }
    EXPECT_EQ(keywordsStartingWith(keywords, {}).size(), keywords.size());
}
