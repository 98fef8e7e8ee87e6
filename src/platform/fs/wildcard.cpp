#include "platform/fs/wildcard.h"

#include <QStringList>
#include <algorithm>

namespace zelvia::rt {

namespace {

std::u32string toCodePoints(const QString& s) {
    std::u32string out;
    out.reserve(static_cast<std::size_t>(s.size()));
    for (qsizetype i = 0; i < s.size(); ++i) {
        const char16_t u = s[i].unicode();
        if (QChar::isHighSurrogate(u) && i + 1 < s.size() && s[i + 1].isLowSurrogate()) {
            out.push_back(QChar::surrogateToUcs4(u, s[i + 1].unicode()));
            ++i;
        } else {
            out.push_back(u);
        }
    }
    return out;
}

// An all-ASCII name seen as its case folding, which for ASCII is plain lower case.
struct AsciiFolded {
    std::string_view bytes;
    [[nodiscard]] std::size_t size() const { return bytes.size(); }
    char32_t operator[](std::size_t i) const {
        const char c = bytes[i];
        return static_cast<char32_t>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    }
};

// Iterative glob match with single backtracking point: linear in practice, never exponential.
template <typename Name> bool globMatch(const std::u32string& mask, const Name& name) {
    std::size_t m = 0;
    std::size_t n = 0;
    std::size_t starMask = std::u32string::npos;
    std::size_t starName = 0;
    while (n < name.size()) {
        // A star is taken as a star even where the name holds a "*" itself: matching it
        // literally first would leave nothing to backtrack to.
        if (m < mask.size() && mask[m] == U'*') {
            starMask = m++;
            starName = n;
        } else if (m < mask.size() && (mask[m] == U'?' || mask[m] == name[n])) {
            ++m;
            ++n;
        } else if (starMask != std::u32string::npos) {
            m = starMask + 1;
            n = ++starName;
        } else {
            return false;
        }
    }
    while (m < mask.size() && mask[m] == U'*') {
        ++m;
    }
    return m == mask.size();
}

bool isAllStars(const std::u32string& mask) {
    return mask.find_first_not_of(U'*') == std::u32string::npos;
}

} // namespace

WildcardPattern::WildcardPattern(const QString& pattern) {
    const QStringList parts = pattern.split(QLatin1Char(';'));
    for (const QString& part : parts) {
        const QString mask = part.trimmed().toCaseFolded();
        if (mask.isEmpty()) {
            continue;
        }
        std::u32string cps = toCodePoints(mask);
        // "name.*" also admits "name" and "name." admits "name": the dot is optional.
        if (cps.size() >= 2 && cps.ends_with(U".*")) {
            masks_.push_back({cps.substr(0, cps.size() - 2), false});
        } else if (cps.size() >= 2 && cps.back() == U'.') {
            masks_.push_back({cps.substr(0, cps.size() - 1), true});
        }
        masks_.push_back({std::move(cps), false});
    }
    matchesEverything_ = masks_.empty();
    for (const auto& mask : masks_) {
        if (!mask.withoutDot && isAllStars(mask.glob)) {
            matchesEverything_ = true;
        }
    }
}

bool WildcardPattern::matchesFolded(const QString& foldedName) const {
    if (matchesEverything_) {
        return true;
    }
    const std::u32string name = toCodePoints(foldedName);
    const bool hasDot = name.find(U'.') != std::u32string::npos;
    return std::ranges::any_of(masks_, [&](const auto& mask) {
        return (!mask.withoutDot || !hasDot) && globMatch(mask.glob, name);
    });
}

bool WildcardPattern::matchesAscii(std::string_view name) const {
    if (matchesEverything_) {
        return true;
    }
    const bool hasDot = name.find('.') != std::string_view::npos;
    return std::ranges::any_of(masks_, [&](const auto& mask) {
        return (!mask.withoutDot || !hasDot) && globMatch(mask.glob, AsciiFolded{name});
    });
}

bool WildcardPattern::matches(const QString& name) const {
    return matchesEverything_ || matchesFolded(name.toCaseFolded());
}

bool matchesPattern(const QString& name, const QString& pattern) {
    return WildcardPattern(pattern).matches(name);
}

} // namespace zelvia::rt
