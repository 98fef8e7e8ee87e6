#pragma once

#include <QString>
#include <array>

namespace zelvia::browser {

// The file-type filter: caption and the wildcard masks it applies, in list order.
struct FilterEntry {
    const char16_t* caption;
    const char* pattern;
};

inline constexpr std::array<FilterEntry, 9> kFilters = {{
    {u"全てのファイル(*.*)", "*.*"},
    {u"ピクチャファイル", "*.BMP;*.DIB;*.GIF;*.EMF;*.ICO;*.JPG;*.JEPG;*.WMF"},
    {u"ﾋﾞｯﾄﾏｯﾌﾟﾌｧｲﾙ(*.BMP)", "*.BMP"},
    {u"ｱｲｺﾝﾌｧｲﾙ(*.ICO)", "*.ICO"},
    {u"Windowsﾒﾀﾙﾌｧｲﾙ(*.WMF)", "*.WMF"},
    {u"拡張ﾒﾀﾌｧｲﾙ(*.EMF)", "*.EMF"},
    {u"ﾋﾞｯﾄﾏｯﾌﾟ(*.DIB)", "*.DIB"},
    {u"JPEGﾌｧｲﾙ(*.JPG)", "*.JPG;*.JEPG"},
    {u"GIFﾌｧｲﾙ(*.GIF)", "*.GIF"},
}};

inline QString filterCaption(size_t index) {
    return QString::fromUtf16(kFilters.at(index).caption);
}
inline QString filterPattern(size_t index) {
    return QString::fromLatin1(kFilters.at(index).pattern);
}

} // namespace zelvia::browser
