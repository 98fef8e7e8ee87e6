#pragma once

#include <QByteArrayView>
#include <QString>
#include <vector>

namespace zelvia::rt::metafile {

// Text of the 8-bit text records, decoded by the font's character set: Shift-JIS (128),
// Korean (129), GBK (134), Big5 (136), the Windows code pages of Greek, Turkish, Hebrew,
// Arabic, Baltic, Cyrillic and Central European (161..238), otherwise Windows-1252.
struct DecodedText {
    QString text;
    // For each UTF-16 unit of `text`: the index of the first byte of its character.
    std::vector<int> byteOfUnit;
};

DecodedText decodeCharsetText(QByteArrayView bytes, int charset);

// The iconv name used for a charset (exposed for tests).
const char* codePageForCharset(int charset);

} // namespace zelvia::rt::metafile

namespace zelvia::rt::metafile {

// Per-byte advances (the dx array of an 8-bit text record) folded onto the UTF-16 units of
// the decoded text: each character's bytes add up on its last unit. Missing entries count 0.
std::vector<double> advancesForUnits(const DecodedText& decoded, const std::vector<double>& perByte,
                                     qsizetype byteCount);

} // namespace zelvia::rt::metafile
