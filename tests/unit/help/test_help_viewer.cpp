#include "platform/help/book_browser.h"
#include "platform/help/help_locator.h"
#include "platform/help/help_viewer.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTextDocument>
#include <gtest/gtest.h>
#include <memory>

using namespace zelvia::rt;

namespace {

const QString helpFile = QStringLiteral("Vistrel.hlp");

void flushDeletes() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void pressKey(QWidget* widget, int key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &press);
}

class HelpViewerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { addHelpSearchFolder(QStringLiteral(ZELVIA_SOURCE_HELPDIR)); }
    void TearDown() override {
        showHelp(nullptr, helpFile, help::Quit, 0);
        flushDeletes();
    }
};

} // namespace

TEST_F(HelpViewerTest, ContentsOpensTheContentsTopic) {
    showHelp(nullptr, helpFile, help::Contents, 0);
    HelpViewer* viewer = helpViewerInstance();
    ASSERT_NE(viewer, nullptr);
    ASSERT_TRUE(viewer->hasBook());
    EXPECT_TRUE(viewer->isVisible());
    EXPECT_FALSE(viewer->isModal());
    EXPECT_EQ(viewer->tabs()->currentIndex(), HelpViewer::ContentsTab);
    EXPECT_EQ(viewer->currentTarget(), QStringLiteral("index.html"));
    EXPECT_TRUE(viewer->browser()->toPlainText().contains(QStringLiteral("目次")));
    EXPECT_EQ(viewer->topicList()->count(), viewer->index().topics.size());

    // Choosing a topic in the list opens its page.
    QListWidgetItem* second = viewer->topicList()->item(1);
    ASSERT_NE(second, nullptr);
    emit viewer->topicList()->itemActivated(second);
    EXPECT_EQ(viewer->currentTarget(), viewer->index().topics[1].page);
}

TEST_F(HelpViewerTest, SearchOpensTheKeywordTabAndFindsByPrefix) {
    showHelp(nullptr, helpFile, help::PartialKey, 0);
    HelpViewer* viewer = helpViewerInstance();
    ASSERT_NE(viewer, nullptr);
    EXPECT_EQ(viewer->tabs()->currentIndex(), HelpViewer::SearchTab);
    EXPECT_TRUE(viewer->searchField()->text().isEmpty());
    EXPECT_EQ(viewer->keywordList()->count(), viewer->index().keywords.size());

    viewer->searchField()->setText(QStringLiteral("印刷"));
    ASSERT_GE(viewer->keywordList()->count(), 1);
    for (int i = 0; i < viewer->keywordList()->count(); ++i) {
        EXPECT_TRUE(viewer->keywordList()->item(i)->text().startsWith(QStringLiteral("印刷")));
    }
    pressKey(viewer->searchField(), Qt::Key_Return);
    EXPECT_TRUE(viewer->currentTarget().startsWith(QStringLiteral("file-menu.html")))
        << viewer->currentTarget().toStdString();

    // Lower case finds the keyword written with capitals; Down moves to the next match.
    viewer->searchField()->setText(QStringLiteral("f"));
    ASSERT_GE(viewer->keywordList()->count(), 2);
    pressKey(viewer->searchField(), Qt::Key_Down);
    EXPECT_EQ(viewer->keywordList()->currentRow(), 1);
    const QString expected = viewer->keywordList()->item(1)->data(Qt::UserRole).toString();
    pressKey(viewer->searchField(), Qt::Key_Return);
    EXPECT_EQ(viewer->currentTarget(), expected);

    viewer->searchField()->setText(QStringLiteral("存在しない語句"));
    EXPECT_EQ(viewer->keywordList()->count(), 0);
}

TEST_F(HelpViewerTest, ContextNineOpensTheOverviewAndUnknownContextsTheContents) {
    showHelp(nullptr, helpFile, help::Context, 9);
    HelpViewer* viewer = helpViewerInstance();
    ASSERT_NE(viewer, nullptr);
    EXPECT_EQ(viewer->currentTarget(), QStringLiteral("overview.html"));
    EXPECT_EQ(viewer->tabs()->currentIndex(), HelpViewer::ContentsTab);
    ASSERT_NE(viewer->topicList()->currentItem(), nullptr);
    EXPECT_EQ(viewer->topicList()->currentItem()->data(Qt::UserRole).toString(),
              QStringLiteral("overview.html"));

    showHelp(nullptr, helpFile, help::Context, 123456);
    EXPECT_EQ(viewer->currentTarget(), QStringLiteral("index.html"));
}

TEST_F(HelpViewerTest, OneViewerIsReusedAndQuitClosesIt) {
    showHelp(nullptr, helpFile, help::Contents, 0);
    QPointer<HelpViewer> first = helpViewerInstance();
    showHelp(nullptr, helpFile, help::PartialKey, 0);
    showHelp(nullptr, helpFile, help::Context, 9);
    EXPECT_EQ(helpViewerInstance(), first.data());
    int viewers = 0;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        viewers += qobject_cast<HelpViewer*>(w) != nullptr ? 1 : 0;
    }
    EXPECT_EQ(viewers, 1);

    showHelp(nullptr, helpFile, help::Quit, 0);
    flushDeletes();
    EXPECT_TRUE(first.isNull());
    EXPECT_EQ(helpViewerInstance(), nullptr);
}

TEST_F(HelpViewerTest, ViewerBelongsToItsOwnerWindow) {
    auto owner = std::make_unique<QWidget>();
    showHelp(owner.get(), helpFile, help::Contents, 0);
    QPointer<HelpViewer> viewer = helpViewerInstance();
    ASSERT_FALSE(viewer.isNull());
    EXPECT_TRUE(viewer->isWindow());
    EXPECT_EQ(viewer->parentWidget(), owner.get());
    EXPECT_FALSE(viewer->testAttribute(Qt::WA_QuitOnClose));
    owner.reset();
    EXPECT_TRUE(viewer.isNull());
}

TEST_F(HelpViewerTest, MissingBookIsReportedInTheViewerItself) {
    showHelp(nullptr, QStringLiteral("Nowhere.hlp"), help::Contents, 0);
    HelpViewer* viewer = helpViewerInstance();
    ASSERT_NE(viewer, nullptr);
    EXPECT_FALSE(viewer->hasBook());
    EXPECT_TRUE(viewer->isVisible());
    EXPECT_TRUE(viewer->browser()->toPlainText().contains(
        QStringLiteral("ヘルプファイル Nowhere.hlp が見つかりません。")));
    EXPECT_FALSE(viewer->tabs()->isEnabled());
    EXPECT_EQ(viewer->keywordList()->count(), 0);
    for (QWidget* w : QApplication::topLevelWidgets()) {
        EXPECT_FALSE(w->isModal() && w->isVisible()) << "no dialog may appear";
    }

    // Every command keeps the message; asking for the real book again finds it.
    showHelp(nullptr, QStringLiteral("Nowhere.hlp"), help::Context, 9);
    EXPECT_TRUE(viewer->currentTarget().isEmpty());
    showHelp(nullptr, helpFile, help::Context, 9);
    EXPECT_EQ(helpViewerInstance(), viewer);
    EXPECT_EQ(viewer->currentTarget(), QStringLiteral("overview.html"));
}

TEST_F(HelpViewerTest, NothingOutsideTheBookIsOpened) {
    showHelp(nullptr, helpFile, help::Contents, 0);
    HelpViewer* viewer = helpViewerInstance();
    ASSERT_NE(viewer, nullptr);
    EXPECT_FALSE(viewer->openTarget(QStringLiteral("../../CMakeLists.html")));
    EXPECT_FALSE(viewer->openTarget(QStringLiteral("/etc/passwd")));
    EXPECT_EQ(viewer->currentTarget(), QStringLiteral("index.html"));

    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    const QString outside = tmp.filePath(QStringLiteral("outside.html"));
    QFile file(outside);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("<p>secret</p>");
    file.close();
    auto* browser = static_cast<BookBrowser*>(viewer->browser());
    EXPECT_TRUE(
        browser->loadResource(QTextDocument::HtmlResource, QUrl::fromLocalFile(outside)).isNull());
    EXPECT_FALSE(browser
                     ->loadResource(QTextDocument::HtmlResource,
                                    QUrl::fromLocalFile(viewer->bookFolder() + "/index.html"))
                     .isNull());
    // A link to another scheme or folder leaves the page as it is.
    emit browser->anchorClicked(QUrl(QStringLiteral("https://example.org/x.html")));
    emit browser->anchorClicked(QUrl::fromLocalFile(outside));
    EXPECT_EQ(viewer->currentTarget(), QStringLiteral("index.html"));
}
