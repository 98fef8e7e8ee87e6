#include "platform/help/help_locator.h"

#include "core/native_path.h"

#include <QCoreApplication>
#include <QDir>
#include <sys/stat.h>

namespace zelvia::rt {

namespace {

bool isRegularFile(const QString& path) {
    struct stat st {};
    return ::stat(encodeFileName(path).constData(), &st) == 0 && S_ISREG(st.st_mode);
}

QString joined(const QString& folder, const QString& name) {
    return folder.endsWith(u'/') ? folder + name : folder + u'/' + name;
}

QStringList& addedFolders() {
    static QStringList folders;
    return folders;
}

} // namespace

void addHelpSearchFolder(const QString& folder) {
    addedFolders().append(folder);
}

QString bookFolderName(const QString& helpFileName) {
    QString name = helpFileName;
    const qsizetype slash = name.lastIndexOf(u'/');
    if (slash >= 0) {
        name = name.sliced(slash + 1);
    }
    if (name.endsWith(QStringLiteral(".hlp"), Qt::CaseInsensitive)) {
        name.chop(4);
    }
    if (name.isEmpty() || name == QStringLiteral(".") || name == QStringLiteral("..")) {
        return {};
    }
    return name;
}

QStringList helpSearchFolders() {
    const QString appDir = QCoreApplication::applicationDirPath();
    QStringList folders;
    const auto add = [&folders](const QString& folder) {
        const QString clean = QDir::cleanPath(folder);
        if (!clean.isEmpty() && !folders.contains(clean)) {
            folders.append(clean);
        }
    };
    if (!appDir.isEmpty()) {
        add(appDir);
        add(appDir + QStringLiteral("/../share/zelvia/help"));
    }
#ifdef ZELVIA_DATADIR
    add(QStringLiteral(ZELVIA_DATADIR "/help"));
#endif
    for (const QString& folder : addedFolders()) {
        add(folder);
    }
    return folders;
}

QString findHelpBookIn(const QStringList& folders, const QString& helpFileName) {
    const QString stem = bookFolderName(helpFileName);
    if (stem.isEmpty()) {
        return {};
    }
    for (const QString& folder : folders) {
        QString book = joined(folder, stem);
        if (isRegularFile(joined(book, QStringLiteral("index.html")))) {
            return book;
        }
    }
    return {};
}

QString findHelpBook(const QString& helpFileName) {
    const qsizetype slash = helpFileName.lastIndexOf(u'/');
    if (slash >= 0) {
        // A name with a folder: that folder only (the root when the name starts with "/").
        return findHelpBookIn({slash == 0 ? QStringLiteral("/") : helpFileName.first(slash)},
                              helpFileName);
    }
    return findHelpBookIn(helpSearchFolders(), helpFileName);
}

} // namespace zelvia::rt
