// Row-level source reading and destination writing for the pixel operations.

#include "core/pixelrows.h"

#include <typeinfo>

TPGSourceRows::TPGSourceRows(const TPixelGraphic& src) : format_(src.PixelFormat()) {
    const int h = src.GetHeight();
    rows_.resize(size_t(std::max(h, 0)));
    for (int y = 0; y < h; ++y)
        rows_[size_t(y)] = src.ScanLine(y);
    if (format_ != pg24Bit) {
        const int n = src.ColorCount();
        table_.assign(size_t(n), -1);
        const bool trueColor = src.PaletteIdent() == pTrueColor;
        const auto& pal = src.Palette();
        for (int i = 0; i < n; ++i) {
            if (trueColor)
                table_[size_t(i)] = i;
            else if (size_t(i) < pal.size())
                table_[size_t(i)] = pal[size_t(i)] & 0xFFFFFF;
        }
        buffer_.resize(size_t(std::max(src.GetWidth(), 0)) * 3);
    }
}

const uint8_t* TPGSourceRows::RowBGR(int y, int x0, int x1) {
    const uint8_t* row = rows_[size_t(y)];
    if (format_ == pg24Bit) return row;
    uint8_t* out = buffer_.data();
    for (int x = x0; x <= x1; ++x) {
        const TRGB c = Entry(PGLoadIndex(row, format_, x));
        uint8_t* p = out + int64_t(x) * 3;
        p[0] = uint8_t(GetBValue(c));
        p[1] = uint8_t(GetGValue(c));
        p[2] = uint8_t(GetRValue(c));
    }
    return out;
}

TPGPixelWriter::TPGPixelWriter(TPixelGraphic& dest)
    : dest_(dest), state_(dest.DitherState()), format_(dest.PixelFormat()),
      plain_(typeid(dest) == typeid(TPixelGraphic)) {
    if (format_ == pg24Bit)
        mode_ = Mode::Store24;
    else if (state_ && state_->Width == dest.GetWidth())
        mode_ = Mode::Dither;
    else
        mode_ = Mode::Nearest;
}

void TPGPixelWriter::StartRow(int y) {
    y_ = y;
    row_ = dest_.ScanLine(y);
    if (mode_ == Mode::Dither) dest_.NextDitherRow();
}

void TPGPixelWriter::PutDithered(int x, int r, int g, int b) {
    PGDitherInto(dest_, *state_, row_, x, y_, r, g, b);
}

TRGB TPGPixelWriter::Current(int x) const {
    const int32_t v = PGLoadIndex(row_, format_, x);
    return format_ == pg24Bit ? v : PGEntryColor(dest_, v);
}

std::unique_ptr<TPixelGraphic> PGSnapshot(const TPixelGraphic& g) {
    auto copy = std::make_unique<TPixelGraphic>();
    copy->Assign(&g);
    return copy;
}
