// Feeds raw bytes to the metafile loader and plays what it loads.
#include "draw_picture.h"
#include "formats/metafile/metafile_picture.h"
#include "gui_app.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    zelvia::fuzz::ensureGuiApplication();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    try {
        zelvia::fuzz::exercisePicture(zelvia::rt::loadMetafilePictureFromBytes(bytes));
    } catch (const zelvia::rt::RuntimeError&) {
    }
    return 0;
}
