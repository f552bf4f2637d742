#include "HeifFiles.h"

#include <cstring>
#include <libheif/heif.h>

namespace tivra::testing {

namespace {

heif_error appendTo(heif_context*, const void* data, size_t size, void* userdata) {
    static_cast<QByteArray*>(userdata)->append(static_cast<const char*>(data),
                                               static_cast<qsizetype>(size));
    return heif_error{heif_error_Ok, heif_suberror_Unspecified, "ok"};
}

} // namespace

QByteArray heifFile(const QImage& picture, HeifCodec codec) {
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB888);
    heif_image* image = nullptr;
    heif_image_create(rgb.width(), rgb.height(), heif_colorspace_RGB, heif_chroma_interleaved_RGB,
                      &image);
    heif_image_add_plane(image, heif_channel_interleaved, rgb.width(), rgb.height(), 8);
    int stride = 0;
    uint8_t* plane = heif_image_get_plane(image, heif_channel_interleaved, &stride);
    for (int y = 0; y < rgb.height(); ++y)
        std::memcpy(plane + y * stride, rgb.constScanLine(y), static_cast<size_t>(rgb.width()) * 3);

    heif_context* context = heif_context_alloc();
    heif_encoder* encoder = nullptr;
    QByteArray file;
    if (heif_context_get_encoder_for_format(
            context, codec == HeifCodec::Hevc ? heif_compression_HEVC : heif_compression_AV1,
            &encoder)
            .code == heif_error_Ok) {
        heif_encoder_set_lossy_quality(encoder, 90);
        // The fastest settings: the files are for reading, not for keeping.
        heif_encoder_set_parameter(encoder, codec == HeifCodec::Hevc ? "preset" : "speed",
                                   codec == HeifCodec::Hevc ? "ultrafast" : "9");
        if (heif_context_encode_image(context, image, encoder, nullptr, nullptr).code ==
            heif_error_Ok) {
            heif_writer writer{1, &appendTo};
            heif_context_write(context, &writer, &file);
        }
        heif_encoder_release(encoder);
    }
    heif_context_free(context);
    heif_image_release(image);
    return file;
}

} // namespace tivra::testing
