#include "WebpPicture.h"

#include <webp/decode.h>

namespace tivra {

bool looksLikeWebp(const QByteArray& start) {
    return start.size() >= 12 && start.startsWith("RIFF") && start.mid(8, 4) == "WEBP";
}

WebpPicture decodeWebp(const QByteArray& data, QSize (*targetFor)(QSize own, QSize maxDecoded),
                       QSize maxDecoded) {
    WebpPicture result;
    WebPDecoderConfig config;
    if (!WebPInitDecoderConfig(&config)) {
        result.error = QStringLiteral("the WebP decoder does not match its header");
        return result;
    }
    const auto* bytes = reinterpret_cast<const uint8_t*>(data.constData());
    const size_t length = size_t(data.size());
    if (WebPGetFeatures(bytes, length, &config.input) != VP8_STATUS_OK) {
        result.error = QStringLiteral("not a picture: a damaged WebP header");
        return result;
    }
    if (config.input.has_animation) {
        result.animated = true;
        return result;
    }
    result.size = QSize(config.input.width, config.input.height);
    const QSize target = targetFor(result.size, maxDecoded);
    if (target != result.size) {
        config.options.use_scaling = 1;
        config.options.scaled_width = target.width();
        config.options.scaled_height = target.height();
    }
    // Written straight into the picture's rows; in memory a 32-bit pixel is
    // blue, green, red, alpha.
    QImage image(target, config.input.has_alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    if (image.isNull()) {
        result.error = QStringLiteral("out of memory");
        return result;
    }
    config.output.colorspace = MODE_BGRA;
    config.output.is_external_memory = 1;
    config.output.u.RGBA.rgba = image.bits();
    config.output.u.RGBA.stride = int(image.bytesPerLine());
    config.output.u.RGBA.size = size_t(image.sizeInBytes());
    const VP8StatusCode status = WebPDecode(bytes, length, &config);
    WebPFreeDecBuffer(&config.output);
    if (status != VP8_STATUS_OK) {
        result.error = QStringLiteral("the picture's data is damaged");
        return result;
    }
    result.image = std::move(image);
    return result;
}

} // namespace tivra
