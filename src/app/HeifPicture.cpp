#include "HeifPicture.h"

#include <libheif/heif.h>
#include <memory>

namespace {

template <auto Release> struct Releaser {
    template <typename T> void operator()(T* object) const { Release(object); }
};
using Context = std::unique_ptr<heif_context, Releaser<heif_context_free>>;
using Handle = std::unique_ptr<heif_image_handle, Releaser<heif_image_handle_release>>;
using Image = std::unique_ptr<heif_image, Releaser<heif_image_release>>;

HeifPicture failure(const QString& reason) {
    return {QImage(), QSize(), reason};
}

QString message(const heif_error& error) {
    return QString::fromUtf8(error.message ? error.message : "damaged picture");
}

} // namespace

bool looksLikeHeif(const QByteArray& start) {
    if (start.size() < 12)
        return false;
    const auto result =
        heif_check_filetype(reinterpret_cast<const uint8_t*>(start.constData()),
                            static_cast<int>(std::min<qsizetype>(start.size(), 1 << 20)));
    return result == heif_filetype_yes_supported;
}

HeifPicture decodeHeif(const QByteArray& data, QSize maxDecoded, qint64 maxPixels) {
    static const bool ready = [] {
        heif_init(nullptr);
        return true;
    }();
    Q_UNUSED(ready);

    Context context(heif_context_alloc());
    heif_error error = heif_context_read_from_memory_without_copy(
        context.get(), data.constData(), static_cast<size_t>(data.size()), nullptr);
    if (error.code != heif_error_Ok)
        return failure(message(error));
    heif_image_handle* primary = nullptr;
    error = heif_context_get_primary_image_handle(context.get(), &primary);
    if (error.code != heif_error_Ok)
        return failure(message(error));
    Handle handle(primary);
    const qint64 width = heif_image_handle_get_width(handle.get());
    const qint64 height = heif_image_handle_get_height(handle.get());
    if (width < 1 || height < 1)
        return failure(QStringLiteral("a picture without pixels"));
    if (width * height > maxPixels)
        return failure(QStringLiteral("too large a picture"));

    // Decoded upright: libheif turns, mirrors and crops as the file says.
    heif_image* decoded = nullptr;
    error = heif_decode_image(handle.get(), &decoded, heif_colorspace_RGB,
                              heif_chroma_interleaved_RGBA, nullptr);
    if (error.code != heif_error_Ok)
        return failure(message(error));
    Image image(decoded);
    int stride = 0;
    const uint8_t* pixels =
        heif_image_get_plane_readonly(image.get(), heif_channel_interleaved, &stride);
    const int w = heif_image_get_width(image.get(), heif_channel_interleaved);
    const int h = heif_image_get_height(image.get(), heif_channel_interleaved);
    if (!pixels || w < 1 || h < 1)
        return failure(QStringLiteral("a picture without pixels"));

    const QImage view(pixels, w, h, stride, QImage::Format_RGBA8888);
    const QSize upright(w, h);
    QImage result;
    if (!maxDecoded.isEmpty() && (w > maxDecoded.width() || h > maxDecoded.height()))
        result = view.scaled(maxDecoded, Qt::KeepAspectRatio, Qt::SmoothTransformation)
                     .convertToFormat(QImage::Format_RGB32);
    else
        result = view.convertToFormat(QImage::Format_RGB32);
    if (result.isNull())
        return failure(QStringLiteral("out of memory"));
    return {result, upright, QString()};
}
