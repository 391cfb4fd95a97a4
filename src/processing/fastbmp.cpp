#include "processing/fastbmp.h"

#include <cstring>
#include <stdexcept>

#include "core/options.h"
#include "core/pixelgraphic.h"

TFastBMP::TFastBMP(int width, int height) {
    Allocate(width, height);
}

TFastBMP::TFastBMP(TPixelGraphic& picture) {
    TPixelGraphic copy;
    const TPixelGraphic* source = &picture;
    if (picture.PixelFormat() != pg24Bit) {
        copy.SetFormat(picture.GetWidth(), picture.GetHeight(), pg24Bit);
        copy.CopyFrom(picture);
        source = &copy;
    }
    Allocate(source->GetWidth(), source->GetHeight());
    const size_t n = size_t(3) * size_t(width_);
    for (int y = 0; y < height_; ++y)
        std::memcpy(rows_[size_t(y)], source->ScanLine(y), n);
}

void TFastBMP::Allocate(int width, int height) {
    if (width <= 0 || height <= 0) {
        width_ = height_ = 0;
        return;
    }
    width_ = width;
    height_ = height;
    bits_.assign(size_t(TotalSize()), 0);
    rows_.resize(size_t(height));
    for (int y = 0; y < height; ++y)
        rows_[size_t(y)] = bits_.data() + int64_t(y) * RowStride();
}

void TFastBMP::CopyBitsFrom(const TFastBMP& other) {
    if (other.width_ != width_ || other.height_ != height_)
        throw std::invalid_argument("TFastBMP::CopyBitsFrom: sizes differ");
    bits_ = other.bits_;
    for (int y = 0; y < height_; ++y)
        rows_[size_t(y)] = bits_.data() + int64_t(y) * RowStride();
}

void TFastBMP::AssignTo(TPixelGraphic& picture) const {
    TPGUpdateScope update(picture);
    picture.SetGamma(DisplayGamma);
    picture.SetFormat(width_, height_, pg24Bit);
    const size_t n = size_t(3) * size_t(width_);
    for (int y = 0; y < height_; ++y)
        std::memcpy(picture.ScanLine(y), rows_[size_t(y)], n);
    picture.IdentifyPalette();
    picture.Changed();
    update.Finish();
}
