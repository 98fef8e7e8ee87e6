#pragma once

#include <QString>
#include <optional>
#include <vector>

namespace zelvia::rt {

// The short (8.3) path form, standing in for the Windows call that produces it.
//
// A component that already is a valid 8.3 name stays exactly as it is, in whatever case it is
// written (as NTFS does: such names get no alias). Any other component gets an alias:
// upper case; characters that are not allowed in 8.3 names, including every non-ASCII
// character and each escaped byte of an invalid UTF-8 name, are dropped; spaces and leading
// dots are removed; the stem is everything before the last dot with the other dots removed.
// The alias is the first six stem characters + "~N" + "." + the first three extension
// characters. N counts, from 1, the names of the folder that share the same alias basis, in
// natural order, skipping aliases that an existing 8.3 name of the folder already takes. From
// ~10 on, the stem is cut further so the base stays at eight characters. (Windows switches to a
// hash form after ~4; that form is not reproduced.) A stem left empty after dropping (a
// Japanese name, say) is replaced by four hex digits of a hash of the name.

// Whether `name` is a valid 8.3 name (case ignored).
bool isShortName(const QString& name);

// The alias basis of a long name: stem (up to 8 characters) and extension (up to 3), upper
// case, before the "~N" is added.
struct AliasBasis {
    QString stem;
    QString extension;
    bool operator==(const AliasBasis&) const = default;
};
AliasBasis aliasBasis(const QString& longName);

// The alias for the given basis and number: "LONGFI~1.TXT".
QString aliasFor(const AliasBasis& basis, int number);

// The alias of `name` among the names of one folder (`siblings` includes `name`).
QString shortNameAmong(const QString& name, const std::vector<QString>& siblings);

// The short form of an existing path, or nothing when it cannot be resolved (a component is
// missing or a folder cannot be read).
std::optional<QString> shortPath(const QString& longPath);

// As the path line shows it: the short form when it fits in 79 characters (an 80-character
// buffer with its NUL), otherwise, or when it cannot be resolved, an empty string.
QString shortPathForLine(const QString& longPath);

} // namespace zelvia::rt
