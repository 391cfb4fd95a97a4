#pragma once
// The colour conversion of the save routine: a new picture holding the
// source in resolution `t`, for writers that cannot store the source's own.

#include <memory>

#include "core/types.h"

class TPixelGraphic;

std::unique_ptr<TPixelGraphic> ConvertForSave(TPixelGraphic& source, TPGColorResolution t);
