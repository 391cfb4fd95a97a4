#pragma once
// Rounding of extended values in the filters' hot loops. nearbyintl and
// floorl save and restore the FPU's environment or control word on every
// call; adding and subtracting 1.5 x 2^63 rounds in the current (nearest,
// ties to even) mode with two additions and gives the same results.

// Round half to even; |x| must stay below 2^62 (callers limit it first).
inline long double RoundEven(long double x) {
    constexpr long double kMagic = 0x3p62L;
    return (x + kMagic) - kMagic;
}

// Floor with the same range.
inline long double FloorL(long double x) {
    const long double r = RoundEven(x);
    return r > x ? r - 1 : r;
}

// An integral extended value as int, through double (no control-word switch).
inline int IntOf(long double integral) {
    return int(double(integral));
}

// The same in double precision (|x| below 2^51).
inline double RoundEven(double x) {
    constexpr double kMagic = 0x1.8p52;
    return (x + kMagic) - kMagic;
}
inline double FloorL(double x) {
    const double r = RoundEven(x);
    return r > x ? r - 1 : r;
}
inline int IntOf(double integral) {
    return int(integral);
}
