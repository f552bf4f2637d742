// Start-up of the game against a bare Qt window, measured in the same run:
// each probe is started in turn (bare, game, bare, game, ...), after one
// warm-up run of each, and the medians of exec to the painted client area
// are compared. Needs a display. A probe may be given one argument after a
// space ("build/bench/startup_probe photo.jpg"); the two may be named.
//   startup_bench GAME_PROBE BARE_PROBE [runs [GAME_NAME BARE_NAME]]
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

double monotonicSeconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

struct Run {
    double ms = 0;
    long peakKb = 0;
};

// Starts a probe and reads the time of its first paint and its peak memory.
bool runProbe(const char* probe, Run& run) {
    int out[2];
    if (pipe(out) != 0)
        return false;
    const double started = monotonicSeconds();
    const pid_t child = fork();
    if (child == 0) {
        dup2(out[1], STDOUT_FILENO);
        close(out[0]);
        const std::string command(probe);
        const std::size_t space = command.find(' ');
        const std::string program = command.substr(0, space);
        if (space == std::string::npos)
            execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
        else
            execl(program.c_str(), program.c_str(), command.substr(space + 1).c_str(),
                  static_cast<char*>(nullptr));
        _exit(127);
    }
    close(out[1]);
    std::string line;
    char buffer[256];
    ssize_t n;
    while ((n = read(out[0], buffer, sizeof buffer)) > 0)
        line.append(buffer, static_cast<std::size_t>(n));
    close(out[0]);
    waitpid(child, nullptr, 0);
    double painted = 0;
    if (std::sscanf(line.c_str(), "%lf %ld", &painted, &run.peakKb) != 2) {
        std::fprintf(stderr, "%s did not report: %s\n", probe, line.c_str());
        return false;
    }
    run.ms = (painted - started) * 1000.0;
    return true;
}

template <typename T> T median(std::vector<T> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

struct Series {
    const char* name;
    const char* probe;
    std::vector<double> ms;
    std::vector<long> peakKb;

    void print() const {
        std::printf("%-14s median %6.1f ms (min %.1f, max %.1f), peak memory %.1f MB\n", name,
                    median(ms), *std::min_element(ms.begin(), ms.end()),
                    *std::max_element(ms.begin(), ms.end()),
                    static_cast<double>(median(peakKb)) / 1024.0);
    }
};

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: startup_bench GAME_PROBE BARE_PROBE [runs]\n");
        return 2;
    }
    const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 15;
    Series game{argc > 5 ? argv[4] : "game", argv[1], {}, {}};
    Series bare{argc > 5 ? argv[5] : "bare window", argv[2], {}, {}};
    Run run;
    for (Series* series : {&bare, &game}) // warm the file cache
        if (!runProbe(series->probe, run))
            return 1;
    for (int i = 0; i < runs; ++i)
        for (Series* series : {&bare, &game}) {
            if (!runProbe(series->probe, run))
                return 1;
            series->ms.push_back(run.ms);
            series->peakKb.push_back(run.peakKb);
        }
    std::printf("exec to the painted client area, %d runs each, interleaved:\n", runs);
    bare.print();
    game.print();
    std::printf("ratio %s / %s: %.2f (time), %.2f (memory)\n", game.name, bare.name,
                median(game.ms) / median(bare.ms),
                static_cast<double>(median(game.peakKb)) /
                    static_cast<double>(median(bare.peakKb)));
    return 0;
}
