#pragma once
// EXIF values as people read them: "1/250 s", "f/5.6", "0221", "Flash
// fired, auto mode", "48°51'29.6\"N". The viewer and `tavtool exif` show
// these; the raw numbers stay in TExifRow::Value for scripts.

#include <cstddef>
#include <cstdint>
#include <string>

// The values of one tag as read from the block (at most the first few of a
// long list), in the block's byte order.
struct TExifValues {
    uint16_t Type = 0;
    uint32_t Count = 0;    // as the entry says
    const uint8_t* Bytes = nullptr;
    size_t Size = 0;       // bytes at Bytes (whole values only)
    bool Intel = true;
};

// Which directory a tag stands in: its numbers mean different things there.
enum class TExifDirectory { Main, Exif, Gps };

// The text of a tag's values, or empty when there is no reading beyond the
// raw one. `ref` is the reference letter of a GPS coordinate ("N", "E") or
// of an altitude ("0"/"1") read before it in the same directory.
std::string ExifDecodedText(TExifDirectory dir, uint16_t tag, const TExifValues& v,
                            const std::string& ref);

// The description of a tag of the GPS directory ("GPS Latitude"); "Undefined
// (N)" outside the table.
std::string ExifGpsTagDescription(uint16_t tag);
