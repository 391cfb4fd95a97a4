#pragma once
// The program-wide random numbers of the effects: one generator, seeded with
// 0 when the program starts and never reseeded, so the same steps give the
// same pictures. A 32-bit linear congruential generator (multiplier 1664525,
// increment 1013904223, as published in Numerical Recipes); Random(n) scales
// the state into 0..n-1 by its high bits, which are the good ones.

#include <cstdint>

class TPGRandom {
  public:
    explicit TPGRandom(uint32_t seed = 0) : state_(seed) {}
    virtual ~TPGRandom() = default;

    // A uniform integer in 0..n-1; 0 when n is 0 or less.
    virtual int Random(int n) {
        state_ = state_ * 1664525u + 1013904223u;
        if (n <= 0) return 0;
        return int((uint64_t(state_) * uint64_t(n)) >> 32);
    }
    uint32_t State() const { return state_; }

  private:
    uint32_t state_;
};

// The generator of the running program.
TPGRandom& ProgramRandom();
