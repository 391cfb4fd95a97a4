#include "cli/tavtool_lossless.h"

#include <cmath>

#include "cli/tavtool_commands.h"
#include "cli/tavtool_geometry.h"
#include "cli/tavtool_options.h"
#include "formats/jpegtransform.h"
#include "meta/exif/exiffile.h"
#include "meta/exif/orientation.h"
#include "processing/geometryops.h"

namespace {

bool IsJpegName(const std::string& name) {
    const auto dot = name.rfind('.');
    if (dot == std::string::npos || name.find('/', dot) != std::string::npos) return false;
    std::string ext = name.substr(dot + 1);
    for (char& c : ext) c = char(std::tolower(static_cast<unsigned char>(c)));
    return ext == "jpg" || ext == "jpeg" || ext == "jif";
}

} // namespace

int RunLosslessConvert(const TToolArgs& a) {
    if (a.positional.size() != 2) throw TUsageError{"convert needs IN and OUT"};
    if (!IsJpegName(a.positional[1])) throw TUsageError{"--lossless writes JPEG files only (.jpg, .jpeg, .jif)"};
    if (a.quality >= 0 || a.progressive || a.colors > 0 || a.index != 0)
        throw TUsageError{"--lossless keeps the JPEG as it is: no --quality, --progressive, --colors or --index"};
    TJpegTransform t;
    t.trim = a.trim;
    t.applyExifOrientation = a.autoOrient;
    for (const TEditStep& s : a.edits) {
        if (t.crop) throw TUsageError{"with --lossless, --crop comes after the turns and flips"};
        if (s.flag == "--flip-horizontal") {
            t.turn = JpegTurnThen(t.turn, TJpegTurn::FlipHorizontal);
        } else if (s.flag == "--flip-vertical") {
            t.turn = JpegTurnThen(t.turn, TJpegTurn::FlipVertical);
        } else if (s.flag == "--rotate") {
            long double degrees = 0;
            ParseRotateValue(s.value, degrees);
            const long double quarter = degrees / 90;
            if (quarter != std::trunc(quarter))
                throw TUsageError{"--lossless turns by right angles only (--rotate 90, 180 or 270)"};
            const int quarters = int(std::fmod(quarter, 4.0L) + 4) % 4;
            static constexpr TJpegTurn kQuarter[] = {TJpegTurn::None, TJpegTurn::Rotate90, TJpegTurn::Rotate180,
                                                     TJpegTurn::Rotate270};
            t.turn = JpegTurnThen(t.turn, kQuarter[quarters]);
        } else if (s.flag == "--crop") {
            TPGRect r;
            ParseCropValue(s.value, r);
            t.crop = true;
            t.cropX = r.left;
            t.cropY = r.top;
            t.cropWidth = r.width;
            t.cropHeight = r.height;
        } else {
            throw TUsageError{"--lossless takes only --rotate, --flip-horizontal, --flip-vertical, --crop, "
                              "--trim and --auto-orient (" + s.flag + " needs the pixels decoded)"};
        }
    }
    JpegTransformFile(a.positional[0], a.positional[1], t);
    return 0;
}

void AutoOrient(std::unique_ptr<TPixelGraphic>& picture, const std::string& fileName) {
    ApplyExifOrientation(picture, ExifOrientation(fileName));
}
