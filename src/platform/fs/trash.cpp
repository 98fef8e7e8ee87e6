#include "platform/fs/trash.h"

#include "core/native_path.h"

#include <array>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zelvia::rt {

namespace {

constexpr int MaxCollisions = 10000;
constexpr qsizetype NameMax = 255;
const QByteArray InfoSuffix = QByteArrayLiteral(".trashinfo");

QString reasonText(TrashError error) {
    switch (error) {
    case TrashError::None:
        return {};
    case TrashError::NotFound:
        return QStringLiteral("ファイルが見つかりません");
    case TrashError::IsFolder:
        return QStringLiteral("フォルダーはごみ箱に移動しません");
    case TrashError::NoTrash:
        return QStringLiteral("このファイルシステムには使えるごみ箱がありません");
    case TrashError::InfoNotWritten:
        return QStringLiteral("ごみ箱の情報ファイルを作成できません");
    case TrashError::MoveFailed:
        return QStringLiteral("ファイルを移動できません");
    case TrashError::BadPath:
        return QStringLiteral("ファイル名が正しくありません");
    }
    return {};
}

TrashResult failure(TrashError error, int systemError = 0) {
    TrashResult result;
    result.code = static_cast<int>(error);
    result.systemError = systemError;
    result.message = QStringLiteral("ファイルをごみ箱に移動できませんでした: ") + reasonText(error);
    if (systemError == EXDEV) {
        result.message += QStringLiteral(" (別のファイルシステムにあります)");
    } else if (systemError != 0) {
        result.message += QStringLiteral(" (") +
                          QString::fromLocal8Bit(std::strerror(systemError)) + QLatin1Char(')');
    }
    return result;
}

QByteArray joinPath(const QByteArray& folder, const QByteArray& name) {
    return folder.endsWith('/') ? folder + name : folder + '/' + name;
}

// mkdir -p with mode 0700 for each folder it creates; true when `path` is a folder after it.
bool makeFolders(const QByteArray& path) {
    struct stat st {};
    if (::stat(path.constData(), &st) == 0) {
        return S_ISDIR(st.st_mode);
    }
    const qsizetype slash = path.lastIndexOf('/');
    if (slash > 0 && !makeFolders(path.left(slash))) {
        return false;
    }
    return ::mkdir(path.constData(), 0700) == 0 || errno == EEXIST;
}

// A real folder (not a symbolic link) after creating it when missing.
bool ensureRealFolder(const QByteArray& path) {
    if (::mkdir(path.constData(), 0700) != 0 && errno != EEXIST) {
        return false;
    }
    struct stat st {};
    return ::lstat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

QByteArray homeFolder() {
    if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/') {
        return home;
    }
    if (const passwd* pw = ::getpwuid(::getuid()); pw != nullptr && pw->pw_dir != nullptr) {
        return pw->pw_dir;
    }
    return {};
}

// The canonical form of `path`, or of its nearest existing parent folder with the rest of
// the path appended (the home trash need not exist yet).
QByteArray canonicalOrParent(const QByteArray& path) {
    std::array<char, PATH_MAX> resolved{};
    QByteArray at = path;
    QByteArray rest;
    for (;;) {
        if (::realpath(at.constData(), resolved.data()) != nullptr) {
            const QByteArray found(resolved.data());
            return rest.isEmpty() ? found : joinPath(found, rest);
        }
        const qsizetype slash = at.lastIndexOf('/');
        if (slash < 0) {
            return {};
        }
        rest = rest.isEmpty() ? at.mid(slash + 1) : at.mid(slash + 1) + '/' + rest;
        at = slash == 0 ? QByteArray("/") : at.left(slash);
    }
}

// Cuts `bytes` to at most `limit` bytes without splitting a UTF-8 sequence.
QByteArray cutUtf8(const QByteArray& bytes, qsizetype limit) {
    if (bytes.size() <= limit) {
        return bytes;
    }
    qsizetype end = std::max<qsizetype>(limit, 1);
    while (end > 1 && (static_cast<unsigned char>(bytes[end]) & 0xC0u) == 0x80u) {
        --end;
    }
    return bytes.left(end);
}

// The name in the trash for the n-th try: "photo.jpg", "photo.2.jpg", "photo.3.jpg", ...
QByteArray trashName(const QByteArray& name, int n) {
    const qsizetype dot = name.lastIndexOf('.');
    const bool hasExtension = dot > 0 && name.size() - dot <= 16;
    const QByteArray stem = hasExtension ? name.left(dot) : name;
    const QByteArray extension = hasExtension ? name.mid(dot) : QByteArray();
    const QByteArray number = n > 1 ? '.' + QByteArray::number(n) : QByteArray();
    const qsizetype room = NameMax - InfoSuffix.size() - number.size() - extension.size();
    return cutUtf8(stem, room) + number + extension;
}

QByteArray deletionDate() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    std::array<char, 32> text{};
    const std::size_t n = std::strftime(text.data(), text.size(), "%Y-%m-%dT%H:%M:%S", &local);
    return {text.data(), static_cast<qsizetype>(n)};
}

bool writeAll(int fd, const QByteArray& data) {
    qsizetype done = 0;
    while (done < data.size()) {
        const ssize_t got =
            ::write(fd, data.constData() + done, static_cast<size_t>(data.size() - done));
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        done += got;
    }
    return true;
}

// rename that never replaces an existing file; falls back to a plain rename on file systems
// without RENAME_NOREPLACE (the target was checked free just before).
int renameNoReplace(const QByteArray& from, const QByteArray& to) {
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0) {
        return 0;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return errno;
    }
    struct stat st {};
    if (::lstat(to.constData(), &st) == 0) {
        return EEXIST;
    }
    return ::rename(from.constData(), to.constData()) == 0 ? 0 : errno;
}

} // namespace

QByteArray encodeTrashPath(const QByteArray& path) {
    return path.toPercentEncoding("/");
}

QString homeTrashPath() {
    QByteArray dataHome = qgetenv("XDG_DATA_HOME");
    if (!dataHome.startsWith('/')) {
        const QByteArray home = homeFolder();
        if (home.isEmpty()) {
            return {};
        }
        dataHome = joinPath(home, ".local/share");
    }
    return decodeFileName(joinPath(dataHome, "Trash"));
}

std::optional<QString> topdirTrashPath(const QString& topdir) {
    const QByteArray top = encodeFileName(topdir);
    const QByteArray uid = QByteArray::number(static_cast<qulonglong>(::getuid()));
    struct stat st {};
    const QByteArray shared = joinPath(top, ".Trash");
    if (::lstat(shared.constData(), &st) == 0 && S_ISDIR(st.st_mode) &&
        (st.st_mode & S_ISVTX) != 0) {
        const QByteArray mine = joinPath(shared, uid);
        if (ensureRealFolder(mine) && ::lstat(mine.constData(), &st) == 0 &&
            st.st_uid == ::getuid()) {
            return decodeFileName(mine);
        }
    }
    const QByteArray own = joinPath(top, ".Trash-" + uid);
    if (ensureRealFolder(own) && ::lstat(own.constData(), &st) == 0 && st.st_uid == ::getuid()) {
        return decodeFileName(own);
    }
    return std::nullopt;
}

TrashResult moveIntoTrash(const QString& path, const QString& trashDir, const QString& infoPath) {
    const QByteArray source = encodeFileName(path);
    const QByteArray trash = encodeFileName(trashDir);
    const QByteArray filesDir = joinPath(trash, "files");
    const QByteArray infoDir = joinPath(trash, "info");
    if (!makeFolders(trash) || !ensureRealFolder(filesDir) || !ensureRealFolder(infoDir)) {
        return failure(TrashError::NoTrash, errno);
    }
    struct stat st {};
    if (::lstat(source.constData(), &st) != 0) {
        return failure(TrashError::NotFound);
    }
    if (S_ISDIR(st.st_mode)) {
        return failure(TrashError::IsFolder);
    }
    const QByteArray name = source.mid(source.lastIndexOf('/') + 1);
    const QByteArray info = "[Trash Info]\nPath=" + encodeTrashPath(encodeFileName(infoPath)) +
                            "\nDeletionDate=" + deletionDate() + "\n";
    for (int n = 1; n <= MaxCollisions; ++n) {
        const QByteArray candidate = trashName(name, n);
        const QByteArray infoFile = joinPath(infoDir, candidate + InfoSuffix);
        const QByteArray target = joinPath(filesDir, candidate);
        const int fd = ::open(infoFile.constData(),
                              O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd < 0) {
            if (errno == EEXIST) {
                continue;
            }
            return failure(TrashError::InfoNotWritten, errno);
        }
        if (::lstat(target.constData(), &st) == 0) { // a file without its .trashinfo
            ::close(fd);
            ::unlink(infoFile.constData());
            continue;
        }
        const bool written = writeAll(fd, info);
        const int writeError = errno;
        if (::close(fd) != 0 || !written) {
            ::unlink(infoFile.constData());
            return failure(TrashError::InfoNotWritten, written ? errno : writeError);
        }
        const int moveError = renameNoReplace(source, target);
        if (moveError == 0) {
            TrashResult result;
            result.ok = true;
            result.trashedPath = decodeFileName(target);
            return result;
        }
        ::unlink(infoFile.constData());
        if (moveError != EEXIST) {
            return failure(moveError == ENOENT ? TrashError::NotFound : TrashError::MoveFailed,
                           moveError == ENOENT ? 0 : moveError);
        }
    }
    return failure(TrashError::InfoNotWritten, EEXIST);
}

TrashResult moveToTrash(const QString& path) {
    return moveToTrash(path, parseMountInfo(readMountInfo()));
}

TrashResult moveToTrash(const QString& path, const std::vector<MountEntry>& mounts) {
    QByteArray native = encodeFileName(path);
    if (native.isEmpty() || native.contains('\0')) {
        return failure(TrashError::BadPath);
    }
    struct stat st {};
    if (::lstat(native.constData(), &st) != 0) {
        return errno == ENOENT || errno == ENOTDIR ? failure(TrashError::NotFound)
                                                   : failure(TrashError::MoveFailed, errno);
    }
    if (S_ISDIR(st.st_mode)) {
        return failure(TrashError::IsFolder);
    }
    // The folder's canonical path, and the name itself (a symbolic link is trashed as a link).
    const qsizetype slash = native.lastIndexOf('/');
    const QByteArray name = native.mid(slash + 1);
    const QByteArray folder = slash < 0 ? QByteArray(".") : (slash == 0 ? "/" : native.left(slash));
    std::array<char, PATH_MAX> resolved{};
    if (name.isEmpty() || name == "." || name == ".." ||
        ::realpath(folder.constData(), resolved.data()) == nullptr) {
        return failure(TrashError::BadPath, errno);
    }
    const QByteArray canonicalFolder(resolved.data());
    const QByteArray absolute = joinPath(canonicalFolder, name);

    const QString fileMount = mountPointHolding(mounts, decodeFileName(canonicalFolder));
    const QByteArray homeTrash = encodeFileName(homeTrashPath());
    const QByteArray homeCanonical =
        homeTrash.isEmpty() ? QByteArray() : canonicalOrParent(homeTrash);
    if (!homeCanonical.isEmpty() &&
        mountPointHolding(mounts, decodeFileName(homeCanonical)) == fileMount) {
        if (!makeFolders(homeTrash)) {
            return failure(TrashError::NoTrash, errno);
        }
        TrashResult home = moveIntoTrash(decodeFileName(absolute), decodeFileName(homeTrash),
                                         decodeFileName(absolute));
        if (home.ok || home.systemError != EXDEV) {
            return home;
        }
    }
    const QByteArray topdir = encodeFileName(fileMount);
    const auto trash = topdirTrashPath(fileMount);
    if (!trash) {
        return failure(TrashError::NoTrash, errno);
    }
    const QByteArray relative = topdir == "/" ? absolute.mid(1) : absolute.mid(topdir.size() + 1);
    return moveIntoTrash(decodeFileName(absolute), *trash, decodeFileName(relative));
}

} // namespace zelvia::rt
