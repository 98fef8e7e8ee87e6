#include "app/module1.h"
#include "formats/imaging/raster_picture.h"
#include "platform/fs/drives.h"
#include "platform/qt_host.h"
#include "platform/toolkit_texts.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char** argv) {
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
    zelvia::Module1::Unload();
    zelvia::rt::setHost(nullptr);
    return status;
}
