#include "core/runtime_error.h"
#include "formats/imaging/formats.h"
#include "formats/imaging/jpeg_dc_scan.h"
#include "formats/imaging/jpeg_limits.h"
#include "formats/imaging/le_bytes.h"
#include "formats/imaging/raster_base.h"
#include "formats/imaging/work_budget.h"

#include <algorithm>
#include <array>
#include <csetjmp>
#include <cstdio>
#include <exception>
#include <vector>
// clang-format off: jpeglib.h needs stdio first
#include <jerror.h>
#include <jpeglib.h>
// clang-format on

namespace zelvia::rt::imaging {

namespace {

// What the frame header says, found by walking the markers up to the first scan.
struct JpegHeader {
    QSize size;
    int components = 0;
    bool progressive = false;
    bool adobe = false; // an Adobe APP14 segment: CMYK is stored inverted
    int firstScanComponents = 0;
    std::array<int, 4> h{}; // sampling factors
    std::array<int, 4> v{};
};

[[noreturn]] void invalid(const char* why) {
    throw RuntimeError(err::InvalidPicture, std::string("invalid JPEG: ") + why);
}

void readFrame(const ByteSource& source, qint64 pos, int marker, JpegHeader& header) {
    const QByteArray f = source.readAt(pos + 4, 6 + 3 * 4);
    if (f.size() < 6) {
        invalid("truncated frame header");
    }
    // Baseline, extended, progressive; Huffman or arithmetic. Lossless and hierarchical
    // frames are not decoded.
    if (marker != 0xC0 && marker != 0xC1 && marker != 0xC2 && marker != 0xC9 && marker != 0xCA) {
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
    for (int c = 0; c < header.components; ++c) {
        const auto factors = byteAt(f, 6 + 3 * c + 1);
        const auto i = static_cast<size_t>(c);
        header.h[i] = std::max(1, static_cast<int>(factors >> 4));
        header.v[i] = std::max(1, static_cast<int>(factors & 15u));
    }
}

// Long by nature: one branch per marker kind.
// NOLINTNEXTLINE(readability-function-cognitive-complexity)
JpegHeader readJpegHeader(const ByteSource& source) {
    JpegHeader header;
    qint64 pos = 2;
    const qint64 end = source.size();
    // Each pass consumes at least one byte; the bound only stops absurd marker chains early.
    for (int guard = 0; guard < 100000 && pos < end; ++guard) {
        const QByteArray m = source.readAt(pos, 5);
        if (m.size() < 2) {
            break;
        }
        if (static_cast<unsigned char>(m[0]) != 0xFF) {
            ++pos; // tolerate stray bytes between segments, as decoders do
            continue;
        }
        const auto marker = static_cast<int>(byteAt(m, 1));
        if (marker == 0xFF) {
            ++pos; // fill byte
            continue;
        }
        if (marker == 0x01 || marker == 0xD8 || (marker >= 0xD0 && marker <= 0xD7)) {
            pos += 2;
            continue;
        }
        if (marker == 0xD9) {
            break;
        }
        if (marker == 0xDA) {
            if (header.components == 0) {
                break; // a scan before any frame header
            }
            header.firstScanComponents = static_cast<int>(byteAt(m, 4));
            return header;
        }
        const qint64 length = be16(m, 2);
        if (m.size() < 4 || length < 2) {
            break;
        }
        const bool sof =
            marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (sof && header.components == 0) {
            readFrame(source, pos, marker, header);
        }
        if (marker == 0xEE && length >= 7) {
            header.adobe = source.readAt(pos + 4, 5) == "Adobe";
        }
        pos += 2 + length;
    }
    if (header.components == 0) {
        invalid("no frame header");
    }
    return header; // no scan: the decoder reports the damage when drawn
}

// The whole-image coefficient buffers the decoder keeps for a file of several scans: one
// block of 64 two-byte coefficients per 8 x 8 samples of every component.
qint64 coefficientBytes(const JpegHeader& header) {
    const int hMax = *std::max_element(header.h.begin(), header.h.begin() + header.components);
    const int vMax = *std::max_element(header.v.begin(), header.v.begin() + header.components);
    // Rounded up to whole MCUs, as the decoder allocates them.
    const qint64 mcusAcross = (header.size.width() + 8 * qint64{hMax} - 1) / (8 * qint64{hMax});
    const qint64 mcusDown = (header.size.height() + 8 * qint64{vMax} - 1) / (8 * qint64{vMax});
    qint64 blocks = 0;
    for (size_t c = 0; c < static_cast<size_t>(header.components); ++c) {
        blocks += mcusAcross * header.h[c] * mcusDown * header.v[c];
    }
    return blocks * 64 * 2;
}

bool isMultiScan(const JpegHeader& header) {
    return header.progressive ||
           (header.firstScanComponents > 0 && header.firstScanComponents < header.components);
}

// libjpeg reports errors through a callback that must not return; it jumps back into the
// decoding function, whose frames hold nothing that needs destroying.
struct ErrorManager {
    jpeg_error_mgr pub{};
    std::jmp_buf jump{};
    int scanLimitHit = 0;
};

[[noreturn]] void errorExit(j_common_ptr cinfo) {
    auto* e = reinterpret_cast<ErrorManager*>(cinfo->err);
    // An exception cannot cross libjpeg's C frames, which carry no unwind tables.
    std::longjmp(e->jump, 1); // NOLINT(cert-err52-cpp)
}

void silentOutput(j_common_ptr /*cinfo*/) {}

// Stops files with absurdly many progressive scans, each of which costs a pass over every
// coefficient.
constexpr int kMaxScans = 500;

// Counts the decoder's work as it reads: the blocks of every scan, charged per row of MCUs,
// since a scan whose blocks carry almost no data still costs a pass over its blocks. Past the
// budget, or when the thread is asked to stop, it leaves through the error manager's jump: an
// exception cannot cross libjpeg's frames.
struct ProgressMonitor {
    enum class Ended { No, Budget, Stop };
    jpeg_progress_mgr pub{};
    qint64 blocksLeft = kJpegWork;
    int scan = -1;
    JDIMENSION rowsCharged = 0;
    qint64 blocksPerRow = 0;
    Ended ended = Ended::No;
};

void progressMonitor(j_common_ptr cinfo) {
    auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
    auto* p = reinterpret_cast<ProgressMonitor*>(cinfo->progress);
    if (d->input_scan_number > kMaxScans) {
        reinterpret_cast<ErrorManager*>(cinfo->err)->scanLimitHit = 1;
        errorExit(cinfo);
    }
    if (d->input_scan_number != p->scan) {
        p->scan = d->input_scan_number;
        p->rowsCharged = 0;
        p->blocksPerRow = 0;
        for (int i = 0; i < d->comps_in_scan; ++i) {
            const jpeg_component_info* c = d->cur_comp_info[i];
            p->blocksPerRow += qint64{c->width_in_blocks} * c->v_samp_factor;
        }
    }
    if (d->input_iMCU_row > p->rowsCharged) {
        p->blocksLeft -= qint64{d->input_iMCU_row - p->rowsCharged} * p->blocksPerRow;
        p->rowsCharged = d->input_iMCU_row;
    }
    if (p->blocksLeft < 0) {
        p->ended = ProgressMonitor::Ended::Budget;
        errorExit(cinfo);
    }
    if (stopRequested()) {
        p->ended = ProgressMonitor::Ended::Stop;
        errorExit(cinfo);
    }
}

// Feeds the decoder from the byte source in chunks; the file is never read whole.
struct SourceManager {
    jpeg_source_mgr pub{};
    ChunkReader* reader = nullptr;
    std::array<JOCTET, 65536> buffer{};
    bool ended = false;
    std::exception_ptr failure; // a read that failed, raised again once libjpeg is left
};

void initSource(j_decompress_ptr /*cinfo*/) {}

boolean fillInputBuffer(j_decompress_ptr cinfo) {
    auto* src = reinterpret_cast<SourceManager*>(cinfo->src);
    qint64 got = 0;
    try {
        got = src->reader->read(src->buffer.data(), static_cast<qint64>(src->buffer.size()));
    } catch (const RuntimeError&) {
        src->failure = std::current_exception();
    }
    if (src->failure) {
        errorExit(reinterpret_cast<j_common_ptr>(cinfo));
    }
    if (got <= 0) {
        // Data ending early: an end marker, so what was decoded stays usable.
        WARNMS(cinfo, JWRN_JPEG_EOF);
        src->buffer[0] = 0xFF;
        src->buffer[1] = JPEG_EOI;
        src->pub.bytes_in_buffer = 2;
        src->ended = true;
    } else {
        src->pub.bytes_in_buffer = static_cast<size_t>(got);
    }
    src->pub.next_input_byte = src->buffer.data();
    return TRUE;
}

void skipInputData(j_decompress_ptr cinfo, long count) {
    auto* src = reinterpret_cast<SourceManager*>(cinfo->src);
    if (count <= 0) {
        return;
    }
    auto n = static_cast<size_t>(count);
    while (n > src->pub.bytes_in_buffer) {
        n -= src->pub.bytes_in_buffer;
        src->pub.bytes_in_buffer = 0;
        (void)fillInputBuffer(cinfo);
        if (src->ended) {
            return;
        }
    }
    src->pub.next_input_byte += n;
    src->pub.bytes_in_buffer -= n;
}

void termSource(j_decompress_ptr /*cinfo*/) {}

// One decoding run: the decoder's state, the rows it produced and how it ended.
struct JpegRun {
    jpeg_decompress_struct cinfo{};
    ErrorManager error;
    SourceManager source;
    ProgressMonitor progress;
    std::vector<QRgb> row;
    int rowsDelivered = 0;
    bool cmyk = false;
    bool adobe = false;
    int stopAfter = 0; // rows after which the caller needs no more
    QSize loaded;      // the size the picture was loaded with
    bool otherSize = false;
};

void deliverRow(JpegRun& run, RowSink& sink) {
    auto* p = reinterpret_cast<uchar*>(run.row.data());
    if (run.cmyk) {
        // Four samples per pixel, in place. Adobe files store the inks inverted.
        for (size_t x = 0; x < run.row.size(); ++x, p += 4) {
            int c = p[0];
            int m = p[1];
            int y = p[2];
            int k = p[3];
            if (!run.adobe) {
                c = 255 - c;
                m = 255 - m;
                y = 255 - y;
                k = 255 - k;
            }
            run.row[x] = qRgb((c * k + 127) / 255, (m * k + 127) / 255, (y * k + 127) / 255);
        }
    }
    sink.putRow(run.rowsDelivered, run.row.data());
    ++run.rowsDelivered;
}

// Reads the header, starts the decoder at `scale`/8 and passes rows on until the end or until
// the caller has what it needs. Errors leave through the error manager's jump.
void decodeRows(JpegRun& run, RowSink& sink, unsigned scale) {
    j_decompress_ptr cinfo = &run.cinfo;
    jpeg_read_header(cinfo, TRUE);
    if (QSize(static_cast<int>(cinfo->image_width), static_cast<int>(cinfo->image_height)) !=
        run.loaded) {
        // Not the picture that was loaded: its rows would not fill the image made for it.
        run.otherSize = true;
        errorExit(reinterpret_cast<j_common_ptr>(cinfo));
    }
    cinfo->scale_num = scale;
    cinfo->scale_denom = 8;
    run.cmyk = cinfo->jpeg_color_space == JCS_CMYK || cinfo->jpeg_color_space == JCS_YCCK;
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
    cinfo->out_color_space = run.cmyk ? JCS_CMYK : JCS_EXT_BGRX;
#else
    cinfo->out_color_space = run.cmyk ? JCS_CMYK : JCS_EXT_XRGB;
#endif
    const bool oneScan = jpeg_has_multiple_scans(cinfo) == FALSE;
    jpeg_start_decompress(cinfo);
    run.row.assign(cinfo->output_width, 0);
    auto* rowPointer = reinterpret_cast<JSAMPROW>(run.row.data());
    // A single scan decodes as it reads: once its data has ended, only the rows still
    // buffered carry pixels, and the rest need not be worked out one by one.
    int rowsAfterEnd = 2 * cinfo->max_v_samp_factor * cinfo->min_DCT_scaled_size;
    while (cinfo->output_scanline < cinfo->output_height && run.rowsDelivered < run.stopAfter) {
        // A marker other than a restart stops the entropy decoder: the scan's data ended.
        const int marker = cinfo->unread_marker;
        const bool dataEnded =
            run.source.ended || (marker != 0 && (marker < JPEG_RST0 || marker > JPEG_RST0 + 7));
        if (oneScan && dataEnded && rowsAfterEnd-- <= 0) {
            break;
        }
        if (jpeg_read_scanlines(cinfo, &rowPointer, 1) != 1) {
            break;
        }
        deliverRow(run, sink);
    }
}

// Returns 0 when decoding ran to the end or had enough rows, otherwise the libjpeg message
// code of the failure; rows delivered before it stay in the sink.
int runDecoder(JpegRun& run, RowSink& sink, unsigned scale) {
    if (setjmp(run.error.jump) != 0) { // NOLINT(cert-err52-cpp): see errorExit
        return run.error.pub.msg_code == 0 ? -1 : run.error.pub.msg_code;
    }
    decodeRows(run, sink, scale);
    return 0;
}

class JpegPicture final : public RasterPictureBase {
public:
    JpegPicture(ByteSourcePtr source, JpegHeader header)
        : RasterPictureBase(PictureKind::Bitmap, header.size), source_(std::move(source)),
          header_(header) {}

protected:
    [[nodiscard]] QImage decodeFull() const override { return decodeFor(pixelSize()); }
    [[nodiscard]] QImage decodeFor(QSize needed) const override {
        if (std::optional<QImage> small = fromFirstDcScan(needed)) {
            return *std::move(small);
        }
        const unsigned scale = scaleFor(needed);
        const QSize scaled = scaledSize(scale);
        // Kept whole for smooth scaling when the DCT came close; reduced row by row into the
        // size needed when even its smallest scale is far larger (huge pictures).
        const bool far =
            scaled.width() > 4 * needed.width() || scaled.height() > 4 * needed.height();
        return decodeScaled(scale, QRect(QPoint(0, 0), scaled), far ? needed : scaled);
    }
    [[nodiscard]] QImage decodeRegion(QRect region, QSize needed) const override {
        // The smallest scale at which the region still has the pixels needed.
        unsigned scale = 8;
        for (unsigned s = 1; s < 8; ++s) {
            if (qint64{region.width()} * s / 8 >= needed.width() &&
                qint64{region.height()} * s / 8 >= needed.height()) {
                scale = s;
                break;
            }
        }
        const QSize scaled = scaledSize(scale);
        const QRect scaledRegion(
            QPoint(static_cast<int>(qint64{region.left()} * scale / 8),
                   static_cast<int>(qint64{region.top()} * scale / 8)),
            QPoint(static_cast<int>((qint64{region.right()} * scale + 7) / 8),
                   static_cast<int>((qint64{region.bottom()} * scale + 7) / 8)));
        return decodeScaled(scale, scaledRegion & QRect(QPoint(0, 0), scaled), needed);
    }

private:
    QSize scaledSize(unsigned scale) const {
        const auto side = [scale](int n) { return static_cast<int>((qint64{n} * scale + 7) / 8); };
        return {side(pixelSize().width()), side(pixelSize().height())};
    }

    // A progressive picture drawn at 1/8 or less comes from its first scan of DC coefficients,
    // without the whole-picture coefficient buffer the full decoder keeps. That path reads the
    // whole file and keeps a value per block, so only files and pictures of a modest size take it.
    std::optional<QImage> fromFirstDcScan(QSize needed) const {
        const qint64 blocks =
            qint64{(pixelSize().width() + 7) / 8} * ((pixelSize().height() + 7) / 8);
        // Checked before the file is read: it may be tens of megabytes.
        if (!header_.progressive || needed.width() > (pixelSize().width() + 7) / 8 ||
            needed.height() > (pixelSize().height() + 7) / 8 ||
            source_->size() > kMaxDcScanFileBytes ||
            blocks * (header_.components + 1) * 4 > kMaxDcScanBlockBytes) {
            return std::nullopt;
        }
        return decodeFirstDcScan(source_->readAt(0, source_->size()), needed,
                                 coefficientBytes(header_) > kExactDcScanCoefficientBytes);
    }

    // The smallest DCT scaling that still covers `needed`.
    unsigned scaleFor(QSize needed) const {
        for (unsigned s = 1; s < 8; ++s) {
            const QSize size = scaledSize(s);
            if (size.width() >= needed.width() && size.height() >= needed.height()) {
                return s;
            }
        }
        return 8;
    }

    QImage decodeScaled(unsigned scale, QRect region, QSize needed) const {
        if (isMultiScan(header_) && coefficientBytes(header_) > kMaxJpegCoefficientBytes) {
            // Such files keep every coefficient of the whole image, whatever the scale.
            throw RuntimeError(err::TooLarge, "JPEG coefficients past the limit");
        }
        return reduceRegion(scaledSize(scale), region, needed, false,
                            [&](RowSink& sink, int lastRow) { decode(sink, scale, lastRow); });
    }

    void decode(RowSink& sink, unsigned scale, int lastRow) const {
        ChunkReader reader(*source_, 0, source_->size(), qint64{1} << 16);
        auto run = std::make_unique<JpegRun>();
        run->adobe = header_.adobe;
        run->stopAfter = lastRow + 1;
        run->loaded = pixelSize();
        run->cinfo.err = jpeg_std_error(&run->error.pub);
        run->error.pub.error_exit = errorExit;
        run->error.pub.output_message = silentOutput;
        jpeg_create_decompress(&run->cinfo);
        // Anything the header checks missed fails here instead of exhausting memory.
        run->cinfo.mem->max_memory_to_use = kMaxJpegMemory;
        run->source.reader = &reader;
        run->source.pub.init_source = initSource;
        run->source.pub.fill_input_buffer = fillInputBuffer;
        run->source.pub.skip_input_data = skipInputData;
        run->source.pub.resync_to_restart = jpeg_resync_to_restart;
        run->source.pub.term_source = termSource;
        run->cinfo.src = &run->source.pub;
        run->progress.pub.progress_monitor = progressMonitor;
        run->cinfo.progress = &run->progress.pub;
        const int failure = runDecoder(*run, sink, scale);
        const int delivered = run->rowsDelivered;
        const auto width = static_cast<int>(run->cinfo.output_width);
        const auto height = static_cast<int>(run->cinfo.output_height);
        const bool memory = failure == JERR_OUT_OF_MEMORY || failure == JERR_NO_BACKING_STORE;
        const std::string message = failure != 0 ? describe(run->cinfo) : std::string();
        const ProgressMonitor::Ended ended = run->progress.ended;
        jpeg_destroy_decompress(&run->cinfo);
        if (ended == ProgressMonitor::Ended::Stop) {
            throw Stopped{};
        }
        if (ended == ProgressMonitor::Ended::Budget) {
            throw RuntimeError(err::TooLarge, "JPEG: too much work to decode");
        }
        if (run->source.failure) {
            std::rethrow_exception(run->source.failure);
        }
        if (run->otherSize) {
            throw RuntimeError(err::PathAccess, "the JPEG frame is not the one loaded");
        }
        if (memory) {
            throw RuntimeError(err::TooLarge, "JPEG decoder memory limit: " + message);
        }
        if (delivered == 0 && (failure != 0 || run->error.scanLimitHit != 0)) {
            throw RuntimeError(err::InvalidPicture, "damaged JPEG: " + message);
        }
        // A file that ends early or breaks off shows what was decoded, the rest grey.
        if (delivered < std::min(height, lastRow + 1)) {
            sink.fillRows(delivered, std::min(height, lastRow + 1), width, qRgb(128, 128, 128));
        }
    }

    static std::string describe(jpeg_decompress_struct& cinfo) {
        std::array<char, JMSG_LENGTH_MAX> text{};
        (*cinfo.err->format_message)(reinterpret_cast<j_common_ptr>(&cinfo), text.data());
        return text.data();
    }

    ByteSourcePtr source_;
    JpegHeader header_;
};

} // namespace

PicturePtr loadJpeg(const ByteSourcePtr& source, QByteArrayView /*head*/) {
    return std::make_shared<JpegPicture>(source, readJpegHeader(*source));
}

} // namespace zelvia::rt::imaging
