#include "formats/metafile/font_mapping.h"

#include <QFontMetricsF>
#include <array>
#include <cmath>

namespace zelvia::rt::metafile {

namespace {

struct Substitute {
    const char16_t* face;
    const char* family;
};

// Faces common in metafiles, mapped to fonts shipped with the system.
constexpr auto kSubstitutes = std::to_array<Substitute>({
    {u"ＭＳ ゴシック", "IPAGothic"},
    {u"MS Gothic", "IPAGothic"},
    {u"ＭＳ Ｐゴシック", "IPAPGothic"},
    {u"MS PGothic", "IPAPGothic"},
    {u"MS UI Gothic", "IPAPGothic"},
    {u"メイリオ", "IPAPGothic"},
    {u"Meiryo", "IPAPGothic"},
    {u"Meiryo UI", "IPAPGothic"},
    {u"游ゴシック", "IPAPGothic"},
    {u"Yu Gothic", "IPAPGothic"},
    {u"ＭＳ 明朝", "IPAMincho"},
    {u"MS Mincho", "IPAMincho"},
    {u"ＭＳ Ｐ明朝", "IPAPMincho"},
    {u"MS PMincho", "IPAPMincho"},
    {u"游明朝", "IPAPMincho"},
    {u"Yu Mincho", "IPAPMincho"},
    {u"Arial", "Nimbus Sans"},
    {u"Helvetica", "Nimbus Sans"},
    {u"Arial Narrow", "Nimbus Sans Narrow"},
    {u"Times New Roman", "Nimbus Roman"},
    {u"Times", "Nimbus Roman"},
    {u"Courier New", "Nimbus Mono PS"},
    {u"Courier", "Nimbus Mono PS"},
    {u"Symbol", "Standard Symbols PS"},
    {u"Tahoma", "DejaVu Sans"},
    {u"Verdana", "DejaVu Sans"},
    {u"MS Sans Serif", "DejaVu Sans"},
    {u"Microsoft Sans Serif", "DejaVu Sans"},
    {u"Segoe UI", "DejaVu Sans"},
    {u"Calibri", "DejaVu Sans"},
    {u"System", "DejaVu Sans"},
});

const char* fallbackForCharset(int charset) {
    switch (charset) {
    case 128:
        return "IPAPGothic";
    case 129:
    case 134:
    case 136:
        return "Droid Sans Fallback";
    default:
        return "DejaVu Sans";
    }
}

} // namespace

QString substituteFamily(const QString& faceName, int charset) {
    QString face = faceName.trimmed();
    for (const Substitute& s : kSubstitutes) {
        if (face.compare(QString::fromUtf16(s.face), Qt::CaseInsensitive) == 0) {
            return QString::fromLatin1(s.family);
        }
    }
    if (face.isEmpty()) {
        return QString::fromLatin1(fallbackForCharset(charset));
    }
    return face;
}

QFont makeFont(const LogFont& desc, double pixelSize) {
    QFont font;
    const QString family = substituteFamily(desc.faceName, desc.charset);
    font.setFamilies({family, QString::fromLatin1(fallbackForCharset(desc.charset))});
    switch (desc.pitchAndFamily & 0xF0) {
    case 0x10:
        font.setStyleHint(QFont::Serif);
        break;
    case 0x20:
        font.setStyleHint(QFont::SansSerif);
        break;
    case 0x30:
        font.setStyleHint(QFont::Monospace);
        break;
    case 0x40:
        font.setStyleHint(QFont::Cursive);
        break;
    case 0x50:
        font.setStyleHint(QFont::Decorative);
        break;
    default:
        break;
    }
    font.setPixelSize(std::max(1, static_cast<int>(std::lround(std::min(pixelSize, 1e5)))));
    const int weight = desc.weight <= 0 ? 400 : std::clamp(desc.weight, 1, 1000);
    font.setWeight(static_cast<QFont::Weight>(weight));
    font.setItalic(desc.italic);
    font.setUnderline(desc.underline);
    font.setStrikeOut(desc.strikeOut);
    font.setKerning(false);
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

double emSizeForHeight(const LogFont& desc) {
    if (desc.height < 0) {
        return -static_cast<double>(desc.height);
    }
    if (desc.height == 0) {
        return 12.0;
    }
    // A positive height is the cell (ascent + descent); find the em that gives it.
    const QFontMetricsF metrics(makeFont(desc, 100));
    const double cell = metrics.ascent() + metrics.descent();
    return cell > 0 ? desc.height * 100.0 / cell : desc.height;
}

} // namespace zelvia::rt::metafile
