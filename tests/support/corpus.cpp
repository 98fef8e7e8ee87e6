#include "corpus.h"

#include <QDir>
#include <QFile>
#include <QTextStream>
#include <algorithm>
#include <cctype>

namespace zelvia::test {

std::optional<QString> corpusDir() {
    const QByteArray env = qgetenv("ZELVIA_CORPUS");
    const QString dir = env.isEmpty() ? QStringLiteral(ZELVIA_CORPUS_DIR) : QString::fromUtf8(env);
    if (!QFile::exists(dir + QStringLiteral("/MANIFEST.tsv"))) {
        return std::nullopt;
    }
    return QDir(dir).absolutePath();
}

void PrintTo(const CorpusEntry& entry, std::ostream* out) {
    *out << entry.relPath.toStdString() << " (" << entry.expect.toStdString() << ")";
}

std::string caseNameOf(const QString& relPath) {
    std::string name = relPath.toStdString();
    std::replace_if(
        name.begin(), name.end(),
        [](char c) { return std::isalnum(static_cast<unsigned char>(c)) == 0; }, '_');
    return name;
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

const std::map<QString, QString>& knownDifferences() {
    static const std::map<QString, QString> differences = {
        {QStringLiteral("bmp/bmpsuite/g/rgb16.bmp"),
         QStringLiteral("Qt widens 5-bit channels by shifting (31 to 248); the program scales them "
                        "to the full range (31 to 255)")},
        {QStringLiteral("bmp/bmpsuite/g/rgb16-565.bmp"),
         QStringLiteral("Qt widens 5-bit channels by shifting (31 to 248); the program scales them "
                        "to the full range (31 to 255)")},
        {QStringLiteral("bmp/bmpsuite/g/rgb16-565pal.bmp"),
         QStringLiteral("Qt widens 5-bit channels by shifting (31 to 248); the program scales them "
                        "to the full range (31 to 255)")},
        {QStringLiteral("bmp/bmpsuite/g/rgb16bfdef.bmp"),
         QStringLiteral("Qt widens 5-bit channels by shifting (31 to 248); the program scales them "
                        "to the full range (31 to 255)")},
        {QStringLiteral("bmp/pillow/hopper_rle8_row_overflow.bmp"),
         QStringLiteral("RLE8 runs that overflow their row: Qt and the program place the overflow "
                        "differently (rows below the first overflow differ)")},
        {QStringLiteral("ico/image-rs/bmp-24bpp-mask.ico"),
         QStringLiteral("Qt ignores the AND mask of a 24-bit icon image; the program makes the "
                        "masked pixels transparent")},
        {QStringLiteral("ico/image-rs/bmp_v5_with_icc.ico"),
         QStringLiteral("an icon image with a V5 header and colour profile: Qt reads it grey and "
                        "opaque, the program in its colours with its mask")},
        {QStringLiteral("jpeg/gdk-pixbuf/premature-end.jpg"),
         QStringLiteral("data ends early: libjpeg-turbo makes up the rest from the last values it "
                        "decoded, the program fills it grey")},
    };
    return differences;
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
