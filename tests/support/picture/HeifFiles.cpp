#include "HeifFiles.h"

#include "picture/HeifBoxes.h"

#include <QSize>
#include <avif/avif.h>
#include <cstring>
#include <libheif/heif.h>
#include <tuple>

namespace tivra::testing {

namespace {

heif_error appendTo(heif_context*, const void* data, size_t size, void* userdata) {
    static_cast<QByteArray*>(userdata)->append(static_cast<const char*>(data),
                                               static_cast<qsizetype>(size));
    return heif_error{heif_error_Ok, heif_suberror_Unspecified, "ok"};
}

// ISO base media boxes, big-endian, as HEIF files hold them.
using tivra::heifboxes::boxesIn;
using tivra::heifboxes::readBig;

void appendBig(QByteArray& bytes, quint32 value, int size) {
    for (int i = size - 1; i >= 0; --i)
        bytes.append(char((value >> (8 * i)) & 0xff));
}

QByteArray box(const char* type, const QByteArray& body) {
    QByteArray bytes;
    appendBig(bytes, quint32(body.size() + 8), 4);
    return bytes + type + body;
}

QByteArray fullBox(const char* type, int version, int flags, const QByteArray& body) {
    QByteArray head;
    appendBig(head, quint32(version << 24 | flags), 4);
    return box(type, head + body);
}

} // namespace

QByteArray avifSequence(const QList<QImage>& frames) {
    avifEncoder* encoder = avifEncoderCreate();
    encoder->speed = AVIF_SPEED_FASTEST;
    encoder->maxThreads = 1;
    bool added = true;
    for (const QImage& frame : frames) {
        const QImage rgba = frame.convertToFormat(QImage::Format_RGBA8888);
        avifImage* image = avifImageCreate(uint32_t(rgba.width()), uint32_t(rgba.height()), 8,
                                           AVIF_PIXEL_FORMAT_YUV444);
        avifRGBImage rgb;
        avifRGBImageSetDefaults(&rgb, image);
        rgb.format = AVIF_RGB_FORMAT_RGBA;
        rgb.pixels = const_cast<uint8_t*>(rgba.constBits());
        rgb.rowBytes = uint32_t(rgba.bytesPerLine());
        added = added && avifImageRGBToYUV(image, &rgb) == AVIF_RESULT_OK &&
                avifEncoderAddImage(encoder, image, 1, AVIF_ADD_IMAGE_FLAG_NONE) == AVIF_RESULT_OK;
        avifImageDestroy(image);
    }
    avifRWData written = AVIF_DATA_EMPTY;
    QByteArray file;
    if (added && avifEncoderFinish(encoder, &written) == AVIF_RESULT_OK)
        file = QByteArray(reinterpret_cast<const char*>(written.data), qsizetype(written.size));
    avifRWDataFree(&written);
    avifEncoderDestroy(encoder);
    return file;
}

QByteArray heifGridFile(const QImage& tile, HeifCodec codec, QSize gridSize, QSize declared) {
    const QByteArray single = heifFile(tile, codec);
    const auto top = boxesIn(single, 0, single.size());
    const QByteArray meta = top.value("meta");
    const auto inMeta = boxesIn(meta, 12, meta.size());
    const QByteArray iprp = inMeta.value("iprp");
    const auto inIprp = boxesIn(iprp, 8, iprp.size());
    const QByteArray ipco = inIprp.value("ipco");
    const QByteArray ipma = inIprp.value("ipma");
    if (meta.isEmpty() || ipco.isEmpty() || ipma.isEmpty())
        return {};

    // The coded picture: the one extent of the one item libheif wrote.
    const QByteArray coded = tivra::heifboxes::primaryItem(single, single.size()).data;

    // The tile keeps the properties the picture had; the grid gets its own
    // size property, after them.
    const int propertyCount = boxesIn(ipco, 8, ipco.size()).size();
    const bool wideIndices = readBig(ipma, 8, 4) & 1;
    const int associations = quint8(ipma.at(18));
    QByteArray ipmaBody;
    appendBig(ipmaBody, 2, 4);
    appendBig(ipmaBody, 1, 2);
    ipmaBody += char(associations);
    for (int i = 0; i < associations; ++i) {
        const quint32 entry = readBig(ipma, 19 + i * (wideIndices ? 2 : 1), wideIndices ? 2 : 1);
        appendBig(ipmaBody, wideIndices ? entry : (entry & 0x80) << 8 | (entry & 0x7f), 2);
    }
    appendBig(ipmaBody, 2, 2);
    ipmaBody += char(1);
    appendBig(ipmaBody, quint32(propertyCount + 1), 2);
    QByteArray declaredSize;
    appendBig(declaredSize, quint32(declared.width()), 4);
    appendBig(declaredSize, quint32(declared.height()), 4);
    const QByteArray newIpco = box("ipco", ipco.mid(8) + fullBox("ispe", 0, 0, declaredSize));
    const QByteArray properties = box("iprp", newIpco + fullBox("ipma", 0, 1, ipmaBody));

    auto itemInfo = [](int id, const char* type) {
        QByteArray body;
        appendBig(body, quint32(id), 2);
        appendBig(body, 0, 2);
        return fullBox("infe", 2, 0, body + type + '\0');
    };
    QByteArray infos;
    appendBig(infos, 2, 2);
    infos += itemInfo(1, codec == HeifCodec::Hevc ? "hvc1" : "av01") + itemInfo(2, "grid");
    QByteArray primary;
    appendBig(primary, 2, 2);
    QByteArray reference;
    appendBig(reference, 2, 2);
    appendBig(reference, 1, 2);
    appendBig(reference, 1, 2);
    QByteArray grid("\0\x01\0\0", 4); // one row and one column, 32-bit sizes
    appendBig(grid, quint32(gridSize.width()), 4);
    appendBig(grid, quint32(gridSize.height()), 4);

    auto locations = [&](quint32 tileOffset) {
        QByteArray body;
        body += char(0x44); // 4-byte offsets and lengths
        body += char(0);
        appendBig(body, 2, 2);
        for (const auto& [id, method, from, size] :
             {std::tuple{1, 0, tileOffset, quint32(coded.size())},
              std::tuple{2, 1, quint32(0), quint32(grid.size())}}) {
            appendBig(body, quint32(id), 2);
            appendBig(body, quint32(method), 2);
            appendBig(body, 0, 2);
            appendBig(body, 1, 2);
            appendBig(body, from, 4);
            appendBig(body, size, 4);
        }
        return fullBox("iloc", 1, 0, body);
    };
    auto metaWith = [&](quint32 tileOffset) {
        return fullBox("meta", 0, 0,
                       inMeta.value("hdlr") + fullBox("pitm", 0, 0, primary) +
                           locations(tileOffset) + fullBox("iinf", 0, 0, infos) +
                           fullBox("iref", 0, 0, box("dimg", reference)) + properties +
                           box("idat", grid));
    };
    const QByteArray ftyp = top.value("ftyp");
    const quint32 tileOffset = quint32(ftyp.size() + metaWith(0).size() + 8);
    return ftyp + metaWith(tileOffset) + box("mdat", coded);
}

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
