#include "cli/tavtool_geometry.h"

#include <charconv>
#include <cmath>

#include "cli/tavtool_commands.h"
#include "cli/tavtool_options.h"
#include "core/exceptions.h"
#include "core/options.h"
#include "core/pixelgraphic.h"
#include "processing/colorres.h"
#include "processing/geometryops.h"
#include "processing/radial.h"
#include "processing/redeye.h"

const char* const kEditSwitches[] = {
    "--crop",      "--flip-horizontal",  "--flip-vertical", "--rotate", "--depth",  "--palette",
    "--no-dither", "--no-rgb-weighting", "--posterize",     "--border", "--redeye", "--radial",
    nullptr};

bool EditSwitchHasValue(const std::string& flag) {
    return flag != "--flip-horizontal" && flag != "--flip-vertical" && flag != "--no-dither" &&
           flag != "--no-rgb-weighting" && flag != "--posterize";
}

namespace {

bool Int(const std::string& s, int64_t lo, int64_t hi, int64_t& v) {
    long long n = 0;
    if (ReadToolInt(s, lo, hi, n) != TToolNumber::Ok) return false;
    v = n;
    return true;
}

std::vector<std::string> Split(const std::string& s, char sep) {
    std::vector<std::string> parts;
    size_t b = 0;
    for (;;) {
        const size_t e = s.find(sep, b);
        parts.push_back(s.substr(b, e == std::string::npos ? std::string::npos : e - b));
        if (e == std::string::npos) return parts;
        b = e + 1;
    }
}

constexpr int64_t kBig = int64_t(1) << 31;

// WxH+X+Y; an offset may be negative: -3 or +-3.
bool ParseCrop(const std::string& v, TPGRect& r) {
    const size_t x = v.find_first_of("xX");
    if (x == std::string::npos) return false;
    const size_t p = v.find_first_of("+-", x + 1);
    if (p == std::string::npos) return false;
    // The second offset starts at the first sign after the first offset's digits.
    const size_t digits = v.find_first_of("0123456789", p);
    if (digits == std::string::npos) return false;
    const size_t q = v.find_first_of("+-", digits);
    if (q == std::string::npos) return false;
    int64_t w, h, ox, oy;
    auto offset = [](std::string s, int64_t& o) {
        if (s.size() > 1 && s[0] == '+') s.erase(0, 1);
        return Int(s, -kBig + 1, kBig - 1, o);
    };
    if (!Int(v.substr(0, x), 1, kBig - 1, w) || !Int(v.substr(x + 1, p - x - 1), 1, kBig - 1, h) ||
        !offset(v.substr(p, q - p), ox) || !offset(v.substr(q), oy))
        return false;
    r = {int(ox), int(oy), int(w), int(h)};
    return true;
}

bool ParseAngle(const std::string& v, long double& a) {
    double d = 0;
    const char* first = v.data() + (v.size() > 1 && v[0] == '+' ? 1 : 0);
    const auto r = std::from_chars(first, v.data() + v.size(), d);
    if (r.ec != std::errc() || r.ptr != v.data() + v.size() || !std::isfinite(d) ||
        std::fabs(d) > 1e9)
        return false;
    a = d;
    return true;
}

bool ParseHexColor(const std::string& v, TRGB& c) {
    unsigned rgb = 0;
    const auto r = std::from_chars(v.data(), v.data() + v.size(), rgb, 16);
    if (v.size() != 6 || r.ec != std::errc() || r.ptr != v.data() + v.size()) return false;
    c = RGB(int(rgb >> 16), int(rgb >> 8), int(rgb));
    return true;
}

struct TBorder {
    int width = 20;
    TRGB color = RGB(255, 255, 255);
    bool oval = false;
};

bool ParseBorder(const std::string& v, TBorder& b) {
    const auto parts = Split(v, ':');
    int64_t n = 0;
    if (parts.size() > 3 || !Int(parts[0], kMinBorderWidth, 1 << 30, n)) return false;
    b.width = int(n);
    if (parts.size() > 1 && !ParseHexColor(parts[1], b.color)) return false;
    if (parts.size() > 2) {
        if (parts[2] != "ellipse" && parts[2] != "rectangle") return false;
        b.oval = parts[2] == "ellipse";
    }
    return true;
}

bool ParseRedEye(const std::string& v, TPGRect& r, int& amount) {
    const auto parts = Split(v, ':');
    if (parts.size() > 2) return false;
    const auto n = Split(parts[0], ',');
    int64_t k[4];
    if (n.size() != 4) return false;
    for (int i = 0; i < 4; ++i)
        if (!Int(n[size_t(i)], i < 2 ? -kBig + 1 : 1, kBig - 1, k[i])) return false;
    r = {int(k[0]), int(k[1]), int(k[2]), int(k[3])};
    int64_t a = 0;
    if (parts.size() == 2 && !Int(parts[1], kRedEyeMinAmount, kRedEyeMaxAmount, a)) return false;
    amount = int(a);
    return true;
}

bool ParseRadial(const std::string& v, TRadialCoefficients& k) {
    const auto n = Split(v, ',');
    return n.size() == 4 && ParseRadialCoefficients(n[0], n[1], n[2], n[3], k);
}

struct TPaletteName {
    const char* name;
    TColorRezChoice choice;
};
const TPaletteName kPalettes[] = {
    {"bw", crzBlackWhite},         {"gray4", crzGray4},           {"sysgray4", crzSysGray4},
    {"gray16", crzGray16},         {"sys16", crzSys16},           {"gray236", crzGray236},
    {"gray256", crzGray256},       {"special125", crzSpecial125}, {"special216", crzSpecial216},
    {"special252", crzSpecial252},
};

// bw .. special252, optimized:N, optimized-sys16:N; the optimised choice
// follows the depth, checked with it.
bool ParsePalette(const std::string& v, TColorRezOptions& o, bool& optimized) {
    for (const TPaletteName& p : kPalettes)
        if (v == p.name) {
            o.choice = p.choice;
            optimized = false;
            return true;
        }
    const auto parts = Split(v, ':');
    int64_t n = 0;
    if (parts.size() != 2 || (parts[0] != "optimized" && parts[0] != "optimized-sys16") ||
        !Int(parts[1], 2, 256, n))
        return false;
    o.colors = int(n);
    o.systemColors = parts[0] == "optimized-sys16";
    optimized = true;
    return true;
}

// The colour-depth options of the whole command line.
TColorRezOptions ColorRezOf(const TToolArgs& a, int depth) {
    TColorRezOptions o;
    bool optimized = false, named = false;
    for (const TEditStep& s : a.edits) {
        if (s.flag == "--palette") named = ParsePalette(s.value, o, optimized);
        if (s.flag == "--no-dither") o.dither = false;
        if (s.flag == "--no-rgb-weighting") o.rgbWeighting = false;
    }
    const TPGPixelFormat f = depth == 1   ? pg1Bit
                             : depth == 4 ? pg4Bit
                             : depth == 8 ? pg8Bit
                                          : pg24Bit;
    if (f == pg24Bit) {
        if (named) throw TUsageError{"--palette needs --depth 1, 4 or 8"};
        o.choice = crzTrueColor;
        return o;
    }
    if (!named) {
        // The colour resolution window's defaults for the depth.
        o.choice = ColorRezDefault(f);
        o.colors = 252;
        o.systemColors = true;
        return o;
    }
    if (optimized) {
        o.choice = f == pg1Bit ? crzOptimized2 : f == pg4Bit ? crzOptimized16 : crzOptimized256;
        if (o.colors > PixelFormatColors(f))
            throw TUsageError{"--palette optimized: at most " +
                              std::to_string(PixelFormatColors(f)) + " colours at " +
                              std::to_string(depth) + " bits"};
        if (o.systemColors && f != pg8Bit)
            throw TUsageError{"--palette optimized-sys16 needs --depth 8"};
    } else if (ColorRezFormat(o.choice) != f) {
        throw TUsageError{"--palette does not fit --depth " + std::to_string(depth)};
    }
    return o;
}

} // namespace

bool AddEditStep(TToolArgs& a, const std::string& flag, const std::string& value) {
    bool ok = true;
    TPGRect r;
    long double angle;
    TBorder b;
    int amount;
    TRadialCoefficients k;
    TColorRezOptions o;
    bool optimized;
    int64_t n;
    if (flag == "--crop")
        ok = ParseCrop(value, r);
    else if (flag == "--rotate")
        ok = ParseAngle(value, angle);
    else if (flag == "--depth")
        ok = Int(value, 1, 24, n) && (n == 1 || n == 4 || n == 8 || n == 24);
    else if (flag == "--palette")
        ok = ParsePalette(value, o, optimized);
    else if (flag == "--border")
        ok = ParseBorder(value, b);
    else if (flag == "--redeye")
        ok = ParseRedEye(value, r, amount);
    else if (flag == "--radial")
        ok = ParseRadial(value, k);
    if (ok) a.edits.push_back({flag, value});
    return ok;
}

void CheckEditSteps(const TToolArgs& a) {
    int depths = 0, palettes = 0;
    for (const TEditStep& s : a.edits) {
        if (s.flag == "--depth") {
            ++depths;
            int64_t d = 0;
            Int(s.value, 1, 24, d);
            ColorRezOf(a, int(d));
        }
        if (s.flag == "--palette") ++palettes;
    }
    if (palettes > 1) throw TUsageError{"--palette given more than once"};
    if (palettes && !depths) throw TUsageError{"--palette needs --depth"};
}

std::unique_ptr<TPixelGraphic> RunEditSteps(std::unique_ptr<TPixelGraphic> p, const TToolArgs& a) {
    for (const TEditStep& s : a.edits) {
        const std::string& f = s.flag;
        if (f == "--crop") {
            TPGRect r;
            ParseCrop(s.value, r);
            auto c = CropPicture(*p, r);
            if (!c) throw Exception("--crop " + s.value + ": the rectangle misses the picture");
            p = std::move(c);
        } else if (f == "--flip-horizontal") {
            p->FlipHorizontal();
        } else if (f == "--flip-vertical") {
            p->FlipVertical();
        } else if (f == "--rotate") {
            long double angle = 0;
            ParseAngle(s.value, angle);
            p = RotatePicture(*p, angle);
        } else if (f == "--depth") {
            int64_t d = 0;
            Int(s.value, 1, 24, d);
            p = ColorResolutionPicture(*p, ColorRezOf(a, int(d)));
        } else if (f == "--posterize") {
            p = PosterizePicture(*p);
        } else if (f == "--border") {
            TBorder b;
            ParseBorder(s.value, b);
            p = BorderPicture(*p, b.width, b.color, b.oval);
        } else if (f == "--redeye") {
            TPGRect r;
            int amount = 0;
            ParseRedEye(s.value, r, amount);
            auto e = RedEyePicture(*p, r, RedEyeLimitsFor(amount));
            if (!e) throw Exception("--redeye " + s.value + ": the rectangle misses the picture");
            p = std::move(e);
        } else if (f == "--radial") {
            TRadialCoefficients k;
            ParseRadial(s.value, k);
            p = RadialAdjust(*p, k);
        } else if (f == "--size") {
            // W x H, or one side with the other kept in proportion.
            const size_t x = s.value.find_first_of("xX");
            int64_t w = 0, h = 0;
            Int(s.value.substr(0, x), 1, 1 << 20, w);
            Int(s.value.substr(x + 1), 1, 1 << 20, h);
            if (w == 0) w = ConstrainedSide(h, p->GetHeight(), p->GetWidth());
            if (h == 0) h = ConstrainedSide(w, p->GetWidth(), p->GetHeight());
            if (w < 1 || h < 1) throw EPGInvalidSize(PGMessage(35));
            // A size past what a picture may take is said with its limit
            // before anything is allocated.
            const long double bytes = (((24.0L * w + 31) / 32) * 4) * h;
            if (w > (1 << 30) || h > (1 << 30) || bytes > PGMaxImageBytes) {
                const long long mib = (PGMaxImageBytes + (1 << 20) - 1) >> 20;
                throw Exception("--size " + std::to_string(w) + "x" + std::to_string(h) +
                                " is too large: the picture would take " +
                                std::to_string((long long)(bytes / (1 << 20)) + 1) +
                                " MiB, more than the " + std::to_string(mib) +
                                " MiB a picture may take");
            }
            p = Resample(*p, int(w), int(h), a.stretch);
        }
    }
    return p;
}

bool ParseCropValue(const std::string& value, TPGRect& rect) { return ParseCrop(value, rect); }
bool ParseRotateValue(const std::string& value, long double& degrees) { return ParseAngle(value, degrees); }
