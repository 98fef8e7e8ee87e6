#include "core/runtime_error.h"
#include "formats/imaging/dib_decoder.h"
#include "formats/imaging/dib_info.h"
#include "formats/imaging/formats.h"
#include "formats/imaging/le_bytes.h"
#include "formats/imaging/raster_base.h"

#include <algorithm>

namespace zelvia::rt::imaging {

namespace {

class BmpPicture final : public RasterPictureBase {
public:
    BmpPicture(ByteSourcePtr source, DibInfo info)
        : RasterPictureBase(PictureKind::Bitmap, QSize(info.width, info.height)),
          source_(std::move(source)), info_(std::move(info)) {}

protected:
    [[nodiscard]] QImage decodeFull() const override {
        FullImageSink sink(info_.width, info_.height);
        decode(sink);
        return std::move(sink).image();
    }

    // Rows are averaged into the reduced size as they are read, so a large bitmap shown
    // small never exists at full size in memory.
    [[nodiscard]] QImage decodeFor(QSize needed) const override {
        return decodeRegion(QRect(QPoint(0, 0), pixelSize()), needed);
    }
    [[nodiscard]] QImage decodeRegion(QRect region, QSize needed) const override {
        return reduceRegion(pixelSize(), region, needed, false,
                            [this](RowSink& sink, int /*lastRow*/) { decode(sink); });
    }

private:
    void decode(RowSink& sink) const {
        if (decodeDibPixels(*source_, info_, sink) == 0) {
            throw RuntimeError(err::InvalidPicture, "bitmap has no pixel data");
        }
    }

    ByteSourcePtr source_;
    DibInfo info_;
};

} // namespace

PicturePtr loadBmp(const ByteSourcePtr& source, QByteArrayView head) {
    const qint64 offBits = le32(head, 10);
    DibInfo info = parseDibHeader(head, 14, offBits, source->size(), DibContext::File);
    if (info.pixelOffset >= source->size()) {
        throw RuntimeError(err::InvalidPicture, "bitmap has no pixel data");
    }
    return std::make_shared<BmpPicture>(source, std::move(info));
}

} // namespace zelvia::rt::imaging
