#pragma once
// Filter steps named on a command line ("negative", "hsv=30,0,20",
// "conv=3x3:0,-1,0,-1,5,-1,0,-1,0", ...), parsed through one table and applied
// in order the way the editor applies them: colour filters in place (palette
// pictures through their palette), convolutions into a new 24-bit picture, the
// bevel on a 24-bit copy. tavtool's filter command and its fuzz target use it.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "processing/pgrandom.h"

class TPixelGraphic;

// A step or option that cannot be parsed: the text names what is wrong.
struct TFilterParseError {
    std::string text;
};

// What the steps share while a chain runs.
struct TFilterChainContext {
    // --seed N: the start state of the program's random generator for the
    // effects that draw numbers (none given: the program's own start state).
    std::optional<uint32_t> seed;
    // The generator the random effects of one run share, made on first use
    // from `seed` (or the program's own, when no seed was given).
    TPGRandom& Random() {
        if (!seed) return ProgramRandom();
        if (!random) random.emplace(*seed);
        return *random;
    }
    std::optional<TPGRandom> random;
};

// One parsed step: replaces or changes the picture.
using TFilterStepFn =
    std::function<void(std::unique_ptr<TPixelGraphic>& picture, TFilterChainContext& ctx)>;

struct TFilterStep {
    std::string text; // as given, for messages
    TFilterStepFn run;
};

// The parameters after "=", split at commas, with checked conversions that
// throw TFilterParseError naming the step and the parameter.
class TFilterParams {
  public:
    TFilterParams(std::string step, const std::string& text);
    const std::string& Step() const { return step_; }
    size_t Count() const { return items_.size(); }
    bool Has(size_t i) const { return i < items_.size(); }
    // Between min and max items, or an error.
    void Expect(size_t min, size_t max) const;
    int Int(size_t i, const char* name, int min, int max) const;
    long double Number(size_t i, const char* name, long double min, long double max) const;
    // One of the words in `choices`; returns its position.
    int Word(size_t i, const char* name, std::initializer_list<const char*> choices) const;
    const std::string& Raw(size_t i) const { return items_[i]; }
    [[noreturn]] void Fail(const std::string& what) const;

  private:
    std::string step_;
    std::vector<std::string> items_;
};

// A row of the table: the name before "=", a line of help, and the parser
// that turns the parameters into a step.
struct TFilterSpec {
    const char* name;
    const char* syntax; // "bcg=B,C,G[,y]"
    const char* help;   // one line
    TFilterStepFn (*parse)(const TFilterParams& params);
};

// The table, in help order.
const std::vector<TFilterSpec>& FilterSpecs();
const TFilterSpec* FindFilterSpec(const std::string& name);

// Parses the words after IN and OUT: steps and options (--seed N) in any
// order; at least one step.
std::vector<TFilterStep> ParseFilterChain(const std::vector<std::string>& words,
                                          TFilterChainContext& ctx);

// Runs the steps over `picture` in order.
void ApplyFilterChain(std::unique_ptr<TPixelGraphic>& picture,
                      const std::vector<TFilterStep>& steps, TFilterChainContext& ctx);

// Help lines for the table, each starting with spaces.
std::string FilterChainHelp();

// Parsing helpers shared with the table rows of other files.
bool ParseIntText(const std::string& s, int64_t& v);
bool ParseNumberText(const std::string& s, long double& v);
