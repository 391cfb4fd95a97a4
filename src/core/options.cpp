#include "core/options.h"

TSharedOption<long double> DisplayGamma{1.8L};
std::atomic<bool> GammaCorrection{true};
std::atomic<long long> PGMaxImageBytes{kPGDefaultMaxImageBytes};
