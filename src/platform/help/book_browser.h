#pragma once

#include <QTextBrowser>

namespace zelvia::rt {

// A text browser that reads only the pages of one help book folder: links that lead out of
// it, to another scheme or to an oversized file load nothing.
class BookBrowser : public QTextBrowser {
    Q_OBJECT

public:
    explicit BookBrowser(QWidget* parent = nullptr);

    void setBookFolder(const QString& folder);
    [[nodiscard]] bool isInBook(const QUrl& url) const;

    QVariant loadResource(int type, const QUrl& name) override;

    // Larger pages are refused; the book's pages are a few kilobytes.
    static constexpr qint64 MaxPageBytes = 4 << 20;

private:
    void followLink(const QUrl& link);

    QString folder_;
};

} // namespace zelvia::rt
