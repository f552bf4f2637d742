#include "HeifPicture.h"

#include "HeifBoxes.h"

#include <QLibrary>
#include <libheif/heif.h>
#include <memory>

namespace tivra {

namespace {

// The libheif functions the game calls.
#define TIVRA_HEIF_FUNCTIONS(X)                                                                    \
    X(heif_init)                                                                                   \
    X(heif_check_filetype)                                                                         \
    X(heif_context_alloc)                                                                          \
    X(heif_context_free)                                                                           \
    X(heif_context_read_from_memory_without_copy)                                                  \
    X(heif_context_get_primary_image_handle)                                                       \
    X(heif_image_handle_get_width)                                                                 \
    X(heif_image_handle_get_height)                                                                \
    X(heif_image_handle_release)                                                                   \
    X(heif_decode_image)                                                                           \
    X(heif_image_release)                                                                          \
    X(heif_image_get_plane_readonly)                                                               \
    X(heif_image_get_width)                                                                        \
    X(heif_image_get_height)

// libheif and its codecs are loaded with the first HEIF picture, not at
// start-up: their loading and set-up would cost every start of the game.
struct Heif {
#define TIVRA_HEIF_POINTER(name) decltype(&::name) name = nullptr;
    TIVRA_HEIF_FUNCTIONS(TIVRA_HEIF_POINTER)
#undef TIVRA_HEIF_POINTER
    bool loaded = false;
};

const Heif& heif() {
    static const Heif library = [] {
        Heif h;
        QLibrary file(QStringLiteral("heif"), 1);
        if (!file.load())
            return h;
        bool all = true;
#define TIVRA_HEIF_RESOLVE(name)                                                                   \
    h.name = reinterpret_cast<decltype(h.name)>(file.resolve(#name));                              \
    all = all && h.name;
        TIVRA_HEIF_FUNCTIONS(TIVRA_HEIF_RESOLVE)
#undef TIVRA_HEIF_RESOLVE
        if (all) {
            h.heif_init(nullptr);
            h.loaded = true;
        }
        return h;
    }();
    return library;
}

template <typename T> struct Releaser {
    void (*release)(T*);
    void operator()(T* object) const { release(object); }
};
template <typename T> struct ConstReleaser {
    void (*release)(const T*);
    void operator()(T* object) const { release(object); }
};
using Context = std::unique_ptr<heif_context, Releaser<heif_context>>;
using Handle = std::unique_ptr<heif_image_handle, ConstReleaser<heif_image_handle>>;
using Image = std::unique_ptr<heif_image, ConstReleaser<heif_image>>;

HeifPicture failure(const QString& reason) {
    return {QImage(), QSize(), reason};
}

QString message(const heif_error& error) {
    return QString::fromUtf8(error.message ? error.message : "damaged picture");
}

} // namespace

bool preloadHeif() {
    return heif().loaded;
}

bool looksLikeHeif(const QByteArray& start) {
    // Every HEIF file opens with its file-type box.
    if (start.size() < 12 || start.mid(4, 4) != "ftyp" || !heif().loaded)
        return false;
    const auto result =
        heif().heif_check_filetype(reinterpret_cast<const uint8_t*>(start.constData()),
                                   static_cast<int>(std::min<qsizetype>(start.size(), 1 << 20)));
    // A sequence (AVIF's "avis", HEIF's "msf1") is one that libheif does not
    // play, but the encoders store its first frame as the file's still
    // picture too, which libheif reads.
    return result == heif_filetype_yes_supported || result == heif_filetype_yes_unsupported;
}

HeifPicture decodeHeif(const QByteArray& data, QSize maxDecoded, qint64 maxPixels) {
    const Heif& h = heif();
    if (!h.loaded)
        return failure(QStringLiteral("libheif is not installed"));
    Context context(h.heif_context_alloc(), {h.heif_context_free});
    heif_error error = h.heif_context_read_from_memory_without_copy(
        context.get(), data.constData(), static_cast<size_t>(data.size()), nullptr);
    if (error.code != heif_error_Ok)
        return failure(message(error));
    heif_image_handle* primary = nullptr;
    error = h.heif_context_get_primary_image_handle(context.get(), &primary);
    if (error.code != heif_error_Ok)
        return failure(message(error));
    Handle handle(primary, {h.heif_image_handle_release});
    const qint64 width = h.heif_image_handle_get_width(handle.get());
    const qint64 height = h.heif_image_handle_get_height(handle.get());
    if (width < 1 || height < 1)
        return failure(QStringLiteral("a picture without pixels"));
    // A grid is decoded at the size its own data gives, which a file can
    // make far larger than the size it declares.
    const QSize grid = tivra::heifboxes::primaryGridSize(data);
    if (width * height > maxPixels || qint64(grid.width()) * grid.height() > maxPixels)
        return failure(QStringLiteral("too large a picture"));

    // Decoded upright: libheif turns, mirrors and crops as the file says.
    heif_image* decoded = nullptr;
    error = h.heif_decode_image(handle.get(), &decoded, heif_colorspace_RGB,
                                heif_chroma_interleaved_RGBA, nullptr);
    if (error.code != heif_error_Ok)
        return failure(message(error));
    Image image(decoded, {h.heif_image_release});
    int stride = 0;
    const uint8_t* pixels =
        h.heif_image_get_plane_readonly(image.get(), heif_channel_interleaved, &stride);
    const QSize upright(h.heif_image_get_width(image.get(), heif_channel_interleaved),
                        h.heif_image_get_height(image.get(), heif_channel_interleaved));
    if (!pixels || upright.isEmpty())
        return failure(QStringLiteral("a picture without pixels"));

    const QImage view(pixels, upright.width(), upright.height(), stride, QImage::Format_RGBA8888);
    QImage result;
    if (!maxDecoded.isEmpty() &&
        (upright.width() > maxDecoded.width() || upright.height() > maxDecoded.height()))
        result = view.scaled(maxDecoded, Qt::KeepAspectRatio, Qt::SmoothTransformation)
                     .convertToFormat(QImage::Format_RGB32);
    else
        result = view.convertToFormat(QImage::Format_RGB32);
    if (result.isNull())
        return failure(QStringLiteral("out of memory"));
    return {result, upright, QString()};
}

} // namespace tivra
