#include "viewer/panel_text.h"

#include <array>
#include <cmath>
#include <utility>

namespace zelvia::panel {

namespace {

// Decimal text of a value with at most 15 significant digits, trailing zeros dropped,
// "." as the decimal point; the values shown (1 to below 1e12) never take an exponent.
QString decimalText(double value) {
    return QString::number(value, 'g', 15);
}

QString cutValue(const QString& text) {
    const qsizetype point = text.indexOf(QLatin1Char('.'));
    const qsizetype intDigits = point < 0 ? text.size() : point;
    if (intDigits >= 4) {
        return text.left(intDigits);
    }
    if (text.size() <= 3) {
        return text;
    }
    const bool pointInFirstThree = point >= 0 && point < 3;
    return text.left(pointInFirstThree ? 4 : 3);
}

// The long time format as desktop systems show it: hours, minutes and seconds with the
// locale's separators, no time zone. CLDR's long format spells units out ("9時41分07秒 JST"),
// so it is built from the short format with the seconds added after the minutes.
QString longTimeFormat(const QLocale& locale) {
    QString format = locale.timeFormat(QLocale::ShortFormat);
    format.remove(QLatin1Char('t'));
    format = format.trimmed();
    if (!format.contains(QLatin1Char('s'))) {
        const qsizetype minutes = format.lastIndexOf(QStringLiteral("mm"));
        if (minutes >= 0) {
            format.insert(minutes + 2, QStringLiteral(":ss"));
        }
    }
    return format;
}

} // namespace

QString FileSizeCaption(std::int64_t bytes) {
    constexpr std::int64_t kKiB = 1024;
    constexpr std::int64_t kMiB = kKiB * 1024;
    constexpr std::int64_t kGiB = kMiB * 1024;
    const QString count = QString::number(bytes);
    double value = 0;
    QString unit;
    if (bytes >= kKiB && bytes < kMiB) {
        value = static_cast<double>(bytes) / 1024.0;
        unit = QStringLiteral("KB(");
    } else if (bytes >= kMiB && bytes < kGiB) {
        value = static_cast<double>(bytes) / 1024.0 / 1024.0;
        unit = QStringLiteral("MB(");
    } else if (bytes >= kGiB) {
        value = static_cast<double>(bytes) / 1024.0 / 1024.0 / 1024.0;
        unit = QStringLiteral("GB(");
    } else {
        return kSizePrefix + count + QStringLiteral("ﾊﾞｲﾄ");
    }
    return kSizePrefix + cutValue(decimalText(value)) + unit + count + QStringLiteral("ﾊﾞｲﾄ)");
}

QString AttributeCaption(std::uint32_t attributes) {
    static const std::array<std::pair<std::uint32_t, const char16_t*>, 14> kTable = {{
        {0, u"通常ファイル"},
        {1, u"通常＆読み取り専用ファイル"},
        {2, u"通常＆隠しファイル"},
        {3, u"通常＆読み取り専用＆隠しファイル"},
        {4, u"通常＆システムファイル"},
        {5, u"通常＆読み取り専用＆システムファイル"},
        {6, u"通常＆隠し＆システムファイル"},
        {7, u"通常＆読み取り専用＆隠し＆システムファイル"},
        {32, u"通常＆ｱｰｶｲﾌﾞﾌｧｲﾙ"},
        {33, u"通常＆読み取り専用＆ｱｰｶｲﾌﾞﾌｧｲﾙ"},
        {34, u"通常＆隠し＆ｱｰｶｲﾌﾞﾌｧｲﾙ"},
        {35, u"通常＆読み取り＆隠し＆ｱｰｶｲﾌﾞﾌｧｲﾙ"},
        {36, u"通常＆システム＆ｱｰｶｲﾌﾞﾌｧｲﾙ"},
        {39, u"通常＆読み取り専用＆隠し＆システム＆ｱｰｶｲﾌﾞﾌｧｲﾙ"},
    }};
    const std::uint32_t known = attributes & 0x3Fu;
    for (const auto& [value, text] : kTable) {
        if (value == known) {
            return kAttributePrefix + QString::fromUtf16(text);
        }
    }
    return kAttributePrefix;
}

QString DateText(const QDateTime& when, const QLocale& locale) {
    QString date = locale.toString(when.date(), QLocale::ShortFormat);
    if (when.time() == QTime(0, 0)) {
        return date;
    }
    return date + QLatin1Char(' ') + locale.toString(when.time(), longTimeFormat(locale));
}

QString PixelText(double twips, double twipsPerPixel) {
    const auto quotient = static_cast<float>(twips / twipsPerPixel);
    return QString::number(static_cast<double>(std::trunc(quotient)), 'f', 0);
}

QString PixelTextUntruncated(double twips, double twipsPerPixel) {
    const auto quotient = static_cast<float>(twips / twipsPerPixel);
    return QString::number(static_cast<double>(quotient), 'g', 7);
}

} // namespace zelvia::panel
