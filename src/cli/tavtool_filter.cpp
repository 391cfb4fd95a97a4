// tavtool filter IN OUT NAME[=PARAMS]...: the editor's filters on a file, in
// the order given, saved the way convert saves.

#include <memory>

#include "cli/tavtool_commands.h"
#include "cli/tavtool_options.h"
#include "core/pixelgraphic.h"
#include "core/registry.h"
#include "processing/filterchain.h"

namespace {

std::string MakeUsage() {
    return "  filter IN OUT NAME[=PARAMS]... [--seed N]\n"
           "        load IN, apply the filters in order as the editor does (colour filters\n"
           "        in place, palette pictures through their palette; convolutions into a\n"
           "        new 24-bit picture; the bevel on a 24-bit copy) and save OUT like\n"
           "        convert; parameters in the units and ranges of the filter dialogs:\n" +
           FilterChainHelp();
}

const std::string& Usage() {
    static const std::string text = MakeUsage();
    return text;
}

} // namespace

extern const char* const kFilterUsage = Usage().c_str();

int RunFilterCommand(const TToolCommandArgs& args, std::FILE*, std::FILE* err) {
    if (args.size() < 3) throw TUsageError{"filter needs IN, OUT and at least one filter"};
    const std::string& inName = args[0];
    const std::string& outName = args[1];
    TFilterChainContext ctx;
    std::vector<TFilterStep> steps;
    try {
        steps = ParseFilterChain(TToolCommandArgs(args.begin() + 2, args.end()), ctx);
    } catch (const TFilterParseError& e) {
        throw TUsageError{e.text};
    }

    auto picture = std::make_unique<TPixelGraphic>();
    picture->LoadFromFile(inName);
    ApplyFilterChain(picture, steps, ctx);

    SavePicture(*picture, outName, TToolArgs{}, err);
    return 0;
}
