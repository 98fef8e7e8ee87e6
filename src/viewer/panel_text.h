#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>
#include <cstdint>

// The texts of the information panel. Each caption is a fixed prefix followed directly by a
// value; these functions build the values (and the whole captions where the rule needs both).
namespace zelvia::panel {

inline const QString kLinePrefix = QStringLiteral("ｺﾏﾝﾄﾞﾗｲﾝ：");
inline const QString kNamePrefix = QStringLiteral("ファイル名：");
inline const QString kAttributePrefix = QStringLiteral("ﾌｧｲﾙ属性：");
inline const QString kSizePrefix = QStringLiteral("ﾌｧｲﾙｻｲｽﾞ：");
inline const QString kDatePrefix = QStringLiteral("最終更新日：");
inline const QString kWidthPrefix = QStringLiteral("横(ﾋﾟｸｾﾙ)：");
inline const QString kHeightPrefix = QStringLiteral("縦(ﾋﾟｸｾﾙ)：");
inline const QString kNotDisplayable = QStringLiteral("表示出来ません");

// "ﾌｧｲﾙｻｲｽﾞ：1.49KB(1530ﾊﾞｲﾄ)", "ﾌｧｲﾙｻｲｽﾞ：512ﾊﾞｲﾄ". The value in KB, MB or GB is cut, never
// rounded, to three characters (four when a decimal point is among the first three), except
// that a value of 1000 or more in its unit keeps its whole integer part.
QString FileSizeCaption(std::int64_t bytes);

// "ﾌｧｲﾙ属性：通常＆隠しファイル"; the bare prefix for values the table does not know.
// Only the bits read-only 1, hidden 2, system 4, volume 8, directory 16 and archive 32 count.
QString AttributeCaption(std::uint32_t attributes);

// The last-modified value: the short date, a blank and the long time without its time zone;
// only the date at exactly midnight.
QString DateText(const QDateTime& when, const QLocale& locale = QLocale());

// Width or height in pixels as the normal display shows it: truncated toward zero.
QString PixelText(double twips, double twipsPerPixel);

// The same quotient kept as a single-precision number in the general format (up to seven
// significant digits), as the too-large report shows it: 533.3333.
QString PixelTextUntruncated(double twips, double twipsPerPixel);

} // namespace zelvia::panel
