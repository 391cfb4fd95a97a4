#include "formats/png_bands.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <thread>

#include <zlib.h>

#include "core/pixelgraphic.h"

namespace {
// The weight libpng gives a filtered byte: its distance from 0 as a signed byte.
inline unsigned Weight(uint8_t v) {
    return v < 128 ? v : 256u - v;
}

inline uint8_t Paeth(int a, int b, int c) {
    const int p = b - c, q = a - c;
    const int pa = std::abs(p), pb = std::abs(q), pc = std::abs(p + q);
    return uint8_t(pa <= pb && pa <= pc ? a : pb <= pc ? b : c);
}

// The filtered byte i of filter `f` (1 sub, 2 up, 3 average, 4 Paeth).
inline uint8_t Filtered(int f, const uint8_t* row, const uint8_t* prev, size_t i, int bpp) {
    const bool left = i >= size_t(bpp);
    const int a = left ? row[i - size_t(bpp)] : 0;
    const int b = prev[i];
    const int c = left ? prev[i - size_t(bpp)] : 0;
    switch (f) {
    case 1:
        return uint8_t(row[i] - a);
    case 2:
        return uint8_t(row[i] - b);
    case 3:
        return uint8_t(row[i] - ((a + b) >> 1));
    default:
        return uint8_t(row[i] - Paeth(a, b, c));
    }
}

// The sum of weights of filter `f`, given up once it passes `limit`.
size_t FilterSum(int f, const uint8_t* row, const uint8_t* prev, size_t n, int bpp, size_t limit) {
    size_t sum = 0;
    for (size_t i = 0; i < n; ++i) {
        sum += Weight(Filtered(f, row, prev, i, bpp));
        if (sum > limit) break;
    }
    return sum;
}
} // namespace

void PngFilterRow(const uint8_t* row, const uint8_t* prev, size_t n, int bpp, uint8_t* out) {
    // The smallest sum wins; on a tie the earlier filter (none, sub, up,
    // average, Paeth), as libpng decides.
    size_t best = 0;
    for (size_t i = 0; i < n; ++i)
        best += Weight(row[i]);
    int filter = 0;
    for (int f = 1; f <= 4; ++f) {
        const size_t sum = FilterSum(f, row, prev, n, bpp, best);
        if (sum < best) {
            best = sum;
            filter = f;
        }
    }
    out[0] = uint8_t(filter);
    if (filter == 0) {
        std::memcpy(out + 1, row, n);
        return;
    }
    for (size_t i = 0; i < n; ++i)
        out[i + 1] = Filtered(filter, row, prev, i, bpp);
}

int PngBandCount(int width, int height, int threads) {
    // A band is worth a thread from about half a megabyte of pixels on.
    const int64_t bytes = int64_t(width) * 3 * height;
    const int64_t byBytes = bytes / (1 << 19);
    const int64_t byRows = height / 64;
    return int(std::clamp<int64_t>(std::min({int64_t(threads), byBytes, byRows}), 1, 64));
}

namespace {
// One band's work: rows [y0, y1) filtered and deflated.
struct TBand {
    int y0 = 0, y1 = 0;
    std::vector<uint8_t> out;
    uLong adler = 1;
    uLong length = 0; // filtered bytes
    bool ok = false;
    std::exception_ptr error;
};

class TRowFilter {
  public:
    TRowFilter(const TPixelGraphic& p) : p_(p), n_(size_t(p.GetWidth()) * 3) {
        cur_.resize(n_);
        prev_.assign(n_, 0);
    }
    size_t Bytes() const { return n_ + 1; }
    // Filters row y into `out` (Bytes() bytes); rows must come in order
    // from `Start`.
    void Start(int y) {
        if (y > 0)
            Rgb(y - 1, prev_.data());
        else
            std::fill(prev_.begin(), prev_.end(), 0);
    }
    void Row(int y, uint8_t* out) {
        Rgb(y, cur_.data());
        PngFilterRow(cur_.data(), prev_.data(), n_, 3, out);
        cur_.swap(prev_);
    }

  private:
    void Rgb(int y, uint8_t* dst) const {
        const uint8_t* s = p_.ScanLine(y);
        for (size_t i = 0; i < n_; i += 3) {
            dst[i] = s[i + 2];
            dst[i + 1] = s[i + 1];
            dst[i + 2] = s[i];
        }
    }
    const TPixelGraphic& p_;
    size_t n_;
    std::vector<uint8_t> cur_, prev_;
};

void DeflateBand(const TPixelGraphic& p, TBand& band, bool last) {
    TRowFilter filter(p);
    const size_t rowBytes = filter.Bytes();
    z_stream z{};
    // libpng's settings for image data: the default level, a 32 KB window,
    // and the strategy for filtered rows.
    if (deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -15, 8, Z_FILTERED) != Z_OK) return;
    std::vector<uint8_t> rows;
    // Primed with the filtered data just above, so matches reach across
    // the seam as they would in one run.
    if (band.y0 > 0) {
        const int back = int(std::min<size_t>((32768 + rowBytes - 1) / rowBytes, size_t(band.y0)));
        rows.resize(size_t(back) * rowBytes);
        filter.Start(band.y0 - back);
        for (int k = 0; k < back; ++k)
            filter.Row(band.y0 - back + k, rows.data() + size_t(k) * rowBytes);
        const size_t dict = std::min<size_t>(32768, rows.size());
        deflateSetDictionary(&z, rows.data() + rows.size() - dict, uInt(dict));
    }
    filter.Start(band.y0);
    // Rows go in by the group; the output grows as deflate asks.
    const int group = std::max(1, int(262144 / rowBytes));
    rows.resize(size_t(group) * rowBytes);
    band.out.resize(std::max<size_t>(65536, deflateBound(&z, uLong(rows.size())) / 4));
    size_t used = 0;
    bool ok = true;
    for (int y = band.y0; y < band.y1 && ok;) {
        const int k = std::min(group, band.y1 - y);
        for (int i = 0; i < k; ++i)
            filter.Row(y + i, rows.data() + size_t(i) * rowBytes);
        y += k;
        const size_t in = size_t(k) * rowBytes;
        band.adler = adler32(band.adler, rows.data(), uInt(in));
        band.length += uLong(in);
        const int flush = y < band.y1 ? Z_NO_FLUSH : last ? Z_FINISH : Z_FULL_FLUSH;
        z.next_in = rows.data();
        z.avail_in = uInt(in);
        for (;;) {
            if (band.out.size() - used < 65536) band.out.resize(band.out.size() * 2);
            z.next_out = band.out.data() + used;
            z.avail_out = uInt(band.out.size() - used);
            const int r = deflate(&z, flush);
            used = band.out.size() - z.avail_out;
            if (r == Z_STREAM_END) break;
            if (r != Z_OK && r != Z_BUF_ERROR) {
                ok = false;
                break;
            }
            // Done with this group once deflate has taken it all and left
            // room to spare (so a flush has put all of its output out).
            if (flush != Z_FINISH && z.avail_in == 0 && z.avail_out > 0) break;
        }
    }
    deflateEnd(&z);
    band.out.resize(used);
    band.ok = ok;
}
} // namespace

bool PngDeflateBands(const TPixelGraphic& picture, int bands,
                     const std::function<bool(const uint8_t*, size_t)>& sink,
                     const std::function<void(int)>& rowsDone) {
    const int h = picture.GetHeight();
    bands = std::clamp(bands, 1, std::max(1, h));
    std::vector<TBand> parts(static_cast<size_t>(bands));
    for (int k = 0; k < bands; ++k) {
        parts[size_t(k)].y0 = int(int64_t(h) * k / bands);
        parts[size_t(k)].y1 = int(int64_t(h) * (k + 1) / bands);
    }
    picture.FlushCanvas(); // the bands read the rows at once
    auto work = [&](int k) {
        try {
            DeflateBand(picture, parts[size_t(k)], k == bands - 1);
        } catch (...) {
            parts[size_t(k)].error = std::current_exception();
        }
    };
    std::vector<std::thread> pool;
    try {
        for (int k = 1; k < bands; ++k)
            pool.emplace_back(work, k);
    } catch (...) {
        // No thread to spare: the bands not started run here.
        for (int k = int(pool.size()) + 1; k < bands; ++k)
            work(k);
    }
    work(0);
    // Every band is collected, whatever happens to the output, before
    // anything is thrown.
    bool ok = true;
    std::exception_ptr outputError;
    auto put = [&](const uint8_t* data, size_t n) {
        if (!ok) return;
        try {
            ok = sink(data, n);
        } catch (...) {
            outputError = std::current_exception();
            ok = false;
        }
    };
    // The zlib header of libpng's streams (32 KB window, default level).
    const uint8_t header[2] = {0x78, 0x9C};
    put(header, 2);
    uLong adler = 1;
    for (int k = 0; k < bands; ++k) {
        if (k > 0 && size_t(k - 1) < pool.size()) pool[size_t(k - 1)].join();
        TBand& b = parts[size_t(k)];
        if (!b.ok || b.error) ok = false;
        put(b.out.data(), b.out.size());
        adler = adler32_combine(adler, b.adler, z_off_t(b.length));
        std::vector<uint8_t>().swap(b.out);
        if (ok) try {
                rowsDone(b.y1);
            } catch (...) {
                outputError = std::current_exception();
                ok = false;
            }
    }
    for (const TBand& b : parts)
        if (b.error) std::rethrow_exception(b.error);
    if (outputError) std::rethrow_exception(outputError);
    if (!ok) return false;
    const uint8_t trailer[4] = {uint8_t(adler >> 24), uint8_t(adler >> 16), uint8_t(adler >> 8),
                                uint8_t(adler)};
    put(trailer, 4);
    if (outputError) std::rethrow_exception(outputError);
    return ok;
}
