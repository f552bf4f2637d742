// Draws the program's icon as a PNG of a given size: the same picture as
// data/io.tivra.Tivra.svg, an orange board with a four-by-four picture and
// one piece lifted out.
#include <QImage>
#include <QPainter>
#include <cstdio>
#include <cstdlib>

namespace {

// The pieces' colours, row by row, as in the SVG.
constexpr QRgb kPieces[16] = {
    0x2b4fa8, 0x5a3fb0, 0xd8607a, 0xf4a04a, 0x7a3c8c, 0xe8785a, 0xffd860, 0xf08c50,
    0x2e7a44, 0x3e9a5a, 0xff8000, 0x2a8a70, 0x1a6e9a, 0x145a8a, 0x22809e, 0x0e3e70,
};

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_icon SIZE OUT.png\n");
        return 2;
    }
    const int size = std::atoi(argv[1]);
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 256.0, size / 256.0);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(QRgb(0xff8000)));
    p.drawRoundedRect(QRectF(8, 8, 240, 240), 36, 36);
    for (int i = 0; i < 16; ++i) {
        const QRectF cell(40 + (i % 4) * 44, 40 + (i / 4) * 44, 44, 44);
        p.setPen(QPen(i == 10 ? QColor(QRgb(0x0000ff)) : QColor(QRgb(0x000000)), 3));
        p.setBrush(QColor(kPieces[i]));
        p.drawRect(cell);
    }
    p.translate(172, 128);
    p.rotate(-12);
    p.setPen(QPen(QColor(QRgb(0x000000)), 3));
    p.setBrush(QColor(QRgb(0xffd860)));
    p.drawRect(QRectF(-22, -22, 44, 44));
    p.end();
    return image.save(QString::fromLocal8Bit(argv[2]), "PNG") ? 0 : 1;
}
