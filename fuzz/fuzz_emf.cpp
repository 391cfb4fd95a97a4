// Enhanced metafile player on arbitrary bytes (see fuzz_wmf.cpp).
#define FUZZ_ENHANCED 1
#include "fuzz_wmf.cpp"
