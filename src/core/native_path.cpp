#include "core/native_path.h"

#include "core/runtime_error.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zelvia::rt {

namespace {

// Length of the valid UTF-8 sequence starting at s[i], or 0 when it is not valid.
qsizetype validUtf8Length(const QByteArray& s, qsizetype i) {
    const auto byte = [&](qsizetype k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char c = byte(i);
    const qsizetype n = s.size();
    if (c < 0x80) {
        return 1;
    }
    qsizetype len = 0;
    char32_t cp = 0;
    if (c >= 0xC2 && c <= 0xDF) {
        len = 2;
        cp = c & 0x1Fu;
    } else if (c >= 0xE0 && c <= 0xEF) {
        len = 3;
        cp = c & 0x0Fu;
    } else if (c >= 0xF0 && c <= 0xF4) {
        len = 4;
        cp = c & 0x07u;
    } else {
        return 0;
    }
    if (i + len > n) {
        return 0;
    }
    for (qsizetype k = 1; k < len; ++k) {
        const unsigned char cc = byte(i + k);
        if ((cc & 0xC0u) != 0x80u) {
            return 0;
        }
        cp = (cp << 6) | (cc & 0x3Fu);
    }
    const bool overlong = (len == 3 && cp < 0x800) || (len == 4 && cp < 0x10000);
    const bool surrogate = cp >= 0xD800 && cp <= 0xDFFF;
    if (overlong || surrogate || cp > 0x10FFFF) {
        return 0;
    }
    return len;
}

} // namespace

QString decodeFileName(const QByteArray& bytes) {
    QString out;
    out.reserve(bytes.size());
    qsizetype i = 0;
    while (i < bytes.size()) {
        const qsizetype len = validUtf8Length(bytes, i);
        if (len == 0) {
            out.append(
                QChar(static_cast<char16_t>(0xDC00u + static_cast<unsigned char>(bytes[i]))));
            ++i;
        } else {
            out.append(QString::fromUtf8(bytes.constData() + i, len));
            i += len;
        }
    }
    return out;
}

QByteArray encodeFileName(const QString& name) {
    QByteArray out;
    out.reserve(name.size());
    qsizetype start = 0;
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t u = name[i].unicode();
        const bool escaped = u >= 0xDC80 && u <= 0xDCFF &&
                             (i == 0 || !QChar::isHighSurrogate(name[i - 1].unicode()));
        if (escaped) {
            out.append(name.mid(start, i - start).toUtf8());
            out.append(static_cast<char>(u - 0xDC00));
            start = i + 1;
        }
    }
    out.append(name.mid(start).toUtf8());
    return out;
}

QString parentFolderOf(const QString& path) {
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash <= 0 ? QStringLiteral("/") : path.left(slash);
}

QString displayFileName(const QString& name) {
    QString out = name;
    for (qsizetype i = 0; i < out.size(); ++i) {
        const char16_t u = out[i].unicode();
        if (u >= 0xDC80 && u <= 0xDCFF && (i == 0 || !out[i - 1].isHighSurrogate())) {
            out[i] = QChar(QChar::ReplacementCharacter);
        }
    }
    return out;
}

ReadOnlyFile::ReadOnlyFile(const QString& path) {
    const QByteArray native = encodeFileName(path);
    if (native.isEmpty()) {
        throw RuntimeError(err::FileNotFound);
    }
    fd_ = ::open(native.constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd_ < 0) {
        throw RuntimeError(errno == ENOENT || errno == ENOTDIR ? err::FileNotFound
                                                               : err::PathAccess);
    }
    if (::fstat(fd_, &status_) != 0 || !S_ISREG(status_.st_mode)) {
        ::close(fd_);
        fd_ = -1;
        throw RuntimeError(err::PathAccess);
    }
    size_ = static_cast<qint64>(status_.st_size);
}

ReadOnlyFile::~ReadOnlyFile() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

QByteArray preadFully(int fd, qint64 offset, qint64 length) {
    QByteArray out;
    if (length <= 0 || offset < 0) {
        return out;
    }
    out.resize(static_cast<qsizetype>(length));
    qint64 done = 0;
    while (done < length) {
        const ssize_t got = ::pread(fd, out.data() + done, static_cast<size_t>(length - done),
                                    static_cast<off_t>(offset + done));
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            throw RuntimeError(err::PathAccess);
        }
        if (got == 0) {
            break; // the end of the file, which may have shrunk since it was opened
        }
        done += got;
    }
    out.resize(static_cast<qsizetype>(done));
    return out;
}

QByteArray ReadOnlyFile::readAt(qint64 offset, qint64 length) const {
    return preadFully(fd_, offset, length);
}

QByteArray ReadOnlyFile::readAll(qint64 limit) const {
    if (size_ > limit) {
        throw RuntimeError(err::TooLarge);
    }
    return readAt(0, size_);
}

} // namespace zelvia::rt
