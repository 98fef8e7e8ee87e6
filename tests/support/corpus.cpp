#include "corpus.h"

#include <QDir>
#include <QFile>
#include <QTextStream>

namespace zelvia::test {

std::optional<QString> corpusDir() {
    const QByteArray env = qgetenv("ZELVIA_CORPUS");
    const QString dir = env.isEmpty() ? QStringLiteral(ZELVIA_CORPUS_DIR) : QString::fromUtf8(env);
    if (!QFile::exists(dir + QStringLiteral("/MANIFEST.tsv"))) {
        return std::nullopt;
    }
    return QDir(dir).absolutePath();
}

std::vector<CorpusEntry> corpusEntries(const QString& prefix) {
    std::vector<CorpusEntry> out;
    const auto dir = corpusDir();
    if (!dir) {
        return out;
    }
    QFile f(*dir + QStringLiteral("/MANIFEST.tsv"));
    if (!f.open(QIODevice::ReadOnly)) {
        return out;
    }
    QTextStream in(&f);
    in.readLine(); // header
    while (!in.atEnd()) {
        const QStringList cols = in.readLine().split(QLatin1Char('\t'));
        if (cols.size() < 7 || !cols[0].startsWith(prefix)) {
            continue;
        }
        out.push_back({*dir + QLatin1Char('/') + cols[0], cols[0], cols[3], cols[4], cols[6]});
    }
    return out;
}

} // namespace zelvia::test
