#include "runtime/imaging/jpeg_dc_scan.h"

#include <csetjmp>
#include <cstdio>
#include <jpeglib.h>

namespace zelvia::rt::imaging {

namespace {

struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf escape;
};

// libjpeg reports errors through a callback that must not return, and an exception cannot
// unwind through its C frames: the documented way out is longjmp.
[[noreturn]] void leave(j_common_ptr cinfo) {
    // NOLINTNEXTLINE(cert-err52-cpp)
    std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->escape, 1);
}

// Warnings are counted, not printed.
void countWarning(j_common_ptr cinfo, int level) {
    if (level < 0) {
        ++cinfo->err->num_warnings;
    }
}

// Everything C++ stays outside the part that may be left by longjmp: this decodes into
// `image`, already the size of the output, and says whether it did.
bool decodeInto(jpeg_decompress_struct& cinfo, QImage& image) {
    cinfo.buffered_image = TRUE;
    cinfo.scale_num = 1;
    cinfo.scale_denom = 8;
    cinfo.do_block_smoothing = FALSE;
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
    cinfo.out_color_space = JCS_EXT_BGRX;
#else
    cinfo.out_color_space = JCS_EXT_XRGB;
#endif
    if (jpeg_start_decompress(&cinfo) == FALSE) {
        return false;
    }
    // The decoder now stands at the first scan: it must be DC only and cover every component.
    if (cinfo.comps_in_scan != cinfo.num_components || cinfo.Ss != 0 || cinfo.Se != 0 ||
        static_cast<int>(cinfo.output_width) != image.width() ||
        static_cast<int>(cinfo.output_height) != image.height()) {
        return false;
    }
    int status = 0;
    do {
        status = jpeg_consume_input(&cinfo);
    } while (status != JPEG_SCAN_COMPLETED && status != JPEG_REACHED_EOI &&
             status != JPEG_SUSPENDED);
    if (status == JPEG_SUSPENDED || cinfo.input_scan_number != 1) {
        return false;
    }
    if (jpeg_start_output(&cinfo, 1) == FALSE) {
        return false;
    }
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = image.scanLine(static_cast<int>(cinfo.output_scanline));
        if (jpeg_read_scanlines(&cinfo, &row, 1) != 1) {
            return false;
        }
    }
    // A damaged or cut short scan is for the full decoder to handle and report.
    return cinfo.err->num_warnings == 0;
}

} // namespace

std::optional<QImage> decodeFirstDcScan(const QByteArray& data, QSize needed) {
    jpeg_decompress_struct cinfo{};
    ErrorManager errors{};
    cinfo.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = leave;
    errors.base.emit_message = countWarning;
    jpeg_create_decompress(&cinfo);
    QImage image;
    bool ok = false;
    if (setjmp(errors.escape) == 0) { // NOLINT(cert-err52-cpp): see leave()
        jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(data.constData()),
                     static_cast<unsigned long>(data.size()));
        if (jpeg_read_header(&cinfo, TRUE) == JPEG_HEADER_OK &&
            jpeg_has_multiple_scans(&cinfo) != FALSE && cinfo.jpeg_color_space != JCS_CMYK &&
            cinfo.jpeg_color_space != JCS_YCCK) {
            // 1/8 of each side, rounded up, as the decoder scales.
            const int w = static_cast<int>((cinfo.image_width + 7) / 8);
            const int h = static_cast<int>((cinfo.image_height + 7) / 8);
            if (needed.width() <= w && needed.height() <= h) {
                image = QImage(w, h, QImage::Format_RGB32);
                ok = !image.isNull() && decodeInto(cinfo, image);
            }
        }
    }
    jpeg_destroy_decompress(&cinfo);
    if (!ok) {
        return std::nullopt;
    }
    return image;
}

} // namespace zelvia::rt::imaging
