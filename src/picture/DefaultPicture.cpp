#include "DefaultPicture.h"
#include "ScaledJpeg.h"

#include <QPainter>
#include <algorithm>
#include <cmath>
#include <iterator>
#include <memory>

namespace tivra {

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

// Decoding time grows with the file, so a board takes the smallest picture
// nearly as wide as itself: enlarged by a ninth at most, it still looks
// sharp.
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

// The whole picture onto `area` of `dest`, scaled smoothly as it is decoded,
// a band at a time. Each row of the area is drawn from the one band that
// holds both picture rows it lies between, with a row to spare either side.
void draw(QImage& dest, const QRect& area) {
    constexpr int kBandRows = 64;
    constexpr int kOverlap = 4;
    const Embedded& source = sourceFor(area.size());
    QPainter painter(&dest);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    int firstRow = 0; // of the area, the next one to draw
    auto drawBand = [&](const QImage& band, int top, QSize whole) {
        const double perRow = double(area.height()) / whole.height();
        const bool last = top + band.height() >= whole.height();
        // The rows whose picture position lies before the band's last row
        // but one; the rest wait for the next band.
        int end = area.height();
        if (!last)
            end = std::clamp(static_cast<int>(std::ceil((top + band.height() - 2.5) * perRow)),
                             firstRow, area.height());
        if (end > firstRow) {
            painter.setClipRect(
                QRect(area.left(), area.top() + firstRow, area.width(), end - firstRow));
            painter.drawImage(QRectF(area.left(), area.top() + top * perRow, area.width(),
                                     band.height() * perRow),
                              band);
        }
        firstRow = end;
    };
    if (!decodeJpegInBands(source.begin, static_cast<std::size_t>(source.end - source.begin),
                           area.size(), kBandRows, kOverlap, drawBand)) {
        // Only when memory runs out: a plain board is still a game.
        painter.setClipping(false);
        painter.fillRect(area, QColor(128, 128, 128));
    }
}

// Drawn a second time at the same size (a New Game, Give Up, the whole
// picture shown), the board's pixels are kept for the draws after, which
// then cost no decoding. A window settling its size at start-up draws at
// new sizes only, so nothing is held before the first game.
struct Kept {
    QImage pixels;
    QSize lastDrawn;
};

} // namespace

tivra::LoadedPicture defaultPicture() {
    auto kept = std::make_shared<Kept>();
    auto drawScaled = [kept](QImage& dest, const QRect& area) {
        if (kept->pixels.size() == area.size()) {
            QPainter(&dest).drawImage(area.topLeft(), kept->pixels);
            return;
        }
        const bool again = kept->lastDrawn == area.size();
        kept->lastDrawn = area.size();
        kept->pixels = QImage();
        if (again)
            kept->pixels = QImage(area.size(), QImage::Format_RGB32);
        if (kept->pixels.isNull()) {
            draw(dest, area);
            return;
        }
        draw(kept->pixels, kept->pixels.rect());
        QPainter(&dest).drawImage(area.topLeft(), kept->pixels);
    };
    return {QImage(), kDefaultPictureSize, drawScaled};
}

} // namespace tivra
