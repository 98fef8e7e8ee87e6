#include "platform/clipboard.h"

#include "core/runtime_error.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <memory>

namespace zelvia::rt {

void Clipboard::Clear() {
    if (QClipboard* cb = QGuiApplication::clipboard()) {
        cb->clear();
    }
}

void Clipboard::SetData(const PicturePtr& picture) {
    QClipboard* cb = QGuiApplication::clipboard();
    if (!picture || picture->kind() == PictureKind::None || cb == nullptr) {
        throw RuntimeError(err::InvalidPicture, "no picture to place on the clipboard");
    }
    const QImage image = picture->fullImage();
    if (image.isNull()) {
        throw RuntimeError(err::InvalidPicture, "the picture has no pixels");
    }
    auto data = std::make_unique<QMimeData>();
    data->setImageData(image);
    const QByteArray original = picture->originalBytes();
    if (!original.isEmpty() && !picture->originalMimeType().isEmpty()) {
        data->setData(picture->originalMimeType(), original);
    }
    // Setting new data drops every format the clipboard held before.
    cb->setMimeData(data.release());
}

} // namespace zelvia::rt
