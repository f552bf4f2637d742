#include "PictureLoader.h"
#include "ScaledJpeg.h"

#include <QPainter>
#include <cstring>
#include <iterator>
#include <memory>

// The built-in picture, JPEGs drawn at build time two, three and five times
// the size the layout gives it (see tools/make_picture.cpp), linked into the
// program as they are.
#define TIVRA_EMBED_PICTURE(name, file)                                                            \
    extern "C" const unsigned char name[];                                                         \
    extern "C" const unsigned char name##End[];                                                    \
    __asm__(".section .rodata\n"                                                                   \
            ".global " #name "\n"                                                                  \
            ".global " #name "End\n" #name ":\n"                                                   \
            ".incbin \"" TIVRA_DEFAULT_PICTURE_DIR "/" file "\"\n" #name "End:\n"                  \
            ".previous\n");

TIVRA_EMBED_PICTURE(tivraDefaultPicture2, "default-2.jpg")
TIVRA_EMBED_PICTURE(tivraDefaultPicture3, "default-3.jpg")
TIVRA_EMBED_PICTURE(tivraDefaultPicture5, "default-5.jpg")

namespace {

struct Embedded {
    const unsigned char* begin;
    const unsigned char* end;
    int width;
};

// Decoding time grows with the file, so a board takes the smallest that is
// nearly as wide as it: enlarged by a tenth at most, a picture drawn at
// twice the detail it shows stays sharp.
const Embedded kEmbedded[] = {
    {tivraDefaultPicture2, tivraDefaultPicture2End, 2 * kDefaultPictureSize.width()},
    {tivraDefaultPicture3, tivraDefaultPicture3End, 3 * kDefaultPictureSize.width()},
    {tivraDefaultPicture5, tivraDefaultPicture5End, 5 * kDefaultPictureSize.width()},
};

const Embedded& sourceFor(QSize area) {
    for (const Embedded& source : kEmbedded)
        if (10 * source.width >= 9 * area.width())
            return source;
    return *std::prev(std::end(kEmbedded));
}

// The whole picture onto `area` of `dest`, scaled smoothly.
void draw(QImage& dest, const QRect& area) {
    const Embedded& source = sourceFor(area.size());
    const QImage decoded =
        decodeJpeg(source.begin, static_cast<std::size_t>(source.end - source.begin), area.size());
    QPainter painter(&dest);
    if (decoded.isNull()) {
        // Only when memory runs out: a plain board is still a game.
        painter.fillRect(area, QColor(128, 128, 128));
        return;
    }
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(area, decoded);
}

void copyInto(QImage& dest, const QRect& area, const QImage& pixels) {
    const auto bytes = static_cast<std::size_t>(area.width()) * sizeof(QRgb);
    for (int y = 0; y < area.height(); ++y)
        std::memcpy(reinterpret_cast<QRgb*>(dest.scanLine(area.top() + y)) + area.left(),
                    pixels.constScanLine(y), bytes);
}

// From the second draw on the last board's pixels are kept, so that a New
// Game or the whole picture costs no decoding; before the first game
// nothing is held.
struct Kept {
    QImage pixels;
    bool drawnOnce = false;
};

} // namespace

tivra::LoadedPicture defaultPicture() {
    auto kept = std::make_shared<Kept>();
    auto drawScaled = [kept](QImage& dest, const QRect& area) {
        if (!kept->drawnOnce) {
            kept->drawnOnce = true;
            draw(dest, area);
            return;
        }
        if (kept->pixels.size() != area.size()) {
            kept->pixels = QImage(area.size(), QImage::Format_RGB32);
            if (kept->pixels.isNull()) {
                draw(dest, area);
                return;
            }
            draw(kept->pixels, kept->pixels.rect());
        }
        copyInto(dest, area, kept->pixels);
    };
    return {QImage(), kDefaultPictureSize, drawScaled};
}
