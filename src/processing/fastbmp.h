#pragma once
// TFastBMP: a plain 24-bit pixel buffer for the editor's effects, rows top
// first, each pixel blue, green, red, each row padded by width mod 4 bytes.
// The effects index its rows directly instead of going through the picture.

#include <cstddef>
#include <cstdint>
#include <vector>

class TPixelGraphic;

class TFastBMP {
  public:
    TFastBMP() = default;
    // A black buffer of the given size (nothing for sizes of 0 or less).
    TFastBMP(int width, int height);
    // The pixels of `picture` at full size as 24 bits (other formats through
    // a 24-bit copy made with SetFormat and CopyFrom).
    explicit TFastBMP(TPixelGraphic& picture);

    TFastBMP(const TFastBMP&) = delete;
    TFastBMP& operator=(const TFastBMP&) = delete;
    TFastBMP(TFastBMP&&) noexcept = default;
    TFastBMP& operator=(TFastBMP&&) noexcept = default;

    int Width() const { return width_; }
    int Height() const { return height_; }
    int RowGap() const { return width_ % 4; }
    int64_t RowStride() const { return int64_t(3) * width_ + RowGap(); }
    int64_t TotalSize() const { return RowStride() * height_; }
    bool Empty() const { return width_ <= 0 || height_ <= 0; }

    // Row y, 0 = top.
    uint8_t* Row(int y) { return rows_[size_t(y)]; }
    const uint8_t* Row(int y) const { return rows_[size_t(y)]; }
    uint8_t* Bits() { return bits_.data(); }
    const uint8_t* Bits() const { return bits_.data(); }

    // Copies the pixel bits of a buffer of the same size.
    void CopyBitsFrom(const TFastBMP& other);

    // Puts the buffer into `picture` as a 24-bit picture: gamma DisplayGamma,
    // palette identified, one change notification.
    void AssignTo(TPixelGraphic& picture) const;

  private:
    void Allocate(int width, int height);

    int width_ = 0;
    int height_ = 0;
    std::vector<uint8_t> bits_;
    std::vector<uint8_t*> rows_; // the row table
};
