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

// Numbers as scripts write them: digits with an optional sign, or the
// decimal and exponent forms ("1e3", "2.5E2"); finite values only. A whole
// number must have a whole value.
bool ParseToolReal(const std::string& s, double& v);
bool ParseToolInt(const std::string& s, long long& v);
enum class TToolNumber { Ok, NotANumber, NotWhole, OutOfRange };
TToolNumber ReadToolInt(const std::string& s, long long lo, long long hi, long long& v);
// "from LO to HI".
std::string ToolRangeText(long long lo, long long hi);
// `flag`'s value as a whole number from lo to hi; otherwise a usage error
// naming the flag, the value and the range.
long long ToolIntArg(const std::string& flag, const std::string& v, long long lo, long long hi);

// Writes `dpi` into the PNG (pHYs) or JPEG (JFIF density) file at `path`
// that a writer made; other types are left as they are. False when the file
// could not be changed (it is then as it was).
bool WriteFileResolution(const std::string& path, double dpi);

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
