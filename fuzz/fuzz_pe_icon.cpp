// Feeds raw bytes to the executable icon reader.
#include "formats/peicon/pe_icon.h"
#include "quiet_qt.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    zelvia::fuzz::silenceQtMessages();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArrayView bytes(data, static_cast<qsizetype>(size));
    const QImage icon = zelvia::rt::extractLargeIcon(bytes);
    // Touch every pixel so a wrongly sized image shows up under the sanitizers.
    if (!icon.isNull()) {
        volatile QRgb sink = 0;
        for (int y = 0; y < icon.height(); ++y) {
            const auto* line = reinterpret_cast<const QRgb*>(icon.constScanLine(y));
            for (int x = 0; x < icon.width(); ++x) {
                sink = sink ^ line[x];
            }
        }
    }
    return 0;
}
