// Writes the move sound: a short, soft click as 16-bit mono PCM WAV.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <iostream>
#include <vector>

namespace {

void put16(std::ofstream& out, std::uint16_t v) {
    const char bytes[2] = {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)};
    out.write(bytes, 2);
}

void put32(std::ofstream& out, std::uint32_t v) {
    put16(out, static_cast<std::uint16_t>(v & 0xFFFF));
    put16(out, static_cast<std::uint16_t>(v >> 16));
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: make_sound OUT.wav\n";
        return 2;
    }
    constexpr int rate = 44100;
    constexpr double seconds = 0.06;
    constexpr double pi = 3.14159265358979323846;
    const int count = static_cast<int>(rate * seconds);

    // Two damped tones, a wooden "tock", fading in over a millisecond so it
    // does not pop.
    std::vector<std::int16_t> samples(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        const double t = static_cast<double>(i) / rate;
        const double attack = std::min(1.0, t / 0.001);
        const double body = std::sin(2 * pi * 1400 * t) * std::exp(-t * 90) +
                            0.5 * std::sin(2 * pi * 2900 * t) * std::exp(-t * 160);
        samples[static_cast<std::size_t>(i)] =
            static_cast<std::int16_t>(std::lround(0.35 * 32767 * attack * body / 1.5));
    }

    std::ofstream out(argv[1], std::ios::binary);
    const std::uint32_t dataBytes = static_cast<std::uint32_t>(samples.size() * 2);
    out.write("RIFF", 4);
    put32(out, 36 + dataBytes);
    out.write("WAVEfmt ", 8);
    put32(out, 16);
    put16(out, 1); // PCM
    put16(out, 1); // mono
    put32(out, rate);
    put32(out, rate * 2);
    put16(out, 2);
    put16(out, 16);
    out.write("data", 4);
    put32(out, dataBytes);
    for (std::int16_t s : samples)
        put16(out, static_cast<std::uint16_t>(s));
    return out ? 0 : 1;
}
