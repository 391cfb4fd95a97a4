// Colour management through Little CMS 2.

#include "core/colour.h"

#include <lcms2.h>

#include <algorithm>
#include <cstring>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>

#include "core/filter.h"
#include "core/pixelgraphic.h"

std::atomic<bool> ColourManagement{true};

namespace {

constexpr cmsUInt32Number kIntent = INTENT_PERCEPTUAL;

// lcms reports a profile it cannot read through its log; the caller sees the
// null handle and ignores the profile, so nothing is said.
void QuietLog(cmsContext, cmsUInt32Number, const char*) {}

void InitOnce() {
    static std::once_flag once;
    std::call_once(once, [] { cmsSetLogErrorHandler(QuietLog); });
}

struct ProfileCloser {
    void operator()(void* h) const {
        if (h) cmsCloseProfile(h);
    }
};
using TProfile = std::unique_ptr<void, ProfileCloser>;

enum class TKind { None, RGB, Grey };

// Opens `icc` when it is a profile pictures can be converted from.
TProfile OpenInput(const std::vector<uint8_t>& icc, TKind& kind) {
    kind = TKind::None;
    if (icc.size() < 132 || icc.size() > kPGMaxProfileBytes) return nullptr;
    InitOnce();
    TProfile h(cmsOpenProfileFromMem(icc.data(), cmsUInt32Number(icc.size())));
    if (!h) return nullptr;
    const cmsProfileClassSignature cls = cmsGetDeviceClass(h.get());
    if (cls != cmsSigInputClass && cls != cmsSigDisplayClass && cls != cmsSigOutputClass &&
        cls != cmsSigColorSpaceClass)
        return nullptr;
    const cmsColorSpaceSignature space = cmsGetColorSpace(h.get());
    if (space == cmsSigRgbData)
        kind = TKind::RGB;
    else if (space == cmsSigGrayData)
        kind = TKind::Grey;
    else
        return nullptr;
    if (!cmsIsIntentSupported(h.get(), kIntent, LCMS_USED_AS_INPUT) &&
        !cmsIsMatrixShaper(h.get()) &&
        !cmsIsCLUT(h.get(), INTENT_RELATIVE_COLORIMETRIC, LCMS_USED_AS_INPUT)) {
        kind = TKind::None;
        return nullptr;
    }
    return h;
}

std::string Description(cmsHPROFILE h) {
    char text[256] = {};
    if (!cmsGetProfileInfoASCII(h, cmsInfoDescription, "en", "US", text, sizeof text)) return {};
    return std::string(text);
}

uint64_t Fnv1a(const std::vector<uint8_t>& b) {
    uint64_t h = 1469598103934665603ULL;
    for (uint8_t c : b)
        h = (h ^ c) * 1099511628211ULL;
    return h ^ uint64_t(b.size());
}

// A transform from one picture profile to one target. Made without lcms's
// one-pixel cache, so several threads may run it on different rows at once.
struct TTransform {
    cmsHTRANSFORM pixels = nullptr;  // BGR rows (RGB profile) - null for grey
    cmsHTRANSFORM entries = nullptr; // palette entries: RGB or grey in, RGB out
    TKind kind = TKind::None;
    bool identity = false;
    ~TTransform() {
        if (pixels) cmsDeleteTransform(pixels);
        if (entries) cmsDeleteTransform(entries);
    }
};

struct TCacheEntry {
    uint64_t hash = 0;
    size_t size = 0;
    TPGColourTarget target = TPGColourTarget::sRGB;
    uint64_t displayGeneration = 0;
    std::shared_ptr<const TTransform> transform; // null: the profile is unusable
};

struct TState {
    std::mutex lock;
    std::vector<uint8_t> display; // empty: sRGB
    uint64_t displayGeneration = 1;
    std::vector<TCacheEntry> cache; // most recently used last
};

TState& State() {
    static TState s;
    return s;
}

constexpr size_t kCacheEntries = 16;

TProfile OpenTarget(TPGColourTarget target, const std::vector<uint8_t>& display) {
    if (target == TPGColourTarget::Display && !display.empty()) {
        TProfile h(cmsOpenProfileFromMem(display.data(), cmsUInt32Number(display.size())));
        if (h) return h;
    }
    return TProfile(cmsCreate_sRGBProfile());
}

// True when the transform leaves every sampled colour as it is (an sRGB
// profile shown on an sRGB display): then the picture is not touched.
bool IsIdentity(cmsHTRANSFORM t, TKind kind) {
    if (kind == TKind::Grey) {
        uint8_t in[256], out[256 * 3];
        for (int i = 0; i < 256; ++i)
            in[i] = uint8_t(i);
        cmsDoTransform(t, in, out, 256);
        for (int i = 0; i < 256; ++i)
            for (int c = 0; c < 3; ++c)
                if (out[i * 3 + c] != i) return false;
        return true;
    }
    std::vector<uint8_t> in, out;
    auto add = [&](int r, int g, int b) {
        in.push_back(uint8_t(r));
        in.push_back(uint8_t(g));
        in.push_back(uint8_t(b));
    };
    for (int i = 0; i < 256; ++i)
        add(i, i, i);
    for (int r = 0; r < 256; r += 15)
        for (int g = 0; g < 256; g += 15)
            for (int b = 0; b < 256; b += 15)
                add(r, g, b);
    out.resize(in.size());
    cmsDoTransform(t, in.data(), out.data(), cmsUInt32Number(in.size() / 3));
    return in == out;
}

std::shared_ptr<const TTransform> MakeTransform(const std::vector<uint8_t>& icc,
                                                TPGColourTarget target,
                                                const std::vector<uint8_t>& display) {
    TKind kind;
    TProfile in = OpenInput(icc, kind);
    if (!in) return nullptr;
    TProfile out = OpenTarget(target, display);
    if (!out) return nullptr;
    auto t = std::make_shared<TTransform>();
    t->kind = kind;
    const cmsUInt32Number flags = cmsFLAGS_NOCACHE;
    if (kind == TKind::RGB) {
        t->pixels = cmsCreateTransform(in.get(), TYPE_BGR_8, out.get(), TYPE_BGR_8, kIntent, flags);
        t->entries =
            cmsCreateTransform(in.get(), TYPE_RGB_8, out.get(), TYPE_RGB_8, kIntent, flags);
        if (!t->pixels || !t->entries) return nullptr;
    } else {
        t->entries =
            cmsCreateTransform(in.get(), TYPE_GRAY_8, out.get(), TYPE_RGB_8, kIntent, flags);
        if (!t->entries) return nullptr;
    }
    t->identity = IsIdentity(t->entries, kind);
    return t;
}

// The transform of the picture's profile to the target, from the cache or
// made now; null when the profile is unusable.
std::shared_ptr<const TTransform> TransformFor(const std::vector<uint8_t>& icc,
                                               TPGColourTarget target) {
    if (icc.empty() || icc.size() > kPGMaxProfileBytes) return nullptr;
    const uint64_t hash = Fnv1a(icc);
    TState& s = State();
    std::vector<uint8_t> display;
    uint64_t generation;
    {
        std::lock_guard guard(s.lock);
        generation = s.displayGeneration;
        for (auto it = s.cache.begin(); it != s.cache.end(); ++it)
            if (it->hash == hash && it->size == icc.size() && it->target == target &&
                (target == TPGColourTarget::sRGB || it->displayGeneration == generation)) {
                TCacheEntry e = *it;
                s.cache.erase(it);
                s.cache.push_back(e);
                return e.transform;
            }
        if (target == TPGColourTarget::Display) display = s.display;
    }
    // Made outside the lock: a large profile takes a while.
    std::shared_ptr<const TTransform> t = MakeTransform(icc, target, display);
    std::lock_guard guard(s.lock);
    if (s.cache.size() >= kCacheEntries) s.cache.erase(s.cache.begin());
    s.cache.push_back({hash, icc.size(), target, generation, t});
    return t;
}

// Whether the transform can convert this picture.
bool Fits(const TTransform& t, const TPixelGraphic& picture) {
    if (picture.GetEmpty() || t.identity) return false;
    if (picture.PixelFormat() == pg24Bit) return t.kind == TKind::RGB;
    if (picture.PaletteCount() == 0) return false;
    return t.kind == TKind::RGB || picture.IsGrayPalette();
}

// Converts the store's rows (bottom row first, `stride` bytes apart) in
// bands, one per worker thread.
void ConvertRows(cmsHTRANSFORM t, uint8_t* bits, int width, int rows, int64_t stride) {
    constexpr int kMinBandRows = 64;
    const int threads = std::clamp(std::min(PGFilterThreads, rows / kMinBandRows), 1, 16);
    auto band = [&](int k) {
        const int r0 = int(int64_t(rows) * k / threads),
                  r1 = int(int64_t(rows) * (k + 1) / threads);
        if (r1 <= r0) return;
        uint8_t* p = bits + int64_t(r0) * stride;
        cmsDoTransformLineStride(t, p, p, cmsUInt32Number(width), cmsUInt32Number(r1 - r0),
                                 cmsUInt32Number(stride), cmsUInt32Number(stride), 0, 0);
    };
    std::vector<std::thread> pool;
    pool.reserve(size_t(threads - 1));
    int started = 1;
    try {
        for (; started < threads; ++started)
            pool.emplace_back(band, started);
    } catch (...) {
        // No thread to spare: the bands not started run here.
        for (int k = started; k < threads; ++k)
            band(k);
    }
    band(0);
    for (std::thread& th : pool)
        th.join();
}

} // namespace

bool PGUsableProfile(const std::vector<uint8_t>& icc) {
    TKind kind;
    return bool(OpenInput(icc, kind));
}

std::string PGProfileDescription(const std::vector<uint8_t>& icc) {
    TKind kind;
    TProfile h = OpenInput(icc, kind);
    return h ? Description(h.get()) : std::string();
}

bool PGSetDisplayProfile(const std::vector<uint8_t>& icc) {
    InitOnce();
    bool usable = false;
    if (!icc.empty() && icc.size() <= kPGMaxProfileBytes) {
        TProfile h(cmsOpenProfileFromMem(icc.data(), cmsUInt32Number(icc.size())));
        // A display profile is used as output: an RGB one lcms can invert.
        usable = h && cmsGetColorSpace(h.get()) == cmsSigRgbData &&
                 (cmsIsMatrixShaper(h.get()) ||
                  cmsIsIntentSupported(h.get(), kIntent, LCMS_USED_AS_OUTPUT));
    }
    TState& s = State();
    std::lock_guard guard(s.lock);
    s.display = usable ? icc : std::vector<uint8_t>();
    ++s.displayGeneration;
    return usable;
}

std::string PGDisplayProfileDescription() {
    std::vector<uint8_t> display;
    {
        TState& s = State();
        std::lock_guard guard(s.lock);
        display = s.display;
    }
    if (!display.empty()) {
        TProfile h(cmsOpenProfileFromMem(display.data(), cmsUInt32Number(display.size())));
        if (h) {
            std::string d = Description(h.get());
            if (!d.empty()) return d;
        }
    }
    return "sRGB";
}

bool PGNeedsColourConversion(const TPixelGraphic& picture, TPGColourTarget target) {
    const std::vector<uint8_t>& icc = picture.ICCProfile();
    if (icc.empty() || picture.GetEmpty()) return false;
    std::shared_ptr<const TTransform> t = TransformFor(icc, target);
    return t && Fits(*t, picture);
}

bool PGConvertColours(TPixelGraphic& picture, TPGColourTarget target) {
    const std::vector<uint8_t>& icc = picture.ICCProfile();
    if (icc.empty() || picture.GetEmpty()) return false;
    std::shared_ptr<const TTransform> t = TransformFor(icc, target);
    if (!t || !Fits(*t, picture)) return false;
    picture.FlushCanvas();
    if (picture.PixelFormat() == pg24Bit) {
        ConvertRows(t->pixels, picture.Bits(), picture.GetWidth(), picture.GetHeight(),
                    picture.RowBytes());
    } else {
        const int n = picture.PaletteCount();
        std::vector<uint8_t> in, out(size_t(n) * 3);
        for (int i = 0; i < n; ++i) {
            const TRGB c = picture.PaletteEntry(i);
            if (t->kind == TKind::Grey) {
                in.push_back(uint8_t(GetRValue(c)));
            } else {
                in.push_back(uint8_t(GetRValue(c)));
                in.push_back(uint8_t(GetGValue(c)));
                in.push_back(uint8_t(GetBValue(c)));
            }
        }
        cmsDoTransform(t->entries, in.data(), out.data(), cmsUInt32Number(n));
        for (int i = 0; i < n; ++i)
            picture.SetPaletteEntry(
                i, RGB(out[size_t(i) * 3], out[size_t(i) * 3 + 1], out[size_t(i) * 3 + 2]));
        picture.IdentifyPalette();
    }
    picture.SetICCProfile({});
    picture.Changed();
    return true;
}
