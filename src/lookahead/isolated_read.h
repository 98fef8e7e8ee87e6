#pragma once

#include <QByteArray>
#include <QString>
#include <optional>
#include <sys/stat.h>

namespace zelvia::rt::lookahead {

// A whole file and the fstat of the descriptor it was read through.
struct ReadFile {
    struct stat status {};
    QByteArray bytes;
};

// Reads the regular file `path` in a process of its own, all of it unchanged from start to end, so
// that a read that never returns (a mount that stopped answering) holds up that process only: this
// thread gives up as soon as its stop request is asked (throwing Stopped), and the program can
// always end. Empty when the file cannot be read, is no regular file, is larger than `limit` bytes
// or changed while read.
std::optional<ReadFile> readInOwnProcess(const QString& path, qint64 limit);

} // namespace zelvia::rt::lookahead
