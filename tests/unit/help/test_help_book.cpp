// Checks the project's own help book in data/help: every reference in its index files and
// contents page leads to an existing page and anchor.
#include "platform/help/help_index.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <gtest/gtest.h>

using namespace zelvia::rt;

namespace {

const QString bookDir = QStringLiteral(ZELVIA_SOURCE_HELPDIR "/Vistrel");

QString readPage(const QString& page) {
    QFile file(bookDir + u'/' + page);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return QString::fromUtf8(file.readAll());
}

// The anchors a page defines (id="..." or name="...").
QSet<QString> anchorsOf(const QString& html) {
    static const QRegularExpression re(QStringLiteral(R"re((?:id|name)="([^"]+)")re"));
    QSet<QString> anchors;
    for (const auto& m : re.globalMatch(html)) {
        anchors.insert(m.captured(1));
    }
    return anchors;
}

void expectTargetExists(const QString& target, const QString& from) {
    ASSERT_TRUE(isBookTarget(target)) << target.toStdString() << " in " << from.toStdString();
    const QString html = readPage(targetPage(target));
    ASSERT_FALSE(html.isEmpty()) << "missing page " << target.toStdString() << " referenced in "
                                 << from.toStdString();
    const qsizetype hash = target.indexOf(u'#');
    if (hash >= 0) {
        EXPECT_TRUE(anchorsOf(html).contains(target.sliced(hash + 1)))
            << "missing anchor " << target.toStdString() << " referenced in " << from.toStdString();
    }
}

} // namespace

TEST(HelpBook, IndexFilesAreCompleteAndResolve) {
    const HelpIndex index = loadHelpIndex(bookDir);
    ASSERT_GE(index.topics.size(), 8);
    EXPECT_EQ(index.topics.first().page, QStringLiteral("index.html"));
    for (const HelpTopic& topic : index.topics) {
        expectTargetExists(topic.page, QStringLiteral("topics.tsv"));
    }
    ASSERT_GE(index.keywords.size(), 40);
    for (const HelpKeyword& keyword : index.keywords) {
        expectTargetExists(keyword.target, QStringLiteral("keywords.tsv"));
    }
    for (auto it = index.contexts.cbegin(); it != index.contexts.cend(); ++it) {
        expectTargetExists(it.value(), QStringLiteral("contexts.tsv"));
    }
}

TEST(HelpBook, ContextNineIsTheMainWindowOverview) {
    const HelpIndex index = loadHelpIndex(bookDir);
    ASSERT_TRUE(index.contexts.contains(9));
    EXPECT_EQ(targetPage(index.contexts.value(9)), QStringLiteral("overview.html"));
}

TEST(HelpBook, EveryLinkInEveryPageResolves) {
    const QStringList pages = QDir(bookDir).entryList({QStringLiteral("*.html")}, QDir::Files);
    ASSERT_FALSE(pages.isEmpty());
    static const QRegularExpression href(QStringLiteral(R"re(href="([^"]*)")re"));
    QSet<QString> linkedFromContents;
    for (const QString& page : pages) {
        const QString html = readPage(page);
        EXPECT_TRUE(html.contains(QStringLiteral("<title>"))) << page.toStdString();
        EXPECT_TRUE(html.contains(QStringLiteral("charset=\"utf-8\""))) << page.toStdString();
        for (const auto& m : href.globalMatch(html)) {
            QString target = m.captured(1);
            if (target.startsWith(u'#')) {
                target.prepend(page);
            }
            expectTargetExists(target, page);
            if (page == QStringLiteral("index.html")) {
                linkedFromContents.insert(targetPage(target));
            }
        }
    }
    // The contents page reaches every page of the book.
    for (const QString& page : pages) {
        if (page != QStringLiteral("index.html")) {
            EXPECT_TRUE(linkedFromContents.contains(page)) << page.toStdString();
        }
    }
}

TEST(HelpBook, QuotesEveryMessageOfTheProgramVerbatim) {
    const QString messages = readPage(QStringLiteral("messages.html"));
    const char* const texts[] = {
        "ディスクの準備をしてください。",
        "ディスクエラー",
        "ピクチャが大きすぎて、表示できません。",
        "ファイルを指定していません。",
        "ピクチャファイルを指定してください。",
        "印刷エラー",
        "プリンタエラーです。原因を解決してください。",
        "プリンタエラー",
        "指定したファイルは、コピーできない形式です。",
        "クリップボードエラー",
        "エラー",
        "Zelvia Ver.1.52.0281",
        "バージョン情報",
        "横(ﾋﾟｸｾﾙ)：表示出来ません",
        "縦(ﾋﾟｸｾﾙ)：表示出来ません",
    };
    for (const char* text : texts) {
        EXPECT_TRUE(messages.contains(QString::fromUtf8(text))) << text;
    }
}
