#include "runtime/imaging/formats.h"
#include "runtime/imaging/jpeg_dc_scan.h"
#include "runtime/imaging/le_bytes.h"
#include "runtime/imaging/raster_base.h"
#include "runtime/runtime_error.h"

#include <algorithm>
#include <memory>
#include <turbojpeg.h>

namespace zelvia::rt::imaging {

namespace {

// What the frame header says, found by walking the markers before the first scan.
struct JpegHeader {
    QSize size;
    int components = 0;
    bool progressive = false;
    bool adobe = false; // an Adobe APP14 segment: CMYK is stored inverted
};

[[noreturn]] void invalid(const char* why) {
    throw RuntimeError(err::InvalidPicture, std::string("invalid JPEG: ") + why);
}

// Long by nature: one branch per marker kind.
// NOLINTNEXTLINE(readability-function-cognitive-complexity)
JpegHeader readJpegHeader(const ByteSource& source) {
    JpegHeader header;
    qint64 pos = 2;
    const qint64 end = source.size();
    // Each pass consumes at least one byte; the bound only stops absurd marker chains early.
    for (int guard = 0; guard < 100000 && pos < end; ++guard) {
        const QByteArray m = source.readAt(pos, 4);
        if (m.size() < 2) {
            break;
        }
        if (static_cast<unsigned char>(m[0]) != 0xFF) {
            ++pos; // tolerate stray bytes between segments, as decoders do
            continue;
        }
        const auto marker = static_cast<unsigned char>(m[1]);
        if (marker == 0xFF) {
            ++pos; // fill byte
            continue;
        }
        if (marker == 0x01 || marker == 0xD8 || (marker >= 0xD0 && marker <= 0xD7)) {
            pos += 2;
            continue;
        }
        if (marker == 0xD9 || marker == 0xDA) {
            break; // image end or first scan before any frame header
        }
        const qint64 length = be16(m, 2);
        if (m.size() < 4 || length < 2) {
            break;
        }
        const bool sof =
            marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (sof) {
            const QByteArray f = source.readAt(pos + 4, 6);
            if (f.size() < 6) {
                invalid("truncated frame header");
            }
            // Baseline, extended, progressive; Huffman or arithmetic. Lossless and
            // hierarchical frames are not decoded.
            if (marker != 0xC0 && marker != 0xC1 && marker != 0xC2 && marker != 0xC9 &&
                marker != 0xCA) {
                invalid("unsupported coding process");
            }
            if (byteAt(f, 0) != 8) {
                invalid("only 8-bit samples are supported");
            }
            header.size = QSize(be16(f, 3), be16(f, 1));
            header.components = static_cast<int>(byteAt(f, 5));
            header.progressive = marker == 0xC2 || marker == 0xCA;
            if (header.size.isEmpty()) {
                invalid("zero size");
            }
            if (header.components != 1 && header.components != 3 && header.components != 4) {
                invalid("unsupported component count");
            }
            return header;
        }
        if (marker == 0xEE && length >= 7) {
            header.adobe = source.readAt(pos + 4, 5) == "Adobe";
        }
        pos += 2 + length;
    }
    invalid("no frame header");
}

struct TjHandleDeleter {
    void operator()(void* h) const { tjDestroy(h); }
};

class JpegPicture final : public RasterPictureBase {
public:
    JpegPicture(ByteSourcePtr source, JpegHeader header)
        : RasterPictureBase(PictureKind::Bitmap, header.size), source_(std::move(source)),
          header_(header) {}

protected:
    [[nodiscard]] QImage decodeFull() const override { return decode(pixelSize()); }
    [[nodiscard]] QImage decodeFor(QSize needed) const override { return decode(needed); }

private:
    // Decodes at the smallest DCT scaling factor that still covers `needed`.
    QImage decode(QSize needed) const {
        if (header_.progressive) {
            // Progressive decoding keeps every coefficient of the full image.
            checkDecodeLimit(
                QSize(pixelSize().width(), pixelSize().height() * header_.components / 2));
        }
        const QByteArray data = readWhole(*source_);
        if (header_.progressive) {
            if (std::optional<QImage> small = decodeFirstDcScan(data, needed)) {
                return *std::move(small);
            }
        }
        const std::unique_ptr<void, TjHandleDeleter> tj(tjInitDecompress());
        if (!tj) {
            throw RuntimeError(err::TooLarge, "cannot start the JPEG decoder");
        }
        int width = 0;
        int height = 0;
        int subsampling = 0;
        int colorspace = 0;
        auto* bytes = reinterpret_cast<unsigned char*>(const_cast<char*>(data.constData()));
        const auto length = static_cast<unsigned long>(data.size());
        // Stray bytes between markers only raise a warning; the header is still usable.
        if (tjDecompressHeader3(tj.get(), bytes, length, &width, &height, &subsampling,
                                &colorspace) != 0 &&
            (tjGetErrorCode(tj.get()) != TJERR_WARNING || width <= 0 || height <= 0)) {
            throw RuntimeError(err::InvalidPicture,
                               std::string("invalid JPEG: ") + tjGetErrorStr2(tj.get()));
        }
        const QSize scaled = scaledSize(QSize(width, height), needed);
        checkDecodeLimit(scaled);
        const bool cmyk = colorspace == TJCS_CMYK || colorspace == TJCS_YCCK;
        // Cleared to zero: the decoder sets the fourth byte of every RGB pixel it writes to
        // 0xFF, which tells rows it wrote from rows it never reached.
        QImage image(scaled, QImage::Format_ARGB32);
        if (image.isNull()) {
            throw RuntimeError(err::TooLarge);
        }
        image.fill(0);
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
        const int rgbFormat = TJPF_BGRX;
#else
        const int rgbFormat = TJPF_XRGB;
#endif
        const int rc = tjDecompress2(tj.get(), bytes, length, image.bits(), scaled.width(),
                                     static_cast<int>(image.bytesPerLine()), scaled.height(),
                                     cmyk ? TJPF_CMYK : rgbFormat, TJFLAG_LIMITSCANS);
        // Warnings (data ending early, a corrupt stretch) leave a usable partial image. The
        // error code is not to be trusted there: after a warning, a fatal error is reported
        // as a warning too. So the rows decoded decide.
        if (rc != 0 &&
            (tjGetErrorCode(tj.get()) != TJERR_WARNING || (!cmyk && !fillRowsNotDecoded(image)))) {
            throw RuntimeError(err::InvalidPicture,
                               std::string("damaged JPEG: ") + tjGetErrorStr2(tj.get()));
        }
        if (cmyk) {
            convertCmyk(image);
        }
        image.reinterpretAsFormat(QImage::Format_RGB32);
        return image;
    }

    // Greys the rows the decoder never wrote; false when it wrote none at all.
    static bool fillRowsNotDecoded(QImage& image) {
        bool any = false;
        for (int y = 0; y < image.height(); ++y) {
            auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
            if (qAlpha(row[0]) == 0xFF) {
                any = true;
                continue;
            }
            std::fill(row, row + image.width(), qRgb(128, 128, 128));
        }
        return any;
    }

    static QSize scaledSize(QSize full, QSize needed) {
        int count = 0;
        const tjscalingfactor* factors = tjGetScalingFactors(&count);
        QSize best = full;
        for (int i = 0; factors != nullptr && i < count; ++i) {
            const tjscalingfactor f = factors[i];
            if (f.num > f.denom) {
                continue;
            }
            const QSize s(TJSCALED(full.width(), f), TJSCALED(full.height(), f));
            if (s.width() >= needed.width() && s.height() >= needed.height() &&
                qint64{s.width()} * s.height() < qint64{best.width()} * best.height()) {
                best = s;
            }
        }
        return best;
    }

    // Four samples per pixel, in place. Adobe files store the inks inverted.
    void convertCmyk(QImage& image) const {
        for (int y = 0; y < image.height(); ++y) {
            uchar* p = image.scanLine(y);
            for (int x = 0; x < image.width(); ++x, p += 4) {
                int c = p[0];
                int m = p[1];
                int ye = p[2];
                int k = p[3];
                if (!header_.adobe) {
                    c = 255 - c;
                    m = 255 - m;
                    ye = 255 - ye;
                    k = 255 - k;
                }
                reinterpret_cast<QRgb*>(p)[0] =
                    qRgb((c * k + 127) / 255, (m * k + 127) / 255, (ye * k + 127) / 255);
            }
        }
    }

    ByteSourcePtr source_;
    JpegHeader header_;
};

} // namespace

PicturePtr loadJpeg(const ByteSourcePtr& source, QByteArrayView /*head*/) {
    return std::make_shared<JpegPicture>(source, readJpegHeader(*source));
}

} // namespace zelvia::rt::imaging
