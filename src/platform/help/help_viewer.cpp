#include "platform/help/help_viewer.h"

#include "platform/help/book_browser.h"
#include "platform/help/help_locator.h"
#include "platform/help/keyword_search.h"

#include <QBoxLayout>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QShortcut>
#include <QSplitter>
#include <QTabWidget>
#include <QToolButton>
#include <QUrl>

namespace zelvia::rt {

namespace {

constexpr int TargetRole = Qt::UserRole;

QToolButton* makeButton(const QString& text, const QString& accessibleName, QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setText(text);
    button->setAccessibleName(accessibleName);
    button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    return button;
}

} // namespace

HelpViewer::HelpViewer(QWidget* owner) : QWidget(owner, Qt::Window) {
    setWindowTitle(QStringLiteral("Zelvia ヘルプ"));
    setAccessibleName(QStringLiteral("Zelvia ヘルプ"));
    // Help never keeps the program alive once its main window has closed.
    setAttribute(Qt::WA_QuitOnClose, false);

    auto* contentsPage = new QWidget;
    topics_ = new QListWidget(contentsPage);
    topics_->setAccessibleName(QStringLiteral("目次の項目"));
    auto* contentsLayout = new QVBoxLayout(contentsPage);
    contentsLayout->addWidget(topics_);

    auto* searchPage = new QWidget;
    auto* prompt =
        new QLabel(QStringLiteral("調べる語句の最初の数文字を入力してください(&W):"), searchPage);
    prompt->setWordWrap(true);
    searchField_ = new QLineEdit(searchPage);
    searchField_->setAccessibleName(QStringLiteral("キーワード"));
    searchField_->setClearButtonEnabled(true);
    prompt->setBuddy(searchField_);
    keywords_ = new QListWidget(searchPage);
    keywords_->setAccessibleName(QStringLiteral("キーワードの一覧"));
    auto* searchLayout = new QVBoxLayout(searchPage);
    searchLayout->addWidget(prompt);
    searchLayout->addWidget(searchField_);
    searchLayout->addWidget(keywords_);

    tabs_ = new QTabWidget;
    tabs_->setAccessibleName(QStringLiteral("目次と検索"));
    tabs_->addTab(contentsPage, QStringLiteral("目次(&C)"));
    tabs_->addTab(searchPage, QStringLiteral("検索(&S)"));

    browser_ = new BookBrowser;
    browser_->setAccessibleName(QStringLiteral("ヘルプの本文"));

    back_ = makeButton(QStringLiteral("戻る(&B)"), QStringLiteral("前のページに戻る"), this);
    forward_ = makeButton(QStringLiteral("進む(&F)"), QStringLiteral("次のページに進む"), this);
    auto* home = makeButton(QStringLiteral("目次を表示(&T)"), QStringLiteral("目次を表示"), this);
    back_->setEnabled(false);
    forward_->setEnabled(false);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(home);
    buttons->addWidget(back_);
    buttons->addWidget(forward_);
    buttons->addStretch();

    auto* splitter = new QSplitter(Qt::Horizontal);
    splitter->addWidget(tabs_);
    splitter->addWidget(browser_);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({240, 520});

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(splitter, 1);
    resize(780, 540);

    connect(home, &QToolButton::clicked, this, &HelpViewer::showContents);
    connect(back_, &QToolButton::clicked, browser_, &QTextBrowser::backward);
    connect(forward_, &QToolButton::clicked, browser_, &QTextBrowser::forward);
    connect(browser_, &QTextBrowser::backwardAvailable, back_, &QWidget::setEnabled);
    connect(browser_, &QTextBrowser::forwardAvailable, forward_, &QWidget::setEnabled);
    connect(topics_, &QListWidget::itemActivated, this,
            [this](QListWidgetItem* item) { openTarget(item->data(TargetRole).toString()); });
    // The contents entry of whatever page is shown stays highlighted, however it was opened.
    connect(browser_, &QTextBrowser::sourceChanged, this, &HelpViewer::highlightTopicOf);
    connect(searchField_, &QLineEdit::textChanged, this, &HelpViewer::filterKeywords);
    connect(searchField_, &QLineEdit::returnPressed, this, &HelpViewer::openCurrentKeyword);
    connect(keywords_, &QListWidget::itemActivated, this, &HelpViewer::openCurrentKeyword);
    searchField_->installEventFilter(this);

    auto* close = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(close, &QShortcut::activated, this, &QWidget::close);
}

QTextBrowser* HelpViewer::browser() const {
    return browser_;
}

void HelpViewer::openBook(const QString& helpFileName) {
    helpFileName_ = helpFileName;
    bookDir_ = findHelpBook(helpFileName);
    index_ = bookDir_.isEmpty() ? HelpIndex{} : loadHelpIndex(bookDir_);
    browser_->setBookFolder(bookDir_);
    browser_->clearHistory();
    fillTopics();
    searchField_->clear();
    filterKeywords({});
    tabs_->setEnabled(hasBook());
    setWindowTitle(hasBook() ? QStringLiteral("Zelvia ヘルプ")
                             : QStringLiteral("Zelvia ヘルプ (ヘルプファイルがありません)"));
    if (!hasBook()) {
        showMissingBook();
    }
}

void HelpViewer::showMissingBook() {
    const QString message =
        QStringLiteral("ヘルプファイル %1 が見つかりません。").arg(helpFileName_.toHtmlEscaped());
    QString html =
        QStringLiteral("<p><b>%1</b></p><p>次のフォルダを探しました。</p><ul>").arg(message);
    for (const QString& folder : helpSearchFolders()) {
        html += QStringLiteral("<li>%1</li>").arg(folder.toHtmlEscaped());
    }
    html += QStringLiteral("</ul>");
    browser_->setSource(QUrl());
    browser_->setHtml(html);
}

void HelpViewer::fillTopics() {
    topics_->clear();
    for (const HelpTopic& topic : index_.topics) {
        auto* item = new QListWidgetItem(topic.title, topics_);
        item->setData(TargetRole, topic.page);
    }
    if (topics_->count() > 0) {
        topics_->setCurrentRow(0);
    }
}

void HelpViewer::highlightTopicOf(const QUrl& source) {
    const QString page = source.fileName();
    for (int row = 0; row < topics_->count(); ++row) {
        const QString target = topics_->item(row)->data(TargetRole).toString();
        if (target.section(u'#', 0, 0) == page) {
            topics_->setCurrentRow(row);
            return;
        }
    }
}

void HelpViewer::filterKeywords(const QString& prefix) {
    keywords_->clear();
    const QList<HelpKeyword> matches = keywordsStartingWith(index_.keywords, prefix);
    for (qsizetype i = 0; i < matches.size(); ++i) {
        const HelpKeyword& entry = matches[i];
        // A keyword that leads to several pages names the page, so that the entries differ.
        const bool repeated = (i > 0 && matches[i - 1].keyword == entry.keyword) ||
                              (i + 1 < matches.size() && matches[i + 1].keyword == entry.keyword);
        QString text = entry.keyword;
        if (repeated) {
            const QString page = targetPage(entry.target);
            for (const HelpTopic& topic : index_.topics) {
                if (topic.page == page) {
                    text += QStringLiteral("（%1）").arg(topic.title);
                    break;
                }
            }
        }
        auto* item = new QListWidgetItem(text, keywords_);
        item->setData(TargetRole, entry.target);
    }
    if (keywords_->count() > 0) {
        keywords_->setCurrentRow(0);
    }
}

void HelpViewer::openCurrentKeyword() {
    if (const QListWidgetItem* item = keywords_->currentItem()) {
        openTarget(item->data(TargetRole).toString());
    }
}

bool HelpViewer::eventFilter(QObject* watched, QEvent* event) {
    // Up and down in the keyword field move through the list, as in a completer.
    if (watched == searchField_ && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Down || key == Qt::Key_Up || key == Qt::Key_PageDown ||
            key == Qt::Key_PageUp) {
            QKeyEvent copy(QEvent::KeyPress, key, Qt::NoModifier);
            QCoreApplication::sendEvent(keywords_, &copy);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

bool HelpViewer::openTarget(const QString& target) {
    if (!hasBook() || !isBookTarget(target)) {
        return false;
    }
    QUrl url = QUrl::fromLocalFile(bookDir_ + u'/' + targetPage(target));
    const qsizetype hash = target.indexOf(u'#');
    if (hash >= 0) {
        url.setFragment(target.sliced(hash + 1));
    }
    browser_->setSource(url);
    return true;
}

QString HelpViewer::currentTarget() const {
    const QUrl source = browser_->source();
    if (source.isEmpty()) {
        return {};
    }
    const QString page = source.fileName();
    return source.hasFragment() ? page + u'#' + source.fragment() : page;
}

void HelpViewer::showContents() {
    if (!hasBook()) {
        return;
    }
    tabs_->setCurrentIndex(ContentsTab);
    openTarget(QStringLiteral("index.html"));
    topics_->setFocus();
}

void HelpViewer::showSearch(const QString& prefix) {
    if (!hasBook()) {
        return;
    }
    tabs_->setCurrentIndex(SearchTab);
    searchField_->setText(prefix);
    filterKeywords(prefix);
    if (currentTarget().isEmpty()) {
        openTarget(QStringLiteral("index.html"));
    }
    searchField_->setFocus();
    searchField_->selectAll();
}

void HelpViewer::showContext(quint32 context) {
    if (!hasBook()) {
        return;
    }
    const auto found = index_.contexts.constFind(context);
    if (found == index_.contexts.cend()) {
        showContents();
        return;
    }
    tabs_->setCurrentIndex(ContentsTab);
    openTarget(*found);
    browser_->setFocus();
}

namespace {
QPointer<HelpViewer>& viewerSlot() {
    static QPointer<HelpViewer> viewer;
    return viewer;
}
} // namespace

HelpViewer* helpViewerInstance() {
    return viewerSlot().data();
}

void showHelp(QWidget* owner, const QString& helpFileName, int command, quint32 data) {
    QPointer<HelpViewer>& viewer = viewerSlot();
    if (command == help::Quit) {
        if (viewer) {
            viewer->close();
        }
        return;
    }
    if (!viewer) {
        viewer = new HelpViewer(owner);
        viewer->setAttribute(Qt::WA_DeleteOnClose);
    }
    // Look again when the book was missing: it may have been installed meanwhile.
    if (viewer->helpFileName() != helpFileName || !viewer->hasBook()) {
        viewer->openBook(helpFileName);
    }
    switch (command) {
    case help::Context:
        viewer->showContext(data);
        break;
    case help::PartialKey:
        // The classic call passes a keyword by address; here `data` can only say "none".
        viewer->showSearch();
        break;
    default:
        viewer->showContents();
        break;
    }
    viewer->show();
    viewer->raise();
    viewer->activateWindow();
}

} // namespace zelvia::rt
