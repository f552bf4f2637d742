#pragma once

#include <cstdint>
#include <random>

namespace tivra::testing {

// The tests' random source: always seeded, so that a run deals, clicks and
// scribbles exactly as the last one did, and a failure can be replayed.
class SeededRandom {
public:
    explicit SeededRandom(unsigned seed = std::mt19937::default_seed) : gen_(seed) {}
    void seed(unsigned seed) { gen_.seed(seed); }

    // The next 32 random bits.
    std::uint32_t bits() { return gen_(); }
    // A fraction in [0, 1), of the 24 bits a float holds: what the board's
    // shuffle draws.
    float fraction() { return static_cast<float>(gen_() >> 8) / 16777216.0f; }
    // A whole number from 0 to limit - 1.
    int below(int limit) { return static_cast<int>(gen_() % static_cast<unsigned>(limit)); }
    // Fractions drawn from this source (not from a copy of it), for
    // Puzzle::ShuffleBoard.
    auto fractions() {
        return [this] { return fraction(); };
    }

private:
    std::mt19937 gen_;
};

} // namespace tivra::testing
