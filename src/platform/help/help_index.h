#pragma once

#include <QHash>
#include <QList>
#include <QString>

namespace zelvia::rt {

// One entry of the contents list: a page of the book and its title.
struct HelpTopic {
    QString page;  // file name inside the book folder, e.g. "overview.html"
    QString title; // as listed on the 目次 tab
};

// One keyword of the search tab and where it leads.
struct HelpKeyword {
    QString keyword;
    QString target; // "page.html" or "page.html#anchor"
};

// The machine-readable part of a help book: three small tab-separated files beside the pages.
//   topics.tsv    page<TAB>title            contents list, in order
//   keywords.tsv  keyword<TAB>page#anchor   keyword index (one keyword may lead to several pages)
//   contexts.tsv  number<TAB>page#anchor    context numbers, e.g. 9 for the main window
// Lines starting with '#' and empty lines are comments. Malformed lines and targets that would
// leave the book folder are skipped, never fatal.
struct HelpIndex {
    QList<HelpTopic> topics;
    QList<HelpKeyword> keywords; // sorted by keyword, case-insensitively
    QHash<quint32, QString> contexts;
};

// Larger index files are not a help book of ours; they are refused (treated as empty).
inline constexpr qint64 MaxIndexFileBytes = 1 << 20;
// At most this many entries are kept from one index file.
inline constexpr int MaxIndexEntries = 20000;

QList<HelpTopic> parseTopics(const QByteArray& tsv);
QList<HelpKeyword> parseKeywords(const QByteArray& tsv);
QHash<quint32, QString> parseContexts(const QByteArray& tsv);

// Reads the three index files of the book folder; a missing or unreadable file gives an empty
// part.
HelpIndex loadHelpIndex(const QString& bookDir);

// True when `target` names a page inside the book: a relative ".html" file name in the book
// folder itself, optionally followed by "#anchor"; no folders, no "..", no scheme.
bool isBookTarget(const QString& target);

// The page part of a target ("a.html#x" -> "a.html").
QString targetPage(const QString& target);

} // namespace zelvia::rt
