// Runs the start-up probe ten times and reports the median time from exec to
// the painted board, and the idle game's peak memory. Needs a display.
#include <algorithm>
#include <cstdio>
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

// Starts the probe and returns its output line.
std::string runProbe(const char* probe, double& started) {
    int out[2];
    if (pipe(out) != 0)
        return {};
    started = monotonicSeconds();
    const pid_t child = fork();
    if (child == 0) {
        dup2(out[1], STDOUT_FILENO);
        close(out[0]);
        execl(probe, probe, static_cast<char*>(nullptr));
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
    return line;
}

} // namespace

int main(int argc, char** argv) {
    const char* probe = argc > 1 ? argv[1] : "bench/startup_probe";
    double started = 0;
    runProbe(probe, started); // once to warm the file cache
    std::vector<double> times;
    long peakKb = 0;
    for (int run = 0; run < 10; ++run) {
        const std::string line = runProbe(probe, started);
        double painted = 0;
        if (std::sscanf(line.c_str(), "%lf %ld", &painted, &peakKb) != 2) {
            std::fprintf(stderr, "the probe did not report: %s\n", line.c_str());
            return 1;
        }
        times.push_back((painted - started) * 1000.0);
    }
    std::sort(times.begin(), times.end());
    std::printf("start-up to painted board: median %.1f ms (min %.1f, max %.1f) over 10 runs\n",
                (times[4] + times[5]) / 2, times.front(), times.back());
    std::printf("peak memory of the idle game: %.1f MB\n", static_cast<double>(peakKb) / 1024.0);
    return 0;
}
