#pragma once
// Silent clips in RIFF "AVI " files: the first video stream's frame size,
// frame interval, format and the place of every frame, and a decoder for the
// frame kinds people have (uncompressed DIBs of 8 to 32 bits, RLE8 and RLE4
// with delta frames, Motion JPEG). Every chunk size and frame is checked
// against the file; nothing here needs Qt.

#include <cstdint>
#include <string>
#include <vector>

class TStream;
class TPixelGraphic;

enum class TAviCodec { Raw, RLE8, RLE4, MJPEG, Unsupported };

struct TAviFrame {
    int64_t offset = 0; // of the frame's data in the file
    uint32_t size = 0;  // 0: a dropped frame, the previous one stays
};

struct TAviClip {
    int width = 0, height = 0;
    double frameInterval = 1000.0 / 15; // milliseconds
    TAviCodec codec = TAviCodec::Unsupported;
    uint32_t compression = 0;    // the format's compression (a FourCC or BI_ value)
    std::vector<uint8_t> format; // BITMAPINFOHEADER and colour table of the stream
    std::vector<TAviFrame> frames;
};

// Parses the clip in `stream`; raises EPixelGraphic ("AVI: ...") when it is
// not a clip with a video stream. Frames past the first gigabyte's RIFF form
// (continuation lists) are not listed.
TAviClip ParseAviClip(TStream& stream);

// Decodes frames of one clip in order. RLE frames draw over the frame before,
// so the decoder keeps its last frame; asking for frame 0 starts again.
class TAviFrameDecoder {
  public:
    explicit TAviFrameDecoder(const TAviClip& clip);

    // Decodes frame `index` into `picture` (24 bits, or 8 bits with the
    // clip's palette for 8-bit and RLE clips). False when the frame cannot be
    // decoded: the caller keeps showing the previous one.
    bool DecodeFrame(TStream& stream, int index, TPixelGraphic& picture);

  private:
    bool DecodeRle(const std::vector<uint8_t>& data, bool four);
    void IndexFrameTo(TPixelGraphic& picture) const;

    const TAviClip& clip_;
    std::vector<uint8_t> indices_; // RLE clips: the frame so far, bottom row first
    int next_ = 0;                 // the frame an RLE clip can decode next
};
