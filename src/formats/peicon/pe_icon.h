#pragma once

#include <QByteArrayView>
#include <QImage>
#include <QString>

namespace zelvia::rt {

// The large icon of a Windows executable or library (PE32 or PE32+): the 32x32 image of its
// first icon group, or the image nearest that size. Returns a null image when the file has no
// icon, is no PE image, or is damaged anywhere on the way; never reads outside the file.
QImage extractLargeIcon(QByteArrayView file);

// The same for a file on disk. Reads only the headers and the resources needed, and returns a
// null image when the file cannot be opened or read.
QImage extractLargeIconFromFile(const QString& path);

} // namespace zelvia::rt
