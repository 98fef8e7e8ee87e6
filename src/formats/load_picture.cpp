#include "formats/load_picture.h"

#include "core/native_path.h"
#include "core/runtime_error.h"
#include "formats/imaging/raster_picture.h"
#include "formats/metafile/metafile_picture.h"

namespace zelvia::rt {

namespace {

// Enough of the start of a file to tell every supported format apart.
constexpr qint64 kSniffBytes = 64;

} // namespace

PicturePtr LoadPicture(const QString& path, PreparedImages* prepared) {
    if (path.isEmpty()) {
        return nullptr;
    }
    const ReadOnlyFile file(path);
    const QByteArray head = file.readAt(0, kSniffBytes);
    if (looksLikeRaster(head)) {
        PicturePtr picture = loadRasterPicture(file);
        if (prepared != nullptr) {
            prepared->adopt(picture, file);
        }
        return picture;
    }
    if (looksLikeMetafile(head)) {
        return loadMetafilePicture(file);
    }
    throw RuntimeError(err::InvalidPicture);
}

PicturePtr LoadPictureFromBytes(const QByteArray& bytes) {
    const QByteArrayView head(bytes.constData(), std::min<qsizetype>(bytes.size(), kSniffBytes));
    if (looksLikeRaster(head)) {
        return loadRasterPictureFromBytes(bytes);
    }
    if (looksLikeMetafile(head)) {
        return loadMetafilePictureFromBytes(bytes);
    }
    throw RuntimeError(err::InvalidPicture);
}

} // namespace zelvia::rt
