#pragma once
// Process-wide options of the image library that every picture and load sees.
// One set per process; the editor's save-options dialog edits them.

// Gamma of the display the pictures are corrected for.
extern long double DisplayGamma;
// Whether loads correct a picture's gamma to DisplayGamma.
extern bool GammaCorrection;

// Largest pixel store a picture may allocate. Above it SetFormat raises the
// picture's allocation error instead of allocating.
constexpr long long kPGDefaultMaxImageBytes = 1LL << 30;
extern long long PGMaxImageBytes;
