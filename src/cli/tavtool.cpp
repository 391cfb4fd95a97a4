#include "cli/tavtool.h"

#include <exception>

#include "core/exceptions.h"

namespace {

const char* kUsage =
    "Usage: tavtool COMMAND [ARGS]\n"
    "\n"
    "Commands:\n"
    "  --version             print the version\n"
    "  --help                print this help\n";

} // namespace

int TavToolMain(const std::vector<std::string>& args, std::FILE* out, std::FILE* err) {
    try {
        if (args.empty()) {
            std::fputs(kUsage, err);
            return 2;
        }
        const std::string& cmd = args[0];
        if (cmd == "--version") {
            std::fputs("tavtool 7.8\n", out);
            return 0;
        }
        if (cmd == "--help" || cmd == "-h") {
            std::fputs(kUsage, out);
            return 0;
        }
        std::fprintf(err, "tavtool: unknown command \"%s\"\n%s", cmd.c_str(), kUsage);
        return 2;
    } catch (const std::exception& e) {
        std::fprintf(err, "tavtool: %s\n", e.what());
        return 1;
    }
}
