#include "platform/help/book_browser.h"

#include "core/native_path.h"
#include "core/runtime_error.h"

#include <QDir>
#include <QTextDocument>
#include <QUrl>

namespace zelvia::rt {

BookBrowser::BookBrowser(QWidget* parent) : QTextBrowser(parent) {
    // Links are followed here, so that nothing outside the book is ever opened.
    setOpenLinks(false);
    setOpenExternalLinks(false);
    connect(this, &QTextBrowser::anchorClicked, this, &BookBrowser::followLink);
}

void BookBrowser::setBookFolder(const QString& folder) {
    folder_ = folder.isEmpty() ? QString() : QDir::cleanPath(folder);
}

bool BookBrowser::isInBook(const QUrl& url) const {
    if (folder_.isEmpty() || !url.isLocalFile()) {
        return false;
    }
    const QString path = QDir::cleanPath(url.toLocalFile());
    const qsizetype slash = path.lastIndexOf(u'/');
    return slash > 0 && path.first(slash) == folder_;
}

QVariant BookBrowser::loadResource(int type, const QUrl& name) {
    const QUrl url = name.isRelative() ? source().resolved(name) : name;
    if (!isInBook(url)) {
        return {};
    }
    QByteArray bytes;
    try {
        bytes = ReadOnlyFile(QDir::cleanPath(url.toLocalFile())).readAll(MaxPageBytes);
    } catch (const RuntimeError&) {
        return {};
    }
    if (type == QTextDocument::HtmlResource || type == QTextDocument::StyleSheetResource) {
        return QString::fromUtf8(bytes);
    }
    return bytes;
}

void BookBrowser::followLink(const QUrl& link) {
    const QUrl url = link.isRelative() ? source().resolved(link) : link;
    if (isInBook(url)) {
        setSource(url);
    }
}

} // namespace zelvia::rt
