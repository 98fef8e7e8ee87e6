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

const std::map<QString, QString>& knownRefusals() {
    static const std::map<QString, QString> refusals = {
        {QStringLiteral("bmp/pillow/clipboard.dib"),
         QStringLiteral("a DIB without file header, which is not required")},
        {QStringLiteral("ico/pillow/deerstalker.cur"),
         QStringLiteral("a cursor, not one of the seven picture formats")},
        {QStringLiteral("jpeg/libjpeg-turbo/monkey12.jpg"),
         QStringLiteral("12-bit samples; the JPEG decoder takes 8-bit ones only")},
        {QStringLiteral("jpeg/gdk-pixbuf/bug775218.jpg"),
         QStringLiteral("stray bytes and damaged segments before its tables; libjpeg-turbo "
                        "cannot decode it either (quantization table not defined)")},
    };
    return refusals;
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
