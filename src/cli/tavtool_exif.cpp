#include "cli/tavtool_commands.h"

// Not built yet: no usage text, so the help leaves it out.
extern const char* const kExifUsage = nullptr;

int RunExifCommand(const TToolCommandArgs&, std::FILE*, std::FILE* err) {
    std::fputs("tavtool: exif is not available in this build\n", err);
    return 2;
}
