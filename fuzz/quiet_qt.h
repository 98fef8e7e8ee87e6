#pragma once

#include <QtGlobal>

namespace zelvia::fuzz {

// Damaged inputs make Qt's decoders warn on every run; printing that slows the fuzzer down
// and buries its own output.
inline void silenceQtMessages() {
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
}

} // namespace zelvia::fuzz
