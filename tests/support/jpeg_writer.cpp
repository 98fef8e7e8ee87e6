#include "support/jpeg_writer.h"

#include <cstdio>
#include <vector>
// clang-format off: jpeglib.h needs stdio first
#include <jpeglib.h>
// clang-format on

namespace zelvia::test {

QByteArray writeJpeg(const QImage& image, const JpegLayout& layout) {
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr error{};
    cinfo.err = jpeg_std_error(&error);
    jpeg_create_compress(&cinfo);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &out, &size);
    cinfo.image_width = static_cast<JDIMENSION>(image.width());
    cinfo.image_height = static_cast<JDIMENSION>(image.height());
    cinfo.input_components = layout.components;
    cinfo.in_color_space = layout.components == 1   ? JCS_GRAYSCALE
                           : layout.components == 3 ? JCS_RGB
                                                    : JCS_CMYK;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, layout.quality, TRUE);
    cinfo.comp_info[0].h_samp_factor = layout.h;
    cinfo.comp_info[0].v_samp_factor = layout.v;
    cinfo.restart_in_rows = layout.restartRows;
    // Every component's DC first, each one's AC, then the DC refinements down to Al 0.
    std::vector<jpeg_scan_info> scans;
    if (layout.dcAl >= 0) {
        jpeg_scan_info dc{layout.components, {0, 1, 2, 3}, 0, 0, 0, layout.dcAl};
        scans.push_back(dc);
        for (int c = 0; c < layout.components; ++c) {
            scans.push_back({1, {c}, 1, 63, 0, 0});
        }
        for (int al = layout.dcAl - 1; al >= 0; --al) {
            dc.Ah = al + 1;
            dc.Al = al;
            scans.push_back(dc);
        }
        cinfo.scan_info = scans.data();
        cinfo.num_scans = static_cast<int>(scans.size());
    }
    jpeg_start_compress(&cinfo, TRUE);
    if (layout.adobeZero) {
        const JOCTET adobe[] = {'A', 'd', 'o', 'b', 'e', 0, 100, 0, 0, 0, 0, 0};
        jpeg_write_marker(&cinfo, JPEG_APP0 + 14, adobe, sizeof adobe);
    }
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    std::vector<JSAMPLE> row(static_cast<size_t>(image.width() * layout.components));
    while (cinfo.next_scanline < cinfo.image_height) {
        const uchar* in = rgb.constScanLine(static_cast<int>(cinfo.next_scanline));
        for (size_t i = 0; i < row.size(); ++i) {
            const size_t pixel = i / static_cast<size_t>(layout.components);
            const size_t channel = i % static_cast<size_t>(layout.components);
            row[i] = channel == 3 ? 255 : in[pixel * 3 + channel];
        }
        JSAMPROW rows[] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    QByteArray bytes(reinterpret_cast<const char*>(out), static_cast<qsizetype>(size));
    std::free(out);
    return bytes;
}

} // namespace zelvia::test
