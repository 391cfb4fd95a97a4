#pragma once
// Order in which a GIF stores the rows of a picture: top to bottom, or the
// four interlace passes (every 8th row from 0, every 8th from 4, every 4th
// from 2, every 2nd from 1).

class TGifRowOrder {
  public:
    TGifRowOrder(int height, bool interlaced) : h_(height), interlaced_(interlaced) {}
    // The next row, or -1 when every row was given.
    int Next() {
        if (!interlaced_) return next_ < h_ ? next_++ : -1;
        static constexpr int start[4] = {0, 4, 2, 1}, step[4] = {8, 8, 4, 2};
        while (pass_ < 4) {
            if (next_ < 0) next_ = start[pass_];
            if (next_ < h_) {
                const int r = next_;
                next_ += step[pass_];
                return r;
            }
            ++pass_;
            next_ = -1;
        }
        return -1;
    }

  private:
    int h_;
    bool interlaced_;
    int pass_ = 0;
    int next_ = 0;
};
