// The real main window on the offscreen platform at 1920 x 1080: input to a
// refreshed window, New Game, and loading a large photo.
#include "app/Form1.h"
#include "app/SurfaceView.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>

using namespace tivra;

namespace {

Form1* shownWindow() {
    static Form1* form = [] {
        auto* window = new Form1;
        window->seedRandom(1);
        window->show();
        if (!QTest::qWaitForWindowExposed(window))
            std::fprintf(stderr, "the window was not shown\n");
        return window;
    }();
    return form;
}

// Forgets the peak so far: from now on the peak counts from the current size.
void resetPeakMemory() {
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    if (refs.open(QIODevice::WriteOnly))
        refs.write("5");
}

// Peak resident memory of this process so far, in kB.
long peakMemoryKb() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return 0;
}

QPoint centre(const Puzzle& p, int side, int col, int row) {
    const CellRec& cell = p.Board(side, col, row);
    return {cell.X + p.CellWidth / 2, cell.Y + p.CellHeight / 2};
}

// One right-click taking a piece and one left-click sending it back, each
// from the press to the repainted window.
void MoveByMouse(benchmark::State& state) {
    Form1* form = shownWindow();
    form->JocNou_Click();
    Puzzle& p = form->puzzle();
    for (auto _ : state) {
        QTest::mousePress(form->clientArea(), Qt::RightButton, {}, centre(p, kSource, 1, 1));
        QTest::mousePress(form->clientArea(), Qt::LeftButton, {}, centre(p, kReceiving, 0, 0));
    }
    state.counters["moves"] =
        benchmark::Counter(2.0 * static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    form->Renunta_Click();
}

void NewGame(benchmark::State& state) {
    Form1* form = shownWindow();
    for (auto _ : state)
        form->JocNou_Click();
    form->Renunta_Click();
}

void LoadLargePhoto(benchmark::State& state) {
    Form1* form = shownWindow();
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("photo.jpg"));
    {
        QImage photo(6000, 4000, QImage::Format_RGB32);
        for (int y = 0; y < photo.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(photo.scanLine(y));
            for (int x = 0; x < photo.width(); ++x) {
                // A smooth scene with fine grain, about as hard to decode as a photo.
                const unsigned grain =
                    (static_cast<unsigned>(x) * 2654435761u ^ static_cast<unsigned>(y) * 40503u) >>
                    27;
                line[x] = qRgb(x / 24 + grain, y / 16 + grain, (x + y) / 40 + grain);
            }
        }
        photo.save(file, "JPG", 85);
    }
    state.counters["file_MB"] = static_cast<double>(QFileInfo(file).size()) / (1 << 20);
    form->Renunta_Click();
    resetPeakMemory();
    const long before = peakMemoryKb();
    for (auto _ : state)
        form->loadPictureFile(file);
    // Over what the idle game held just before.
    state.counters["peak_extra_MB"] = static_cast<double>(peakMemoryKb() - before) / 1024.0;
}

} // namespace

BENCHMARK(MoveByMouse)->Unit(benchmark::kMicrosecond);
BENCHMARK(NewGame)->Unit(benchmark::kMillisecond);
BENCHMARK(LoadLargePhoto)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM",
                "offscreen:configfile=" TIVRA_BENCH_DIR "/screen-1920x1080.json");
    QApplication app(argc, argv);
    const long idle = (shownWindow(), peakMemoryKb());
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    std::printf("client area %dx%d, peak memory of the idle game: %.1f MB\n",
                shownWindow()->clientArea()->width(), shownWindow()->clientArea()->height(),
                static_cast<double>(idle) / 1024.0);
    return 0;
}
