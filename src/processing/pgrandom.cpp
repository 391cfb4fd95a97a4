#include "processing/pgrandom.h"

TPGRandom& ProgramRandom() {
    static TPGRandom generator(0);
    return generator;
}
