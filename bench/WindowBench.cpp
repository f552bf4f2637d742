// The real main window on the offscreen platform at 1920 x 1080: input to a
// refreshed window, New Game, and loading a large photo.
#include "HeifFiles.h"
#include "app/Form1.h"
#include "app/SurfaceView.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageWriter>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>

using namespace tivra;

namespace {

// Loads a picture as the player's and waits for it to be on the board.
bool loadAndWait(Form1& form, const QString& file) {
    QSignalSpy ended(&form, &Form1::pictureLoadEnded);
    form.loadPictureFile(file);
    return (!ended.isEmpty() || ended.wait(15000)) && ended.constFirst().constFirst().toBool();
}

} // namespace

namespace {

Form1* shownWindow() {
    static Form1* form = [] {
        auto* window = new Form1;
        window->setDecodeHelper(QStringLiteral(TIVRA_DECODE_HELPER));
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

// The first piece taken after New Game: the empty receiving grid is stored
// only then, once a game.
void FirstMove(benchmark::State& state) {
    Form1* form = shownWindow();
    Puzzle& p = form->puzzle();
    for (auto _ : state) {
        state.PauseTiming();
        form->JocNou_Click();
        state.ResumeTiming();
        QTest::mousePress(form->clientArea(), Qt::RightButton, {}, centre(p, kSource, 1, 1));
    }
    form->Renunta_Click();
}

void NewGame(benchmark::State& state) {
    Form1* form = shownWindow();
    for (auto _ : state)
        form->JocNou_Click();
    form->Renunta_Click();
}

// A smooth scene with fine grain, about as hard to decode as a photo.
QImage grainyPhoto(int width, int height) {
    QImage photo(width, height, QImage::Format_RGB32);
    for (int y = 0; y < photo.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(photo.scanLine(y));
        for (int x = 0; x < photo.width(); ++x) {
            const unsigned grain =
                (static_cast<unsigned>(x) * 2654435761u ^ static_cast<unsigned>(y) * 40503u) >> 27;
            line[x] = qRgb((x * 250 / width + grain) & 255, (y * 250 / height + grain) & 255,
                           ((x + y) * 120 / (width + height) + grain) & 255);
        }
    }
    return photo;
}

struct PhotoFile {
    const char* name;
    int width;
    int height;
    std::function<void(const QImage&, const QString&)> save;
};

void saveWithQt(const QImage& photo, const QString& file, const char* format, bool progressive) {
    QImageWriter writer(file, format);
    writer.setQuality(85);
    writer.setProgressiveScanWrite(progressive);
    if (QByteArray(format) == "tiff")
        writer.setCompression(1);
    if (!writer.write(photo))
        std::fprintf(stderr, "could not write %s\n", qPrintable(file));
}

void saveHeif(const QImage& photo, const QString& file, tivra::testing::HeifCodec codec) {
    QFile out(file);
    if (out.open(QIODevice::WriteOnly))
        out.write(tivra::testing::heifFile(photo, codec));
}

// How the photo is decoded: as the game loads a chosen or dropped file,
// through a helper started when the dialog opened or the drag came in; as
// it loads the command line's, through a helper started then; or in the
// game's own process, the baseline of the helper's cost.
enum class Decoding { HelperAhead, HelperOnDemand, InProcess };

// From the file chosen to the repainted board, and the peak memory over the
// idle game's.
void LoadPhoto(benchmark::State& state, const PhotoFile& kind, Decoding decoding) {
    Form1* form = shownWindow();
    form->setDecodeHelper(decoding == Decoding::InProcess ? QString()
                                                          : QStringLiteral(TIVRA_DECODE_HELPER));
    QTemporaryDir dir;
    const QString file = dir.filePath(QString::fromLatin1(kind.name));
    kind.save(grainyPhoto(kind.width, kind.height), file);
    state.counters["file_MB"] = static_cast<double>(QFileInfo(file).size()) / (1 << 20);
    form->Renunta_Click();
    const QString small = dir.filePath(QStringLiteral("small.jpg"));
    saveWithQt(grainyPhoto(400, 339), small, "jpg", false);
    loadAndWait(*form, small); // back to a small picture
    // A refusal's message box is closed, so that the run goes on to report it.
    QTimer refusals;
    refusals.setInterval(50);
    QObject::connect(&refusals, &QTimer::timeout, [] {
        if (QWidget* box = QApplication::activeModalWidget())
            box->close();
    });
    refusals.start();
    resetPeakMemory();
    const long before = peakMemoryKb();
    bool loaded = true;
    for (auto _ : state) {
        if (decoding == Decoding::HelperAhead) {
            // The player takes longer than this to choose a file.
            state.PauseTiming();
            form->startDecodeHelperAhead();
            QTest::qWait(300);
            state.ResumeTiming();
        }
        loaded = loadAndWait(*form, file) && loaded;
    }
    state.counters["peak_extra_MB"] = static_cast<double>(peakMemoryKb() - before) / 1024.0;
    form->setDecodeHelper(QStringLiteral(TIVRA_DECODE_HELPER));
    if (!loaded)
        state.SkipWithError("the picture was refused");
}

const PhotoFile kPhotos[] = {
    {"24mp.jpg", 6000, 4000, [](auto& p, auto& f) { saveWithQt(p, f, "jpg", false); }},
    {"100mp-progressive.jpg", 12248, 8165, [](auto& p, auto& f) { saveWithQt(p, f, "jpg", true); }},
    {"48mp.png", 8000, 6000, [](auto& p, auto& f) { saveWithQt(p, f, "png", false); }},
    {"40mp.tiff", 7300, 5480, [](auto& p, auto& f) { saveWithQt(p, f, "tiff", false); }},
    {"16mp.webp", 4096, 4096, [](auto& p, auto& f) { saveWithQt(p, f, "webp", false); }},
    {"12mp.heic", 4000, 3000,
     [](auto& p, auto& f) { saveHeif(p, f, tivra::testing::HeifCodec::Hevc); }},
    {"12mp.avif", 4000, 3000,
     [](auto& p, auto& f) { saveHeif(p, f, tivra::testing::HeifCodec::Av1); }},
};

} // namespace

BENCHMARK(MoveByMouse)->Unit(benchmark::kMicrosecond);
BENCHMARK(FirstMove)->Unit(benchmark::kMicrosecond);
BENCHMARK(NewGame)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM",
                "offscreen:configfile=" TIVRA_BENCH_DIR "/screen-1920x1080.json");
    QApplication app(argc, argv);
    const long idle = (shownWindow(), peakMemoryKb());
    // Each photo through the decoding helper, as the game loads it, then
    // decoded in this process, the baseline of the helper's cost; the JPEG
    // also through a helper started when it is asked for.
    for (const PhotoFile& kind : kPhotos)
        for (const auto& [decoding, suffix] : {std::pair{Decoding::HelperAhead, ""},
                                               std::pair{Decoding::HelperOnDemand, "/on-demand"},
                                               std::pair{Decoding::InProcess, "/in-process"}})
            if (decoding != Decoding::HelperOnDemand || &kind == kPhotos)
                benchmark::RegisterBenchmark(
                    (std::string("LoadPhoto/") + kind.name + suffix).c_str(), LoadPhoto, kind,
                    decoding)
                    ->Unit(benchmark::kMillisecond)
                    ->Iterations(3);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    std::printf("client area %dx%d, peak memory of the idle game: %.1f MB\n",
                shownWindow()->clientArea()->width(), shownWindow()->clientArea()->height(),
                static_cast<double>(idle) / 1024.0);
    return 0;
}
