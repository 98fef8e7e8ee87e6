#include "runtime/clipboard.h"

#include "runtime/runtime_error.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace zelvia::rt {

void Clipboard::Clear() {
    if (QClipboard* cb = QGuiApplication::clipboard()) {
        cb->clear();
    }
}

void Clipboard::SetData(const PicturePtr& picture) {
    QClipboard* cb = QGuiApplication::clipboard();
    if (!picture || cb == nullptr) {
        throw RuntimeError(err::InvalidPicture);
    }
    const QImage image = picture->fullImage();
    if (image.isNull()) {
        throw RuntimeError(err::InvalidPicture);
    }
    auto* data = new QMimeData;
    data->setImageData(image);
    const QByteArray original = picture->originalBytes();
    if (!original.isEmpty() && !picture->originalMimeType().isEmpty()) {
        data->setData(picture->originalMimeType(), original);
    }
    cb->setMimeData(data);
}

} // namespace zelvia::rt
