#include "core/options.h"

TSharedOption<long double> DisplayGamma{2.2L};
std::atomic<bool> GammaCorrection{true};
std::atomic<long long> PGMaxImageBytes{kPGDefaultMaxImageBytes};
