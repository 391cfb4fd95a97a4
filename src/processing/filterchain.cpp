#include "processing/filterchain.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "core/pixelgraphic.h"

bool ParseIntText(const std::string& s, int64_t& v) {
    const char* b = s.data();
    const char* e = b + s.size();
    if (b != e && *b == '+') ++b;
    const auto r = std::from_chars(b, e, v);
    return b != e && r.ec == std::errc() && r.ptr == e;
}

bool ParseNumberText(const std::string& s, long double& v) {
    // from_chars ignores the locale (the program's may write "1,5").
    const char* b = s.data();
    const char* e = b + s.size();
    if (b != e && *b == '+') ++b;
    double d = 0;
    const auto r = std::from_chars(b, e, d, std::chars_format::fixed);
    if (b == e || r.ec != std::errc() || r.ptr != e || !std::isfinite(d)) return false;
    v = d;
    return true;
}

namespace {

std::string Trimmed(long double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.4Lg", v);
    return buf;
}

} // namespace

TFilterParams::TFilterParams(std::string step, const std::string& text) : step_(std::move(step)) {
    if (text.empty()) return;
    size_t start = 0;
    for (;;) {
        const size_t comma = text.find(',', start);
        items_.push_back(
            text.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
}

void TFilterParams::Fail(const std::string& what) const {
    throw TFilterParseError{step_ + ": " + what};
}

void TFilterParams::Expect(size_t min, size_t max) const {
    if (items_.size() < min || items_.size() > max) {
        if (min == max) Fail("needs " + std::to_string(min) + " parameter" + (min == 1 ? "" : "s"));
        Fail("needs " + std::to_string(min) + " to " + std::to_string(max) + " parameters");
    }
}

int TFilterParams::Int(size_t i, const char* name, int min, int max) const {
    int64_t v = 0;
    if (!Has(i) || !ParseIntText(items_[i], v))
        Fail(std::string(name) + " must be a whole number" +
             (Has(i) ? ", not \"" + items_[i] + "\"" : ""));
    if (v < min || v > max)
        Fail(std::string(name) + " " + items_[i] + " out of range " + std::to_string(min) + ".." +
             std::to_string(max));
    return int(v);
}

long double TFilterParams::Number(size_t i, const char* name, long double min,
                                  long double max) const {
    long double v = 0;
    if (!Has(i) || !ParseNumberText(items_[i], v))
        Fail(std::string(name) + " must be a number" +
             (Has(i) ? ", not \"" + items_[i] + "\"" : ""));
    // Compared as typed: "1.30" is the double nearest 1.3, a little above
    // the extended one.
    if (double(v) < double(min) || double(v) > double(max))
        Fail(std::string(name) + " " + items_[i] + " out of range " + Trimmed(min) + ".." +
             Trimmed(max));
    return v;
}

int TFilterParams::Word(size_t i, const char* name,
                        std::initializer_list<const char*> choices) const {
    int k = 0;
    std::string list;
    for (const char* c : choices) {
        if (Has(i) && items_[i] == c) return k;
        list += (k ? "|" : "") + std::string(c);
        ++k;
    }
    Fail(std::string(name) + " must be " + list + (Has(i) ? ", not \"" + items_[i] + "\"" : ""));
}

const TFilterSpec* FindFilterSpec(const std::string& name) {
    for (const TFilterSpec& s : FilterSpecs())
        if (name == s.name) return &s;
    return nullptr;
}

std::vector<TFilterStep> ParseFilterChain(const std::vector<std::string>& words,
                                          TFilterChainContext& ctx) {
    std::vector<TFilterStep> steps;
    for (size_t i = 0; i < words.size(); ++i) {
        const std::string& w = words[i];
        if (w == "--seed") {
            int64_t v = 0;
            if (i + 1 >= words.size() || !ParseIntText(words[i + 1], v) || v < 0 ||
                v > 0xFFFFFFFFLL)
                throw TFilterParseError{"--seed needs a number 0..4294967295"};
            ctx.seed = uint32_t(v);
            ++i;
            continue;
        }
        const size_t eq = w.find('=');
        const std::string name = w.substr(0, eq);
        const TFilterSpec* row = FindFilterSpec(name);
        if (!row) throw TFilterParseError{"unknown filter \"" + name + "\""};
        const TFilterParams params(name,
                                   eq == std::string::npos ? std::string() : w.substr(eq + 1));
        if (eq != std::string::npos && eq + 1 == w.size())
            params.Fail("empty parameters after \"=\"");
        steps.push_back({w, row->parse(params)});
    }
    if (steps.empty()) throw TFilterParseError{"filter needs at least one NAME[=PARAMS]"};
    return steps;
}

void ApplyFilterChain(std::unique_ptr<TPixelGraphic>& picture,
                      const std::vector<TFilterStep>& steps, TFilterChainContext& ctx) {
    for (const TFilterStep& s : steps)
        s.run(picture, ctx);
}

std::string FilterChainHelp() {
    std::string out;
    for (const TFilterSpec& s : FilterSpecs()) {
        std::string line = "          " + std::string(s.syntax);
        if (line.size() < 44)
            line.resize(44, ' ');
        else
            line += "\n" + std::string(44, ' ');
        out += line + s.help + "\n";
    }
    return out;
}
