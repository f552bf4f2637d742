#include "BoardPixels.h"
#include "WiredBoard.h"
#include "paint/DevicePixels.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <vector>

namespace tivra::testing {

QImage codedPicture(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(
                x, y, qRgb((x * 7) & 255, (y * 13) & 255, ((x >> 5) * 37 + (y >> 5) * 11) & 255));
    return image;
}

QImage homeGrid(const Puzzle& puzzle, const Surface& window) {
    const int n = puzzle.gridSize();
    return window.image().copy(puzzle.sourceLeft(), 50, n * puzzle.CellWidth + 1,
                               n * puzzle.CellHeight + 1);
}

std::optional<Puzzle> layoutFor(QSize client, QSize picture, int divisions) {
    Puzzle puzzle;
    if (!puzzle.ComputeLayout(client.width(), client.height(), picture.width(), picture.height(),
                              divisions))
        return std::nullopt;
    puzzle.InitCells();
    return puzzle;
}

FreshBoard paintFreshBoard(const LoadedPicture& picture, QSize client, int divisions) {
    WiredBoard board(client, picture, client - QSize(4, 4)); // the picture in its sunken frame
    board.painter.SetupBoard(divisions);
    FreshBoard fresh;
    fresh.idle = board.surfaces.window.image().copy();
    fresh.reference = board.surfaces.Picture2.image().copy();
    board.painter.DrawCursor();
    fresh.homes = homeGrid(board.puzzle, board.surfaces.window);
    return fresh;
}

int colourDistance(QRgb a, QRgb b) {
    return qAbs(qRed(a) - qRed(b)) + qAbs(qGreen(a) - qGreen(b)) + qAbs(qBlue(a) - qBlue(b));
}

double meanDifference(const QImage& a, const QImage& b) {
    double sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            sum += colourDistance(p, q);
        }
    return sum / (3.0 * a.width() * a.height());
}

Sharpness sharpness(const QImage& shown, const QImage& picture, QSize softSize, int margin) {
    const QRect inner = shown.rect().adjusted(margin, margin, -margin, -margin);
    auto inside = [&](const QImage& image) {
        return image.copy(inner).convertToFormat(QImage::Format_RGB32);
    };
    const QImage sharp =
        picture.scaled(shown.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const QImage soft = picture.scaled(softSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                            .scaled(shown.size());
    const QImage board = inside(shown);
    return {meanDifference(board, inside(sharp)), meanDifference(board, inside(soft))};
}

Sharpness builtInSharpness(const QImage& shown, int margin) {
    Sharpness best{1e9, 0};
    for (int scale : {2, 3, 5}) {
        const QImage picture(QStringLiteral(TIVRA_BUILT_IN_PICTURES "/default-%1.jpg").arg(scale));
        if (picture.isNull())
            continue;
        const Sharpness seen = sharpness(shown, picture, QSize(400, 339), margin);
        if (seen.toSharp < best.toSharp)
            best = seen;
    }
    return best;
}

Sharpness builtInSharpness(const Puzzle& puzzle, const Surface& window) {
    const double ratio = window.ratio();
    auto device = [ratio](int length) { return onDevice(length, ratio); };
    // The picture is stretched in proportion to the cells' device size.
    auto along = [&](int board, int cell) {
        return static_cast<int>(std::lround(static_cast<double>(board) * device(cell) / cell));
    };
    const CellRec& first = puzzle.Board(kSource, 0, 0);
    const QRect board(device(first.X), device(first.Y), along(puzzle.BoardWidth, puzzle.CellWidth),
                      along(puzzle.BoardHeight, puzzle.CellHeight));
    return builtInSharpness(window.image().copy(board), 1);
}

bool shows(const Surface& surface, const QImage& pixels) {
    if (pixels.size() != surface.size() || pixels.format() != QImage::Format_RGB32)
        return false;
    constexpr int kRows = 64;
    const int width = surface.ScaleWidth();
    QImage band(width, kRows, QImage::Format_RGB32);
    for (int top = 0; top < surface.ScaleHeight(); top += kRows) {
        const int rows = std::min(kRows, surface.ScaleHeight() - top);
        surface.render(band, QRect(0, top, width, rows));
        for (int y = 0; y < rows; ++y)
            if (std::memcmp(band.constScanLine(y), pixels.constScanLine(top + y),
                            static_cast<std::size_t>(width) * sizeof(QRgb)) != 0)
                return false;
    }
    return true;
}

int countColour(const QImage& image, QRgb colour) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        count += static_cast<int>(std::count(line, line + image.width(), colour));
    }
    return count;
}

QList<int> tableState(const Puzzle& p) {
    QList<int> state;
    for (int side : {kReceiving, kSource})
        for (int row = 0; row < p.gridSize(); ++row)
            for (int col = 0; col < p.gridSize(); ++col) {
                const CellRec& cell = p.Board(side, col, row);
                state << cell.Full << cell.PieceCol << cell.PieceRow;
            }
    return state;
}

namespace {

QString compareInterior(const Puzzle& p, const QImage& shown, int x, int y, const QImage* from,
                        int fx, int fy, QRgb background) {
    const int w = p.CellWidth - 1;
    std::vector<QRgb> plain(static_cast<std::size_t>(std::max(w, 0)), background);
    for (int dy = 1; dy < p.CellHeight; ++dy) {
        if (w <= 0)
            break;
        const auto* got = reinterpret_cast<const QRgb*>(shown.constScanLine(y + dy)) + x + 1;
        const QRgb* want =
            from ? reinterpret_cast<const QRgb*>(from->constScanLine(fy + dy)) + fx + 1
                 : plain.data();
        if (std::memcmp(got, want, static_cast<std::size_t>(w) * sizeof(QRgb)) == 0)
            continue;
        for (int dx = 0; dx < w; ++dx)
            if (got[dx] != want[dx])
                return QStringLiteral("pixel (%1, %2) is %3, expected %4")
                    .arg(x + 1 + dx)
                    .arg(y + dy)
                    .arg(got[dx], 8, 16)
                    .arg(want[dx], 8, 16);
    }
    return {};
}

} // namespace

namespace {

// Each piece in exactly one place, and every cell naming a piece or none as
// it should; then whatever `cellFault` finds in a cell's pixels.
QString placesFault(const Puzzle& p,
                    const std::function<QString(int side, int col, int row)>& cellFault) {
    const int n = p.gridSize();
    std::vector<int> places(static_cast<std::size_t>(n * n), 0);
    for (int row = 0; row < n; ++row) {
        for (int col = 0; col < n; ++col) {
            for (int side : {kReceiving, kSource}) {
                const CellRec& cell = p.Board(side, col, row);
                const bool full = cell.Full == kTrue;
                if (!full && side == kReceiving && (cell.PieceCol != -1 || cell.PieceRow != -1))
                    return QStringLiteral("empty receiving cell (%1, %2) names a piece")
                        .arg(col)
                        .arg(row);
                if (full) {
                    if (cell.PieceCol < 0 || cell.PieceCol >= n || cell.PieceRow < 0 ||
                        cell.PieceRow >= n)
                        return QStringLiteral("cell (%1, %2, %3) names no piece")
                            .arg(side)
                            .arg(col)
                            .arg(row);
                    ++places[static_cast<std::size_t>(cell.PieceRow * n + cell.PieceCol)];
                }
                if (const QString fault = cellFault(side, col, row); !fault.isEmpty())
                    return QStringLiteral("cell (%1, %2, %3): %4")
                        .arg(side)
                        .arg(col)
                        .arg(row)
                        .arg(fault);
            }
        }
    }
    for (std::size_t i = 0; i < places.size(); ++i)
        if (places[i] != 1)
            return QStringLiteral("piece %1 is in %2 places").arg(i).arg(places[i]);
    return {};
}

} // namespace

QString boardFault(const Puzzle& p, const Surface& window, const QImage& homes) {
    // Drawn into one kept image: a soak checks the board after every event.
    static QImage shown;
    if (shown.size() != window.size())
        shown = QImage(window.size(), QImage::Format_RGB32);
    window.render(shown, QRect(QPoint(0, 0), window.size()));
    return placesFault(p, [&](int side, int col, int row) {
        const CellRec& cell = p.Board(side, col, row);
        return compareInterior(p, shown, cell.X, cell.Y, cell.Full == kTrue ? &homes : nullptr,
                               cell.PieceCol * p.CellWidth, cell.PieceRow * p.CellHeight,
                               window.background());
    });
}

QPoint cellCentre(const Puzzle& p, int side, int col, int row) {
    const CellRec& cell = p.Board(side, col, row);
    return {cell.X + p.CellWidth / 2, cell.Y + p.CellHeight / 2};
}

QRect deviceCell(const Puzzle& p, int side, int col, int row, double ratio) {
    const CellRec& first = p.Board(side, 0, 0);
    return cellOnDevice(QPoint(first.X, first.Y), col, row, QSize(p.CellWidth, p.CellHeight),
                        ratio);
}

QString scaledBoardFault(const Puzzle& p, const Surface& window) {
    const double ratio = window.ratio();
    const int line = lineOnDevice(ratio);
    const QImage& image = window.image();
    return placesFault(p, [&](int side, int col, int row) -> QString {
        const QRect inside = deviceCell(p, side, col, row, ratio)
                                 .adjusted(line, line, 0, 0)
                                 .intersected(image.rect());
        // Along the middle row and the middle column, which is quick enough
        // to run after every event of a soak.
        int background = 0;
        const QPoint centre = inside.center();
        for (int x = inside.left(); x <= inside.right(); ++x)
            background += image.pixel(x, centre.y()) == window.background();
        for (int y = inside.top(); y <= inside.bottom(); ++y)
            background += image.pixel(centre.x(), y) == window.background();
        const int seen = inside.width() + inside.height();
        // (A full cell may show background too: a cell past the picture.)
        if (p.Board(side, col, row).Full != kTrue && background != seen)
            return QStringLiteral("an empty cell shows something");
        return {};
    });
}

QString referenceFault(const Puzzle& p, const Surface& picture2, const QImage& homes) {
    for (int y = 0; y < p.BoardHeight; ++y) {
        if (y % p.CellHeight == 0)
            continue;
        for (int x = 0; x < p.BoardWidth; ++x) {
            if (x % p.CellWidth == 0 || x >= homes.width() || y >= homes.height())
                continue;
            if (picture2.pixel(x, y) != homes.pixel(x, y))
                return QStringLiteral("Picture2 pixel (%1, %2) differs").arg(x).arg(y);
        }
    }
    return {};
}

} // namespace tivra::testing
