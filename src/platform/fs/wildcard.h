#pragma once

#include <QString>
#include <string_view>
#include <vector>

namespace zelvia::rt {

// A file list pattern: wildcard masks separated by ";", matched against the whole name
// without regard to case (Unicode case folding). "*" matches any run of characters, "?" exactly
// one character. As on Windows, a mask ending in ".*" also matches names without a dot ("*.*"
// lists every file) and a mask ending in "." matches names without an extension. Blanks around
// masks are ignored; a pattern without any mask matches every name.
class WildcardPattern {
public:
    explicit WildcardPattern(const QString& pattern);

    [[nodiscard]] bool matches(const QString& name) const;
    // For a name already passed through QString::toCaseFolded().
    [[nodiscard]] bool matchesFolded(const QString& foldedName) const;
    // For a name whose bytes are all ASCII, without building its QString forms.
    [[nodiscard]] bool matchesAscii(std::string_view name) const;
    // True when every name matches, so callers may skip the test.
    [[nodiscard]] bool matchesEverything() const noexcept { return matchesEverything_; }

private:
    struct Mask {
        std::u32string glob;
        bool withoutDot = false; // the name must contain no "."
    };
    std::vector<Mask> masks_;
    bool matchesEverything_ = false;
};

bool matchesPattern(const QString& name, const QString& pattern);

} // namespace zelvia::rt
