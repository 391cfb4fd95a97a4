#pragma once
// Album files (.alb): a fixed header of decimal text fields (rows, columns,
// frame border, print frames, caption option, caption font), a 1000-byte
// version block ("7.80" and blanks) and the entries, each a rotation byte,
// the path, TAB, the caption, CR LF. Plain C++ so that every tool and the
// fuzzer can read them.
//
// Reading is all or nothing: a file that is not exactly this shape gives an
// error and no album. Values out of range are brought into range as the
// album window's controls would (rows and columns 1..6, border 20..500,
// caption option 0..2; a font size outside 1..99 reads as 8).

#include <cstdint>
#include <string>
#include <vector>

#include "album/albumentry.h"

struct TAlbumHeader {
    int rows = 3, columns = 2, border = 100;
    bool printFrames = false;
    int captionOption = 0; // 0 none, 1 file name, 2 caption
    std::string fontName = "Arial";
    int fontSize = 8;
    int64_t fontColor = -2147483640; // window text; system colours are negative
    bool bold = false, italic = false;
    bool operator==(const TAlbumHeader&) const = default;
};

struct TAlbum {
    TAlbumHeader header;
    std::vector<TAlbumEntry> entries;
};

inline bool operator==(const TAlbumEntry& a, const TAlbumEntry& b) {
    return a.path == b.path && a.caption == b.caption && a.rotation == b.rotation;
}

// Limits of what an entry may hold.
constexpr size_t kAlbumMaxPath = 4096;
constexpr size_t kAlbumMaxCaption = 64 * 1024;
constexpr size_t kAlbumHeaderSize = 1067;

// The file's bytes as an album; false (and `album` untouched) when the bytes
// are not an album file. Captions are UTF-8 afterwards (a caption that is
// not UTF-8 is read as windows-1252, as files written on Windows hold).
bool ParseAlbum(const std::string& bytes, TAlbum& album);

// The album as file bytes. Fields never overflow: numbers are clamped to
// their ranges, the font name is cut to 40 bytes at a character boundary.
// Entries whose path or caption holds TAB, CR or LF, or are too long, make it
// fail (false): such an album could not be read back.
bool SerializeAlbum(const TAlbum& album, std::string& bytes);

// A path that may go into an album (no TAB, CR, LF or NUL; not too long).
bool AlbumPathAllowed(const std::string& path);
// A caption typed or pasted: TAB, CR and LF become blanks.
std::string AlbumCleanCaption(const std::string& caption);

// Files: the album read from / written to `path` (safe: a failed write
// leaves an existing file as it was). False with `error` set on failure:
// "Error reading album file " + path, or the system's reason for writing.
bool ReadAlbumFile(const std::string& path, TAlbum& album, std::string& error);
bool WriteAlbumFile(const std::string& path, const TAlbum& album, std::string& error);
