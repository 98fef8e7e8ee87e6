#include "app/module1.h"
#include "formats/imaging/raster_picture.h"
#include "lookahead/reader_spawner.h"
#include "platform/fs/drives.h"
#include "platform/qt_host.h"
#include "platform/toolkit_texts.h"

#include <QApplication>
#include <QIcon>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    zelvia::rt::lookahead::startReaderSpawner();
    QApplication app(argc, argv);
    zelvia::rt::limitImageReaders();
    QApplication::setApplicationName(QStringLiteral("Zelvia"));
    QApplication::setDesktopFileName(QStringLiteral("io.github.zelvia.Zelvia"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/zelvia.png")));
    zelvia::rt::installToolkitTexts();

    zelvia::rt::QtHost host;
    zelvia::rt::setHost(&host);

    zelvia::rt::SystemDriveSource drives;
    zelvia::Module1::Main(drives);
    const int status = QApplication::exec();
    const bool workersEnded = zelvia::Module1::Unload();
    zelvia::rt::setHost(nullptr);
    // End here, without tearing the application object down, when that could hang:
    // - a worker stuck in a read holds objects that destructors would wait for or free under it;
    // - Qt's Wayland client can deadlock closing its connection (its event thread waits for a
    //   read the main thread prepared and never finishes), which left the program running after
    //   its window had gone; the compositor forgets the window with the connection anyway.
    // Nothing is left to save.
    if (!workersEnded || QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) {
        (void)std::fflush(nullptr);
        std::_Exit(status);
    }
    return status;
}
