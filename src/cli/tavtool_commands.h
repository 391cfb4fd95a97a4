#pragma once
// tavtool's subcommands beyond info and convert: one table, each command in
// its own file (tavtool_<name>.cpp) calling the same library code as its
// window. A command gets its arguments after its name and returns the exit
// status: 0 success, 1 failure (message on err), 2 usage error.

#include <cstdio>
#include <string>
#include <vector>

// Thrown by a command for a mistake on its command line: exit 2 with usage.
struct TUsageError {
    std::string text;
};

using TToolCommandArgs = std::vector<std::string>;
using TToolCommandFn = int (*)(const TToolCommandArgs& args, std::FILE* out, std::FILE* err);

struct TToolCommand {
    const char* name;
    const char* const* usage; // help lines, each starting with two spaces; null: not built
    TToolCommandFn run;
};

// The table, in help order.
const std::vector<TToolCommand>& ToolCommands();
const TToolCommand* FindToolCommand(const std::string& name);

// The commands of the tool folders, each defined with its usage text in its
// own file (a null usage leaves the command out of the help).
extern const char* const kFilterUsage;
int RunFilterCommand(const TToolCommandArgs& args, std::FILE* out, std::FILE* err);
extern const char* const kExifUsage;
int RunExifCommand(const TToolCommandArgs& args, std::FILE* out, std::FILE* err);
extern const char* const kScanUsage;
int RunScanCommand(const TToolCommandArgs& args, std::FILE* out, std::FILE* err);
extern const char* const kThumbsUsage;
int RunThumbsCommand(const TToolCommandArgs& args, std::FILE* out, std::FILE* err);
extern const char* const kSheetUsage;
int RunSheetCommand(const TToolCommandArgs& args, std::FILE* out, std::FILE* err);
extern const char* const kAlbumUsage;
int RunAlbumCommand(const TToolCommandArgs& args, std::FILE* out, std::FILE* err);
extern const char* const kPublishUsage;
int RunPublishCommand(const TToolCommandArgs& args, std::FILE* out, std::FILE* err);
extern const char* const kRenameUsage;
int RunRenameCommand(const TToolCommandArgs& args, std::FILE* out, std::FILE* err);
extern const char* const kSearchUsage;
int RunSearchCommand(const TToolCommandArgs& args, std::FILE* out, std::FILE* err);
