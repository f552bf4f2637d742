// Draws the built-in picture: a 400 x 339 landscape of coloured shapes with
// detail everywhere, so that each cell of a 10 x 10 grid looks different.
//   make_picture OUT.jpg [SCALE]
// SCALE draws the same scene that many times larger, for large screens.
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

// A small fixed generator keeps the picture the same on every machine.
struct Lcg {
    quint32 state = 20261207u;
    double next() {
        state = state * 1664525u + 1013904223u;
        return (state >> 8) / 16777216.0;
    }
};

void drawSky(QPainter& p) {
    QLinearGradient sky(0, 0, 0, 200);
    sky.setColorAt(0, QColor(30, 60, 160));
    sky.setColorAt(0.6, QColor(240, 120, 80));
    sky.setColorAt(1, QColor(255, 210, 120));
    p.fillRect(0, 0, 400, 200, sky);
    QRadialGradient sun(300, 120, 55);
    sun.setColorAt(0, QColor(255, 250, 200));
    sun.setColorAt(0.5, QColor(255, 200, 60));
    sun.setColorAt(1, QColor(255, 200, 60, 0));
    p.setBrush(sun);
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPointF(300, 120), 55, 55);
}

void drawMountains(QPainter& p) {
    const QColor colours[] = {QColor(90, 40, 120), QColor(40, 90, 110), QColor(30, 120, 60)};
    for (int layer = 0; layer < 3; ++layer) {
        QPainterPath path;
        path.moveTo(0, 220);
        for (int x = 0; x <= 400; x += 10) {
            const double h = 150 + layer * 25 + 30 * std::sin(x / (23.0 + layer * 9) + layer) +
                             12 * std::sin(x / 7.0 + layer * 2);
            path.lineTo(x, h);
        }
        path.lineTo(400, 220);
        path.closeSubpath();
        p.setBrush(colours[layer]);
        p.drawPath(path);
    }
}

void drawWater(QPainter& p) {
    QLinearGradient sea(0, 200, 0, 339);
    sea.setColorAt(0, QColor(20, 140, 170));
    sea.setColorAt(1, QColor(10, 40, 90));
    p.fillRect(0, 210, 400, 129, sea);
    p.setPen(QPen(QColor(200, 240, 255, 160), 1.5));
    for (int y = 215; y < 339; y += 9) {
        QPainterPath wave;
        wave.moveTo(0, y);
        for (int x = 0; x <= 400; x += 5)
            wave.lineTo(x, y + 3 * std::sin(x / 9.0 + y));
        p.drawPath(wave);
    }
}

// One small figure in each tenth of the picture, each with its own hue and shape.
void drawTiles(QPainter& p, Lcg& rng) {
    const double w = 40.0, h = 33.9;
    for (int row = 0; row < 10; ++row) {
        for (int col = 0; col < 10; ++col) {
            const QColor hue = QColor::fromHsv((col * 36 + row * 97) % 360, 200 + (row * 5) % 55,
                                               180 + (col * 7) % 75);
            const double cx = col * w + w * (0.3 + 0.4 * rng.next());
            const double cy = row * h + h * (0.3 + 0.4 * rng.next());
            const double r = 4 + 7 * rng.next();
            p.setPen(QPen(hue.darker(170), 1.2));
            p.setBrush(hue);
            switch ((col + 3 * row) % 5) {
            case 0:
                p.drawEllipse(QPointF(cx, cy), r, r);
                break;
            case 1:
                p.drawRect(QRectF(cx - r, cy - r * 0.7, 2 * r, 1.4 * r));
                break;
            case 2: {
                QPolygonF star;
                for (int k = 0; k < 10; ++k) {
                    const double a = k * M_PI / 5 - M_PI / 2;
                    const double rr = k % 2 ? r * 0.45 : r;
                    star << QPointF(cx + rr * std::cos(a), cy + rr * std::sin(a));
                }
                p.drawPolygon(star);
                break;
            }
            case 3: {
                QPolygonF tri;
                tri << QPointF(cx, cy - r) << QPointF(cx + r, cy + r * 0.8)
                    << QPointF(cx - r, cy + r * 0.8);
                p.drawPolygon(tri);
                break;
            }
            default:
                p.drawRoundedRect(QRectF(cx - r * 1.2, cy - r * 0.5, 2.4 * r, r), 3, 3);
                break;
            }
            // A few dots of a second colour for texture.
            p.setPen(Qt::NoPen);
            p.setBrush(hue.lighter(150));
            for (int k = 0; k < 3; ++k)
                p.drawEllipse(QPointF(col * w + w * rng.next(), row * h + h * rng.next()), 1.5,
                              1.5);
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const int scale = argc == 3 ? std::atoi(argv[2]) : 1;
    if (argc < 2 || argc > 3 || scale < 1 || scale > 16) {
        std::fprintf(stderr, "usage: make_picture OUT.jpg [SCALE]\n");
        return 2;
    }
    QImage image(400 * scale, 339 * scale, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(scale, scale);
    Lcg rng;
    drawSky(p);
    drawMountains(p);
    drawWater(p);
    drawTiles(p, rng);
    p.end();
    return image.save(QString::fromLocal8Bit(argv[1]), "JPG", 85) ? 0 : 1;
}
