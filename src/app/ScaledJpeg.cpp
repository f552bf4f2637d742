#include "ScaledJpeg.h"

#include <csetjmp>
#include <cstdio> // jpeglib.h needs FILE
#include <jpeglib.h>

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

// The image is the caller's, so that it is freed as usual whatever libjpeg
// does; nothing here has a destructor for a longjmp to skip.
bool decodeInto(const unsigned char* data, std::size_t size, QSize atLeast, QImage& image) {
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
    image = QImage(static_cast<int>(info.output_width), static_cast<int>(info.output_height),
                   QImage::Format_RGB32);
    if (image.isNull()) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = image.scanLine(static_cast<int>(info.output_scanline));
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return true;
}

} // namespace

QImage decodeJpeg(const unsigned char* data, std::size_t size, QSize atLeast) {
    QImage image;
    if (!decodeInto(data, size, atLeast, image))
        return QImage();
    return image;
}
