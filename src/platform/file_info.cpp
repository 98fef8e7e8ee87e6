#include "platform/file_info.h"

#include "core/native_path.h"
#include "core/runtime_error.h"
#include "platform/fs/file_attributes.h"

#include <cerrno>
#include <sys/stat.h>

namespace zelvia::rt {

namespace {

struct stat statOrThrow(const QString& path) {
    struct stat st {};
    const QByteArray native = encodeFileName(path);
    if (native.isEmpty() || ::stat(native.constData(), &st) != 0) {
        throw RuntimeError(native.isEmpty() || errno == ENOENT || errno == ENOTDIR
                               ? err::FileNotFound
                               : err::PathAccess);
    }
    return st;
}

} // namespace

std::int64_t FileLen(const QString& path) {
    return static_cast<std::int64_t>(statOrThrow(path).st_size);
}

std::uint32_t GetAttr(const QString& path) {
    return fileAttributes(path);
}

QDateTime FileDateTime(const QString& path) {
    const struct stat st = statOrThrow(path);
    // Whole seconds, as the panel shows them.
    return QDateTime::fromSecsSinceEpoch(static_cast<qint64>(st.st_mtim.tv_sec));
}

} // namespace zelvia::rt
