#pragma once

// Small helpers for tests that build folders of files with arbitrary byte names.

#include "core/native_path.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QTemporaryDir>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <unistd.h>

namespace zelvia::test {

inline QByteArray join(const QString& folder, const QByteArray& name) {
    return rt::encodeFileName(folder) + '/' + name;
}

// Creates (or truncates) a file with the given raw name; returns false on failure.
inline bool makeFile(const QString& folder, const QByteArray& name, const QByteArray& data = "x") {
    const int fd = ::open(join(folder, name).constData(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
    if (fd < 0) {
        return false;
    }
    const bool ok = ::write(fd, data.constData(), static_cast<size_t>(data.size())) == data.size();
    return ::close(fd) == 0 && ok;
}

inline QByteArray readBytes(const QByteArray& path) {
    QByteArray out;
    const int fd = ::open(path.constData(), O_RDONLY);
    if (fd < 0) {
        return out;
    }
    char buffer[4096];
    ssize_t got = 0;
    while ((got = ::read(fd, buffer, sizeof buffer)) > 0) {
        out.append(buffer, static_cast<qsizetype>(got));
    }
    ::close(fd);
    return out;
}

// Names in a folder, read as bytes (QDir skips names that are not valid UTF-8).
inline QList<QByteArray> namesIn(const QString& folder) {
    QList<QByteArray> names;
    DIR* dir = ::opendir(rt::encodeFileName(folder).constData());
    if (dir == nullptr) {
        return names;
    }
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (name != "." && name != "..") {
            names.append(name);
        }
    }
    ::closedir(dir);
    return names;
}

// A temporary folder removed byte-exactly, also when it holds names QDir cannot express.
class ScratchDir {
public:
    ScratchDir() = default;
    explicit ScratchDir(const QString& pattern) : dir_(pattern) {}
    ~ScratchDir() {
        if (dir_.isValid()) {
            ::nftw(
                rt::encodeFileName(dir_.path()).constData(),
                [](const char* path, const struct stat*, int, FTW*) { return ::remove(path); }, 16,
                FTW_DEPTH | FTW_PHYS);
        }
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    [[nodiscard]] bool isValid() const { return dir_.isValid(); }
    [[nodiscard]] QString path() const { return dir_.path(); }
    [[nodiscard]] QString filePath(const QString& name) const { return dir_.filePath(name); }

private:
    QTemporaryDir dir_;
};

} // namespace zelvia::test
