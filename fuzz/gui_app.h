#pragma once

#include "formats/imaging/raster_picture.h"
#include "quiet_qt.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QImageReader>
#include <cstdlib>

namespace zelvia::fuzz {

// Metafiles draw text, and fonts need a GUI application; the offscreen platform needs no
// display. Created once and kept for the whole run.
inline void ensureGuiApplication() {
    if (QGuiApplication::instance() != nullptr) {
        return;
    }
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static int argc = 1;
    static char name[] = "fuzz";
    static char* argv[] = {name, nullptr};
    static QGuiApplication* app = new QGuiApplication(argc, argv);
    (void)app;
    silenceQtMessages();
    // The ceiling the program sets at start-up (limitImageReaders).
    QImageReader::setAllocationLimit(rt::kImageReaderLimitMiB);
    // Load the font database now, not inside the first input that draws text.
    (void)QFontDatabase::families();
}

} // namespace zelvia::fuzz
