#include "core/options.h"

long double DisplayGamma = 1.8L;
bool GammaCorrection = true;
long long PGMaxImageBytes = kPGDefaultMaxImageBytes;
