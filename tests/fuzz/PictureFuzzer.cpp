// Arbitrary bytes through the game's picture loading, layout and board
// setup, as "Incarca Poza" runs them: decoded as the decoding helper does,
// its answer read back as the game reads it. The same bytes are also read as
// a helper's answer, which must never take the game down. The first byte
// picks the grid size and the file ending the bytes arrive under.
#include "SeededRandom.h"
#include "WiredBoard.h"
#include "paint/BoardPainter.h"
#include "picture/DecodeAnswer.h"
#include "picture/PictureLoader.h"

#include <QCoreApplication>
#include <cstddef>
#include <cstdint>
#include <cstring>

using namespace tivra;

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    static QCoreApplication app(*argc, *argv); // the image format plugins need it
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    static const char* const endings[] = {"jpg", "bmp", "png", "gif"};
    const int divisions = 3 + data[0] % 8;
    const QByteArray bytes(reinterpret_cast<const char*>(data + 1),
                           static_cast<qsizetype>(size - 1));
    parseDecodeAnswer(bytes);
    const PictureLoadResult decoded =
        loadPictureData(bytes, endings[(data[0] >> 3) % 4], QSize(885, 980));
    // Written as the helper writes it, read as the game reads it.
    const QByteArray answer = encodeDecodeAnswer(decoded);
    const PictureLoadResult result = parseDecodeAnswer(answer);
    if (result.picture.has_value() != decoded.picture.has_value() ||
        (result.picture && (result.picture->pixelSize != decoded.picture->pixelSize ||
                            result.picture->image != decoded.picture->image)))
        __builtin_trap(); // the answer lost or changed the picture
    if (!result.picture)
        return 0;
    {
        // The same pixels in rows apart, as over a decoder's own buffer:
        // the same answer, sent a row at a time.
        const QImage image = decoded.picture->image.convertToFormat(QImage::Format_RGB32);
        const qsizetype row = qsizetype(image.width()) * 4;
        const qsizetype stride = row + 12;
        QByteArray apart(stride * image.height(), '\x5a');
        for (int y = 0; y < image.height(); ++y)
            std::memcpy(apart.data() + stride * y, image.constScanLine(y), std::size_t(row));
        const QImage spaced(reinterpret_cast<const uchar*>(apart.constData()), image.width(),
                            image.height(), stride, QImage::Format_RGB32);
        if (encodeDecodeAnswer({LoadedPicture{spaced, result.picture->pixelSize}, QString()}) !=
            answer)
            __builtin_trap();
    }

    // The board for that picture, refused as the game refuses it when its
    // cells would vanish.
    const QSize client(800, 600);
    tivra::testing::WiredBoard board(client, *result.picture);
    Puzzle& puzzle = board.puzzle;
    if (!puzzle.ComputeLayout(client.width(), client.height(), result.picture->ScaleWidth(),
                              result.picture->ScaleHeight(), 10))
        return 0;
    board.painter.SetupBoard(divisions);
    board.painter.DrawCursor();
    tivra::testing::SeededRandom random(static_cast<unsigned>(size));
    puzzle.ShuffleBoard(random.fractions());
    const CellRec& slot = puzzle.Board(kSource, 1, 1);
    puzzle.TakePiece(slot.X + 1, slot.Y + 1);
    const CellRec& cell = puzzle.Board(kReceiving, 0, 0);
    puzzle.ReturnPiece(cell.X + 1, cell.Y + 1);
    return 0;
}
