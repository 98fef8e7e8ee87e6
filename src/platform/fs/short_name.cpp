#include "platform/fs/short_name.h"

#include "core/native_path.h"
#include "platform/fs/natural_sort.h"

#include <QHash>
#include <QSet>
#include <dirent.h>
#include <sys/stat.h>

namespace zelvia::rt {

namespace {

constexpr qsizetype MaxStem = 8;
constexpr qsizetype MaxExtension = 3;
constexpr qsizetype LineLimit = 79; // an 80-character buffer holds 79 and the NUL

bool isShortNameChar(char16_t c) {
    if ((c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9')) {
        return true;
    }
    switch (c) {
    case u'$':
    case u'%':
    case u'\'':
    case u'-':
    case u'_':
    case u'@':
    case u'~':
    case u'`':
    case u'!':
    case u'(':
    case u')':
    case u'{':
    case u'}':
    case u'^':
    case u'#':
    case u'&':
        return true;
    default:
        return false;
    }
}

// A stable stand-in stem for names with nothing left to keep.
QString hashStem(const QString& name) {
    quint32 hash = 2166136261u;
    for (const char byte : encodeFileName(name)) {
        hash = (hash ^ static_cast<unsigned char>(byte)) * 16777619u;
    }
    return QStringLiteral("%1").arg(hash & 0xffffu, 4, 16, QLatin1Char('0')).toUpper();
}

// Every entry of a folder but "." and "..", or nothing when it cannot be read.
std::optional<std::vector<QString>> folderNames(const QByteArray& folder) {
    DIR* dir = ::opendir(folder.constData());
    if (dir == nullptr) {
        return std::nullopt;
    }
    std::vector<QString> names;
    while (const dirent* entry = ::readdir(dir)) {
        const char* n = entry->d_name;
        if (n[0] == '.' && (n[1] == '\0' || (n[1] == '.' && n[2] == '\0'))) {
            continue;
        }
        names.push_back(decodeFileName(QByteArray(n)));
    }
    ::closedir(dir);
    return names;
}

} // namespace

bool isShortName(const QString& name) {
    if (name == QLatin1String(".") || name == QLatin1String("..")) {
        return true;
    }
    const qsizetype dot = name.indexOf(QLatin1Char('.'));
    const qsizetype stemLength = dot < 0 ? name.size() : dot;
    const qsizetype extensionLength = dot < 0 ? 0 : name.size() - dot - 1;
    if (stemLength < 1 || stemLength > MaxStem || extensionLength > MaxExtension ||
        (dot >= 0 && extensionLength == 0)) {
        return false;
    }
    for (qsizetype i = 0; i < name.size(); ++i) {
        if (i != dot && !isShortNameChar(name[i].unicode())) {
            return false;
        }
    }
    return true;
}

AliasBasis aliasBasis(const QString& longName) {
    const auto keep = [](const QString& part, qsizetype limit) {
        QString kept;
        for (const QChar c : part) {
            if (kept.size() < limit && isShortNameChar(c.unicode())) {
                kept.append(c.toUpper());
            }
        }
        return kept;
    };
    qsizetype start = 0;
    while (start < longName.size() && longName[start] == QLatin1Char('.')) {
        ++start;
    }
    const QString name = longName.mid(start);
    const qsizetype lastDot = name.lastIndexOf(QLatin1Char('.'));
    AliasBasis basis;
    basis.stem = keep(lastDot < 0 ? name : name.left(lastDot), MaxStem);
    if (lastDot >= 0) {
        basis.extension = keep(name.mid(lastDot + 1), MaxExtension);
    }
    if (basis.stem.isEmpty()) {
        basis.stem = hashStem(longName);
    }
    return basis;
}

QString aliasFor(const AliasBasis& basis, int number) {
    const QString tail = QLatin1Char('~') + QString::number(number);
    QString alias = basis.stem.left(std::max<qsizetype>(1, MaxStem - tail.size())) + tail;
    if (!basis.extension.isEmpty()) {
        alias += QLatin1Char('.') + basis.extension;
    }
    return alias;
}

QString shortNameAmong(const QString& name, const std::vector<QString>& siblings) {
    if (isShortName(name)) {
        return name;
    }
    // Existing 8.3 names keep theirs; the long names take numbers in natural order.
    QSet<QString> taken;
    std::vector<QString> longNames;
    for (const QString& sibling : siblings) {
        if (isShortName(sibling)) {
            taken.insert(sibling.toUpper());
        } else {
            longNames.push_back(sibling);
        }
    }
    if (std::find(longNames.begin(), longNames.end(), name) == longNames.end()) {
        longNames.push_back(name);
    }
    naturalSort(longNames);
    const AliasBasis mine = aliasBasis(name);
    const QString myGroup = aliasFor(mine, 1);
    QHash<QString, int> nextNumber;
    for (const QString& sibling : longNames) {
        const AliasBasis basis = aliasBasis(sibling);
        const QString group = aliasFor(basis, 1);
        if (group != myGroup) {
            continue; // other groups cannot produce our aliases below ~10
        }
        int& n = nextNumber[group];
        QString alias;
        do {
            alias = aliasFor(basis, ++n);
        } while (taken.contains(alias));
        taken.insert(alias);
        if (sibling == name) {
            return alias;
        }
    }
    return aliasFor(mine, 1);
}

std::optional<QString> shortPath(const QString& longPath) {
    const QByteArray native = encodeFileName(longPath);
    struct stat st {};
    if (native.isEmpty() || native.contains('\0') || ::stat(native.constData(), &st) != 0) {
        return std::nullopt;
    }
    const bool absolute = longPath.startsWith(QLatin1Char('/'));
    const bool trailingSlash = longPath.size() > 1 && longPath.endsWith(QLatin1Char('/'));
    const QStringList components = longPath.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QString parent = absolute ? QStringLiteral("/") : QStringLiteral(".");
    QStringList shortComponents;
    for (const QString& component : components) {
        if (isShortName(component)) {
            shortComponents.append(component);
        } else {
            const auto siblings = folderNames(encodeFileName(parent));
            if (!siblings) {
                return std::nullopt;
            }
            shortComponents.append(shortNameAmong(component, *siblings));
        }
        parent += (parent.endsWith(QLatin1Char('/')) ? QString() : QStringLiteral("/")) + component;
    }
    QString result =
        (absolute ? QStringLiteral("/") : QString()) + shortComponents.join(QLatin1Char('/'));
    if (trailingSlash && !shortComponents.isEmpty()) {
        result += QLatin1Char('/');
    }
    return result;
}

QString shortPathForLine(const QString& longPath) {
    const auto path = shortPath(longPath);
    if (!path || path->size() > LineLimit) {
        return {};
    }
    return *path;
}

} // namespace zelvia::rt
