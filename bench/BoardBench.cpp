// Board painting on in-memory images, before any window is involved.
#include "paint/BoardPainter.h"

#include <benchmark/benchmark.h>

#include <QImage>
#include <random>

using namespace tivra;

namespace {

struct Game {
    Puzzle puzzle;
    BoardSurfaces surfaces;
    BoardPainter painter{puzzle, surfaces};
    std::mt19937 gen{42};

    explicit Game(QSize client) {
        surfaces.window.resize(client);
        surfaces.Picture2.resize(client);
        QImage picture(400, 339, QImage::Format_RGB32);
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x)
                picture.setPixel(x, y, qRgb(x & 255, y & 255, (x + y) & 255));
        surfaces.Picture1 = {picture, picture.size()};
        painter.SetupBoard(10);
        painter.DrawCursor();
    }
    float rnd() { return static_cast<float>(gen() >> 8) / 16777216.0f; }
};

QSize clientFor(const benchmark::State& state) {
    return {static_cast<int>(state.range(0)), static_cast<int>(state.range(1))};
}

void SetupBoard(benchmark::State& state) {
    Game game(clientFor(state));
    for (auto _ : state)
        game.painter.SetupBoard(10);
}

// One piece taken into the cursor cell and sent back, refreshes included.
void TakeAndReturn(benchmark::State& state) {
    Game game(clientFor(state));
    Puzzle& p = game.puzzle;
    const CellRec& slot = p.Board(kSource, 4, 4);
    const CellRec& cell = p.Board(kReceiving, 0, 0);
    for (auto _ : state) {
        p.TakePiece(slot.X + 5, slot.Y + 5);
        p.ReturnPiece(cell.X + 5, cell.Y + 5);
    }
}

void ShuffleBoard(benchmark::State& state) {
    Game game(clientFor(state));
    for (auto _ : state)
        game.puzzle.ShuffleBoard([&] { return game.rnd(); });
}

} // namespace

BENCHMARK(SetupBoard)->Args({1920, 1080})->Args({3840, 2160})->Unit(benchmark::kMillisecond);
BENCHMARK(TakeAndReturn)->Args({1920, 1080})->Args({3840, 2160})->Unit(benchmark::kMicrosecond);
BENCHMARK(ShuffleBoard)->Args({1920, 1080})->Args({3840, 2160})->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
