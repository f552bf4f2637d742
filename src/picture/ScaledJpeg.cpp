#include "ScaledJpeg.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio> // jpeglib.h needs FILE
#include <cstring>
#include <jpeglib.h>
#include <limits>

namespace tivra {

namespace {

// libjpeg reports errors by calling back; it must not end the program.
struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf escape;
};

[[noreturn]] void leave(j_common_ptr info) {
    std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->escape, 1);
}

// A corrupt-data warning means a damaged picture: stop there too.
void onMessage(j_common_ptr info, int level) {
    if (level < 0)
        leave(info);
}

unsigned scaleInEighths(const jpeg_decompress_struct& info, QSize atLeast) {
    for (unsigned eighths : {1u, 2u, 4u})
        if (info.image_width * eighths >= 8u * unsigned(atLeast.width()) &&
            info.image_height * eighths >= 8u * unsigned(atLeast.height()))
            return eighths;
    return 8;
}

// The band is the caller's, so that it is freed as usual whatever libjpeg
// does; nothing here has a destructor for a longjmp to skip, and `use` has
// returned before libjpeg runs again.
bool decodeBands(const unsigned char* data, std::size_t size, QSize atLeast, int bandRows,
                 int overlap, const JpegBand& use, QImage& band) {
    jpeg_decompress_struct info;
    ErrorManager errors;
    info.err = jpeg_std_error(&errors.pub);
    errors.pub.error_exit = leave;
    errors.pub.emit_message = onMessage;
    if (setjmp(errors.escape)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
    jpeg_read_header(&info, TRUE);
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
    info.out_color_space = JCS_EXT_BGRX;
#else
    info.out_color_space = JCS_EXT_XRGB;
#endif
    info.scale_num = scaleInEighths(info, atLeast);
    info.scale_denom = 8;
    jpeg_start_decompress(&info);
    const QSize whole(static_cast<int>(info.output_width), static_cast<int>(info.output_height));
    band = QImage(whole.width(), std::min(bandRows, whole.height()), QImage::Format_RGB32);
    if (band.isNull()) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    const auto rowBytes = static_cast<std::size_t>(band.bytesPerLine());
    int top = 0;
    int kept = 0; // rows at the band's start carried over from the last
    while (true) {
        const int rows = std::min(band.height(), whole.height() - top);
        for (int y = kept; y < rows; ++y) {
            JSAMPROW row = band.scanLine(y);
            jpeg_read_scanlines(&info, &row, 1);
        }
        use(rows == band.height() ? band : band.copy(0, 0, whole.width(), rows), top, whole);
        if (top + rows >= whole.height())
            break;
        kept = std::min(overlap, rows - 1);
        for (int y = 0; y < kept; ++y)
            std::memcpy(band.scanLine(y), band.constScanLine(rows - kept + y), rowBytes);
        top += rows - kept;
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return true;
}

} // namespace

bool decodeJpegInBands(const unsigned char* data, std::size_t size, QSize atLeast, int bandRows,
                       int overlap, const JpegBand& use) {
    if (bandRows <= overlap || overlap < 0)
        return false;
    QImage band;
    return decodeBands(data, size, atLeast, bandRows, overlap, use, band);
}

} // namespace tivra
