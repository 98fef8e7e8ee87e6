#pragma once

#include <QByteArray>

namespace zelvia::rt::lookahead {

// Forks the small process that forks the look-ahead's readers. `main` calls it first, while the
// program is still one thread and a few megabytes: forking the grown window process for every
// neighbour cost each key several milliseconds, in the fork itself and then in copying every page
// the window thread wrote to. Without it (in tests), readers are forked from the caller.
void startReaderSpawner();

// Asks the spawner for a reader of `path` that writes to `out` (see serveFile). False when no
// spawner runs or it has gone; `out` stays the caller's either way.
bool spawnReader(const QByteArray& path, qint64 limit, int out);

} // namespace zelvia::rt::lookahead
