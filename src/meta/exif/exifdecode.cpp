#include "meta/exif/exifdecode.h"

#include <cmath>
#include <cstdio>
#include <vector>

#include "meta/exif/exifreader.h"

namespace {

struct TName {
    int value;
    const char* text;
};

template <size_t N> std::string Lookup(const TName (&table)[N], int64_t value) {
    for (const TName& n : table)
        if (n.value == value) return n.text;
    return "Unknown (" + std::to_string(value) + ")";
}

// The values as numbers: integers, or numerator and denominator pairs.
class TNumbers {
  public:
    explicit TNumbers(const TExifValues& v) : v_(v) {}
    size_t Count() const {
        const int size = ExifTypeSize(v_.Type);
        return size > 0 ? std::min<size_t>(v_.Size / size_t(size), v_.Count) : 0;
    }
    bool IsRational() const { return v_.Type == 5 || v_.Type == 10; }
    bool IsInteger() const {
        return v_.Type == 1 || v_.Type == 3 || v_.Type == 4 || v_.Type == 6 || v_.Type == 8 ||
               v_.Type == 9 || v_.Type == 7;
    }
    int64_t Int(size_t i) const {
        const uint8_t* p = v_.Bytes + i * size_t(ExifTypeSize(v_.Type));
        switch (v_.Type) {
        case 1:
        case 7:
            return p[0];
        case 6:
            return int8_t(p[0]);
        case 3:
            return U16(p);
        case 8:
            return int16_t(U16(p));
        case 4:
            return U32(p);
        case 9:
            return int32_t(U32(p));
        default:
            return 0;
        }
    }
    // The value as a real number; false for a zero denominator or a type
    // without one.
    bool Real(size_t i, double& out) const {
        if (IsRational()) {
            const uint8_t* p = v_.Bytes + i * 8;
            const double n = v_.Type == 10 ? double(int32_t(U32(p))) : double(U32(p));
            const double d = v_.Type == 10 ? double(int32_t(U32(p + 4))) : double(U32(p + 4));
            if (d == 0) return false;
            out = n / d;
            return true;
        }
        if (IsInteger()) {
            out = double(Int(i));
            return true;
        }
        return false;
    }
    // Numerator and denominator of a rational.
    void Fraction(size_t i, int64_t& n, int64_t& d) const {
        const uint8_t* p = v_.Bytes + i * 8;
        n = v_.Type == 10 ? int64_t(int32_t(U32(p))) : int64_t(U32(p));
        d = v_.Type == 10 ? int64_t(int32_t(U32(p + 4))) : int64_t(U32(p + 4));
    }

  private:
    uint32_t U16(const uint8_t* p) const {
        return v_.Intel ? uint32_t(p[0] | p[1] << 8) : uint32_t(p[0] << 8 | p[1]);
    }
    uint32_t U32(const uint8_t* p) const {
        return v_.Intel ? uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 |
                              uint32_t(p[3]) << 24
                        : uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 |
                              uint32_t(p[3]);
    }
    const TExifValues& v_;
};

// A number with at most `decimals` places, trailing zeros dropped ("5.6", "8").
std::string Decimal(double x, int decimals = 1) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, x);
    std::string s = buf;
    if (s.find('.') != std::string::npos) {
        while (s.back() == '0') s.pop_back();
        if (s.back() == '.') s.pop_back();
    }
    if (s == "-0") s = "0";
    return s;
}

std::string ExposureText(double seconds) {
    if (!(seconds > 0) || !std::isfinite(seconds)) return {};
    if (seconds >= 1) return Decimal(seconds) + " s";
    // Shorter times as the fractions cameras set: 1/250 s.
    return "1/" + Decimal(1 / seconds, 0) + " s";
}

std::string FNumberText(double f) {
    if (!(f > 0) || !std::isfinite(f)) return {};
    return "f/" + Decimal(f);
}

// The bytes as text while they are printable ("0221").
std::string AsciiBytes(const TExifValues& v) {
    std::string s;
    for (size_t i = 0; i < v.Size; ++i) {
        const uint8_t c = v.Bytes[i];
        if (c == 0) break;
        if (c < 0x20 || c > 0x7E) return {};
        s += char(c);
    }
    return s;
}

std::string FlashText(int64_t f) {
    if (f & 0x20) return "No flash function";
    std::string s = (f & 1) ? "Flash fired" : "Flash did not fire";
    switch ((f >> 3) & 3) {
    case 1:
        s += ", compulsory";
        break;
    case 2:
        s += ", compulsory off";
        break;
    case 3:
        s += ", auto mode";
        break;
    default:
        break;
    }
    if (f & 0x40) s += ", red-eye reduction";
    switch ((f >> 1) & 3) {
    case 2:
        s += ", return not detected";
        break;
    case 3:
        s += ", return detected";
        break;
    default:
        break;
    }
    return s;
}

// Degrees, minutes and seconds as 48°51'29.6", followed by the reference.
std::string CoordinateText(const TNumbers& n, const std::string& ref) {
    if (n.Count() < 1) return {};
    double parts[3] = {0, 0, 0};
    for (size_t i = 0; i < std::min<size_t>(3, n.Count()); ++i)
        if (!n.Real(i, parts[i])) return {};
    double total = std::fabs(parts[0]) + parts[1] / 60 + parts[2] / 3600;
    if (!std::isfinite(total)) return {};
    // Rounded to tenths of a second first, so 59.96" carries into the minute.
    const long long tenths = std::llround(total * 36000);
    const long long deg = tenths / 36000, min = tenths / 600 % 60, sec10 = tenths % 600;
    char buf[96];
    std::snprintf(buf, sizeof buf, "%lld\u00B0%lld'%lld.%lld\"", deg, min, sec10 / 10, sec10 % 10);
    return buf + ref;
}

const TName kOrientation[] = {{1, "Horizontal (normal)"},
                              {2, "Mirror horizontal"},
                              {3, "Rotate 180"},
                              {4, "Mirror vertical"},
                              {5, "Mirror horizontal and rotate 270 CW"},
                              {6, "Rotate 90 CW"},
                              {7, "Mirror horizontal and rotate 90 CW"},
                              {8, "Rotate 270 CW"}};
const TName kResolutionUnit[] = {{1, "None"}, {2, "inches"}, {3, "cm"}};
const TName kYCbCrPositioning[] = {{1, "Centered"}, {2, "Co-sited"}};
const TName kExposureProgram[] = {{0, "Not defined"},       {1, "Manual"},
                                  {2, "Program AE"},        {3, "Aperture-priority AE"},
                                  {4, "Shutter speed priority AE"}, {5, "Creative (slow speed)"},
                                  {6, "Action (high speed)"}, {7, "Portrait"},
                                  {8, "Landscape"}};
const TName kMeteringMode[] = {{0, "Unknown"}, {1, "Average"},    {2, "Center-weighted average"},
                               {3, "Spot"},    {4, "Multi-spot"}, {5, "Multi-segment"},
                               {6, "Partial"}, {255, "Other"}};
const TName kLightSource[] = {{0, "Unknown"},
                              {1, "Daylight"},
                              {2, "Fluorescent"},
                              {3, "Tungsten (incandescent)"},
                              {4, "Flash"},
                              {9, "Fine weather"},
                              {10, "Cloudy"},
                              {11, "Shade"},
                              {12, "Daylight fluorescent"},
                              {13, "Day white fluorescent"},
                              {14, "Cool white fluorescent"},
                              {15, "White fluorescent"},
                              {17, "Standard light A"},
                              {18, "Standard light B"},
                              {19, "Standard light C"},
                              {20, "D55"},
                              {21, "D65"},
                              {22, "D75"},
                              {23, "D50"},
                              {24, "ISO studio tungsten"},
                              {255, "Other"}};
const TName kColorSpace[] = {{1, "sRGB"}, {2, "Adobe RGB"}, {0xFFFF, "Uncalibrated"}};
const TName kSensingMethod[] = {{1, "Not defined"},
                                {2, "One-chip color area"},
                                {3, "Two-chip color area"},
                                {4, "Three-chip color area"},
                                {5, "Color sequential area"},
                                {7, "Trilinear"},
                                {8, "Color sequential linear"}};
const TName kFileSource[] = {{1, "Film scanner"}, {2, "Reflection print scanner"},
                             {3, "Digital camera"}};
const TName kSceneType[] = {{1, "Directly photographed"}};
const TName kCustomRendered[] = {{0, "Normal"}, {1, "Custom"}};
const TName kExposureMode[] = {{0, "Auto"}, {1, "Manual"}, {2, "Auto bracket"}};
const TName kWhiteBalance[] = {{0, "Auto"}, {1, "Manual"}};
const TName kSceneCapture[] = {{0, "Standard"}, {1, "Landscape"}, {2, "Portrait"}, {3, "Night"}};
const TName kGainControl[] = {{0, "None"},          {1, "Low gain up"}, {2, "High gain up"},
                              {3, "Low gain down"}, {4, "High gain down"}};
const TName kContrast[] = {{0, "Normal"}, {1, "Low"}, {2, "High"}};
const TName kSharpness[] = {{0, "Normal"}, {1, "Soft"}, {2, "Hard"}};
const TName kSubjectRange[] = {{0, "Unknown"}, {1, "Macro"}, {2, "Close"}, {3, "Distant"}};
const TName kAltitudeRef[] = {{0, "Above sea level"}, {1, "Below sea level"}};
const TName kDifferential[] = {{0, "No correction"}, {1, "Differential corrected"}};

std::string MainText(uint16_t tag, const TExifValues& v, const TNumbers& n) {
    const bool one = n.Count() >= 1;
    double x = 0;
    const bool real = one && n.Real(0, x);
    const int64_t i = one && n.IsInteger() ? n.Int(0) : 0;
    const bool integer = one && n.IsInteger();
    switch (tag) {
    case 274:
        return integer ? Lookup(kOrientation, i) : "";
    case 282:
    case 283:
    case 41486:
    case 41487:
        return real ? Decimal(x, 2) : "";
    case 296:
    case 41488:
        return integer ? Lookup(kResolutionUnit, i) : "";
    case 531:
        return integer ? Lookup(kYCbCrPositioning, i) : "";
    case 33434:
        return real ? ExposureText(x) : "";
    case 33437:
        return real ? FNumberText(x) : "";
    case 34850:
        return integer ? Lookup(kExposureProgram, i) : "";
    case 36864:
    case 40960:
        return AsciiBytes(v);
    case 37121: {
        static const char* const kParts[] = {"-", "Y", "Cb", "Cr", "R", "G", "B"};
        std::string s;
        for (size_t k = 0; k < n.Count() && k < 4; ++k) {
            const int64_t c = n.Int(k);
            if (!s.empty()) s += ", ";
            s += c >= 0 && c <= 6 ? kParts[c] : "?";
        }
        return s;
    }
    case 37122:
    case 37379:
        return real ? Decimal(x, 2) : "";
    case 37377:
        // APEX: the time is 2 to the minus value.
        return real ? ExposureText(std::pow(2.0, -x)) : "";
    case 37378:
    case 37381:
        // APEX: the f-number is 2 to the half value.
        return real ? FNumberText(std::pow(2.0, x / 2)) : "";
    case 37380:
        if (!real) return {};
        return (x > 0 ? "+" : "") + Decimal(x, 2) + " EV";
    case 37382:
        return real ? Decimal(x, 2) + " m" : "";
    case 37383:
        return integer ? Lookup(kMeteringMode, i) : "";
    case 37384:
        return integer ? Lookup(kLightSource, i) : "";
    case 37385:
        return integer ? FlashText(i) : "";
    case 37386:
        return real ? Decimal(x) + " mm" : "";
    case 37510: {
        // Eight bytes name the character code; ASCII text follows.
        if (v.Size < 8) return {};
        const std::string code(reinterpret_cast<const char*>(v.Bytes), 8);
        if (code.compare(0, 5, "ASCII") != 0 && code != std::string(8, '\0')) return {};
        size_t end = 8;
        while (end < v.Size && v.Bytes[end] != 0) ++end;
        std::string s = ExifText(v.Bytes + 8, end - 8);
        while (!s.empty() && s.back() == ' ') s.pop_back();
        return s;
    }
    case 40961:
        return integer ? Lookup(kColorSpace, i) : "";
    case 41495:
        return integer ? Lookup(kSensingMethod, i) : "";
    case 41728:
        return integer ? Lookup(kFileSource, i) : "";
    case 41729:
        return integer ? Lookup(kSceneType, i) : "";
    case 41985:
        return integer ? Lookup(kCustomRendered, i) : "";
    case 41986:
        return integer ? Lookup(kExposureMode, i) : "";
    case 41987:
        return integer ? Lookup(kWhiteBalance, i) : "";
    case 41988:
        return real ? (x == 0 ? std::string("Not used") : Decimal(x, 2)) : "";
    case 41989:
        return integer ? std::to_string(i) + " mm" : "";
    case 41990:
        return integer ? Lookup(kSceneCapture, i) : "";
    case 41991:
        return integer ? Lookup(kGainControl, i) : "";
    case 41992:
    case 41993:
        return integer ? Lookup(kContrast, i) : "";
    case 41994:
        return integer ? Lookup(kSharpness, i) : "";
    case 41996:
        return integer ? Lookup(kSubjectRange, i) : "";
    case 42034: {
        // Shortest and longest focal length, then their smallest f-numbers.
        double f[4];
        if (n.Count() < 4) return {};
        for (size_t k = 0; k < 4; ++k)
            if (!n.Real(k, f[k])) f[k] = 0;
        std::string s = Decimal(f[0]) + (f[1] > f[0] ? "-" + Decimal(f[1]) : "") + " mm";
        if (f[2] > 0) s += " f/" + Decimal(f[2]) + (f[3] > f[2] ? "-" + Decimal(f[3]) : "");
        return s;
    }
    default:
        return {};
    }
}

std::string GpsText(uint16_t tag, const TExifValues& v, const TNumbers& n,
                    const std::string& ref) {
    const bool one = n.Count() >= 1;
    double x = 0;
    const bool real = one && n.Real(0, x);
    const bool integer = one && n.IsInteger();
    switch (tag) {
    case 0: { // version: 2.2.0.0
        std::string s;
        for (size_t k = 0; k < n.Count() && k < 4; ++k)
            s += (k ? "." : "") + std::to_string(n.Int(k));
        return s;
    }
    case 2:
    case 4:
    case 20:
    case 22:
        return n.IsRational() ? CoordinateText(n, ref) : "";
    case 5:
        return integer ? Lookup(kAltitudeRef, n.Int(0)) : "";
    case 6:
        if (!real) return {};
        return Decimal(x) + " m" + (ref == "1" ? " below sea level" : "");
    case 7: { // time of day, UTC
        double t[3];
        if (n.Count() < 3 || !n.IsRational()) return {};
        for (size_t k = 0; k < 3; ++k)
            if (!n.Real(k, t[k])) return {};
        char buf[64];
        const double sec = t[2];
        const bool whole = std::fabs(sec - std::round(sec)) < 1e-6;
        if (whole)
            std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", int(t[0]), int(t[1]), int(sec));
        else
            std::snprintf(buf, sizeof buf, "%02d:%02d:%04.1f", int(t[0]), int(t[1]), sec);
        return std::string(buf) + " UTC";
    }
    case 11:
    case 13:
    case 15:
    case 17:
    case 24:
    case 26:
    case 31:
        return real ? Decimal(x, 2) : "";
    case 27:
    case 28:
        return v.Type == 7 ? MainText(37510, v, n) : "";
    case 30:
        return integer ? Lookup(kDifferential, n.Int(0)) : "";
    default:
        return {};
    }
}

} // namespace

std::string ExifDecodedText(TExifDirectory dir, uint16_t tag, const TExifValues& v,
                            const std::string& ref) {
    const TNumbers n(v);
    return dir == TExifDirectory::Gps ? GpsText(tag, v, n, ref) : MainText(tag, v, n);
}

std::string ExifGpsTagDescription(uint16_t tag) {
    static const char* const kNames[] = {"GPS Version ID",
                                         "GPS Latitude Ref",
                                         "GPS Latitude",
                                         "GPS Longitude Ref",
                                         "GPS Longitude",
                                         "GPS Altitude Ref",
                                         "GPS Altitude",
                                         "GPS Time Stamp",
                                         "GPS Satellites",
                                         "GPS Status",
                                         "GPS Measure Mode",
                                         "GPS DOP",
                                         "GPS Speed Ref",
                                         "GPS Speed",
                                         "GPS Track Ref",
                                         "GPS Track",
                                         "GPS Img Direction Ref",
                                         "GPS Img Direction",
                                         "GPS Map Datum",
                                         "GPS Dest Latitude Ref",
                                         "GPS Dest Latitude",
                                         "GPS Dest Longitude Ref",
                                         "GPS Dest Longitude",
                                         "GPS Dest Bearing Ref",
                                         "GPS Dest Bearing",
                                         "GPS Dest Distance Ref",
                                         "GPS Dest Distance",
                                         "GPS Processing Method",
                                         "GPS Area Information",
                                         "GPS Date Stamp",
                                         "GPS Differential",
                                         "GPS H Positioning Error"};
    if (tag < sizeof kNames / sizeof kNames[0]) return kNames[tag];
    return "Undefined (" + std::to_string(tag) + ")";
}
