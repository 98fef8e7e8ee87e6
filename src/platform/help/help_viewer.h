#pragma once

#include "core/basic_types.h"
#include "platform/help/help_index.h"

#include <QString>
#include <QUrl>
#include <QWidget>

class QLineEdit;
class QListWidget;
class QTabWidget;
class QTextBrowser;
class QToolButton;

namespace zelvia::rt {

class BookBrowser;

// The program's help viewer: a top-level window with a 目次 (contents) tab, a 検索 (keyword)
// tab and the page itself. It is not modal; the program goes on while it is open.
class HelpViewer : public QWidget {
    Q_OBJECT

public:
    explicit HelpViewer(QWidget* owner = nullptr);

    // Locates the book for `helpFileName` (help_locator.h) and loads its index. When there is
    // none, the page area says so and the tabs are disabled.
    void openBook(const QString& helpFileName);

    // The contents topic (index.html) with the 目次 tab in front.
    void showContents();
    // The 検索 tab with the keyword field focused and `prefix` typed into it.
    void showSearch(const QString& prefix = {});
    // The page mapped to `context`; the contents topic for an unknown number.
    void showContext(quint32 context);
    // Opens "page.html#anchor" of the book; refuses anything outside it.
    bool openTarget(const QString& target);

    [[nodiscard]] bool hasBook() const { return !bookDir_.isEmpty(); }
    [[nodiscard]] QString helpFileName() const { return helpFileName_; }
    [[nodiscard]] QString bookFolder() const { return bookDir_; }
    [[nodiscard]] const HelpIndex& index() const { return index_; }
    // The page shown, as "page.html" or "page.html#anchor"; empty when none is.
    [[nodiscard]] QString currentTarget() const;

    [[nodiscard]] QTabWidget* tabs() const { return tabs_; }
    [[nodiscard]] QListWidget* topicList() const { return topics_; }
    [[nodiscard]] QLineEdit* searchField() const { return searchField_; }
    [[nodiscard]] QListWidget* keywordList() const { return keywords_; }
    [[nodiscard]] QTextBrowser* browser() const;

    static constexpr int ContentsTab = 0;
    static constexpr int SearchTab = 1;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void fillTopics();
    void highlightTopicOf(const QUrl& source);
    void filterKeywords(const QString& prefix);
    void openCurrentKeyword();
    void showMissingBook();

    QString helpFileName_;
    QString bookDir_;
    HelpIndex index_;
    QTabWidget* tabs_ = nullptr;
    QListWidget* topics_ = nullptr;
    QLineEdit* searchField_ = nullptr;
    QListWidget* keywords_ = nullptr;
    BookBrowser* browser_ = nullptr;
    QToolButton* back_ = nullptr;
    QToolButton* forward_ = nullptr;
};

// Opens or raises the one help viewer of the program, owned by `owner` (it closes with it),
// and shows `helpFileName`'s book for `command` (the numbers of core/basic_types.h):
//   help::Contents    the contents topic
//   help::PartialKey  the keyword search (`data` 0: no keyword typed)
//   help::Context     the topic mapped to context number `data`
//   help::Quit        closes the viewer
// Other commands show the contents. Returns at once; never shows a message box.
void showHelp(QWidget* owner, const QString& helpFileName, int command, quint32 data);

// The open help viewer, or nullptr.
HelpViewer* helpViewerInstance();

} // namespace zelvia::rt
