// Numbers on tavtool's command line, read one way by every command: plain
// digits, a sign, and the decimal and exponent forms scripts and other
// programs write ("1e3", "2.5E2").

#include <charconv>
#include <cmath>

#include "cli/tavtool_commands.h"

bool ParseToolReal(const std::string& s, double& v) {
    const char* first = s.data() + (s.size() > 1 && s[0] == '+' ? 1 : 0);
    const char* end = s.data() + s.size();
    if (first == end) return false;
    const auto r = std::from_chars(first, end, v, std::chars_format::general);
    return r.ec == std::errc() && r.ptr == end && std::isfinite(v);
}

bool ParseToolInt(const std::string& s, long long& v) {
    const char* first = s.data() + (s.size() > 1 && s[0] == '+' ? 1 : 0);
    const char* end = s.data() + s.size();
    if (first == end) return false;
    const auto r = std::from_chars(first, end, v);
    if (r.ec == std::errc() && r.ptr == end) return true;
    double d = 0;
    if (!ParseToolReal(s, d) || d != std::floor(d) || std::fabs(d) > 9.0e18) return false;
    v = static_cast<long long>(d);
    return true;
}

TToolNumber ReadToolInt(const std::string& s, long long lo, long long hi, long long& v) {
    if (ParseToolInt(s, v)) return v >= lo && v <= hi ? TToolNumber::Ok : TToolNumber::OutOfRange;
    double d = 0;
    if (!ParseToolReal(s, d)) return TToolNumber::NotANumber;
    // A whole value too large for any range, or a fraction.
    return d == std::floor(d) ? TToolNumber::OutOfRange : TToolNumber::NotWhole;
}

std::string ToolRangeText(long long lo, long long hi) {
    return "from " + std::to_string(lo) + " to " + std::to_string(hi);
}

long long ToolIntArg(const std::string& flag, const std::string& v, long long lo, long long hi) {
    long long n = 0;
    switch (ReadToolInt(v, lo, hi, n)) {
    case TToolNumber::Ok:
        return n;
    case TToolNumber::OutOfRange:
        throw TUsageError{flag + " " + v + " is out of range: it takes " + ToolRangeText(lo, hi)};
    case TToolNumber::NotWhole:
        throw TUsageError{flag + " needs a whole number " + ToolRangeText(lo, hi) + ", not " + v};
    case TToolNumber::NotANumber:
        break;
    }
    throw TUsageError{flag + " needs a number " + ToolRangeText(lo, hi) + ", not \"" + v + "\""};
}
