#include "platform/help/help_index.h"

#include "core/native_path.h"
#include "core/runtime_error.h"

#include <QRegularExpression>
#include <algorithm>

namespace zelvia::rt {

namespace {

struct Row {
    QString key;
    QString value;
};

// Splits a tab-separated file into key/value rows; tolerates a BOM, CRLF line ends and
// comment lines, and skips lines without a tab or with an empty field.
QList<Row> parseRows(const QByteArray& tsv) {
    QList<Row> rows;
    QByteArrayView rest(tsv);
    if (rest.startsWith("\xEF\xBB\xBF")) {
        rest = rest.sliced(3);
    }
    while (!rest.isEmpty() && rows.size() < MaxIndexEntries) {
        qsizetype end = rest.indexOf('\n');
        QByteArrayView line = end < 0 ? rest : rest.first(end);
        rest = end < 0 ? QByteArrayView() : rest.sliced(end + 1);
        if (line.endsWith('\r')) {
            line.chop(1);
        }
        if (line.isEmpty() || line.startsWith('#')) {
            continue;
        }
        const qsizetype tab = line.indexOf('\t');
        if (tab < 0) {
            continue;
        }
        Row row{QString::fromUtf8(line.first(tab)).trimmed(),
                QString::fromUtf8(line.sliced(tab + 1)).trimmed()};
        if (row.key.isEmpty() || row.value.isEmpty()) {
            continue;
        }
        rows.append(std::move(row));
    }
    return rows;
}

QByteArray readIndexFile(const QString& path) {
    try {
        return ReadOnlyFile(path).readAll(MaxIndexFileBytes);
    } catch (const RuntimeError&) {
        return {};
    }
}

} // namespace

bool isBookTarget(const QString& target) {
    static const QRegularExpression pattern(
        QStringLiteral(R"(^[A-Za-z0-9_][A-Za-z0-9_.-]*\.html(#[A-Za-z0-9_-]+)?$)"),
        QRegularExpression::CaseInsensitiveOption);
    return target.size() <= 200 && pattern.match(target).hasMatch();
}

QString targetPage(const QString& target) {
    const qsizetype hash = target.indexOf(u'#');
    return hash < 0 ? target : target.first(hash);
}

QList<HelpTopic> parseTopics(const QByteArray& tsv) {
    QList<HelpTopic> topics;
    for (Row& row : parseRows(tsv)) {
        if (isBookTarget(row.key)) {
            topics.append({std::move(row.key), std::move(row.value)});
        }
    }
    return topics;
}

QList<HelpKeyword> parseKeywords(const QByteArray& tsv) {
    QList<HelpKeyword> keywords;
    for (Row& row : parseRows(tsv)) {
        if (isBookTarget(row.value)) {
            keywords.append({std::move(row.key), std::move(row.value)});
        }
    }
    std::stable_sort(keywords.begin(), keywords.end(),
                     [](const HelpKeyword& a, const HelpKeyword& b) {
                         return QString::compare(a.keyword, b.keyword, Qt::CaseInsensitive) < 0;
                     });
    return keywords;
}

QHash<quint32, QString> parseContexts(const QByteArray& tsv) {
    QHash<quint32, QString> contexts;
    for (Row& row : parseRows(tsv)) {
        bool ok = false;
        const quint32 number = row.key.toUInt(&ok, 10);
        if (ok && isBookTarget(row.value) && !contexts.contains(number)) {
            contexts.emplace(number, std::move(row.value));
        }
    }
    return contexts;
}

HelpIndex loadHelpIndex(const QString& bookDir) {
    const QString base = bookDir.endsWith(u'/') ? bookDir : bookDir + u'/';
    HelpIndex index;
    index.topics = parseTopics(readIndexFile(base + QStringLiteral("topics.tsv")));
    index.keywords = parseKeywords(readIndexFile(base + QStringLiteral("keywords.tsv")));
    index.contexts = parseContexts(readIndexFile(base + QStringLiteral("contexts.tsv")));
    return index;
}

} // namespace zelvia::rt
