#include "cli/tavtool_commands.h"

const std::vector<TToolCommand>& ToolCommands() {
    static const std::vector<TToolCommand> table = {
        {"filter", &kFilterUsage, RunFilterCommand},    {"exif", &kExifUsage, RunExifCommand},
        {"scan", &kScanUsage, RunScanCommand},          {"thumbs", &kThumbsUsage, RunThumbsCommand},
        {"sheet", &kSheetUsage, RunSheetCommand},       {"album", &kAlbumUsage, RunAlbumCommand},
        {"publish", &kPublishUsage, RunPublishCommand}, {"rename", &kRenameUsage, RunRenameCommand},
        {"search", &kSearchUsage, RunSearchCommand},
    };
    return table;
}

const TToolCommand* FindToolCommand(const std::string& name) {
    for (const TToolCommand& c : ToolCommands())
        if (name == c.name) return &c;
    return nullptr;
}
