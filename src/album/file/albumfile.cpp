#include "album/file/albumfile.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A right-aligned field: blanks, then the text cut to the width.
std::string Field(const std::string& text, size_t width) {
    std::string t = text.substr(0, width);
    return std::string(width - t.size(), ' ') + t;
}

// The number in a field: blanks before it, an optional minus, digits, and
// nothing else.
bool Number(const std::string& field, int64_t& value) {
    size_t i = 0;
    while (i < field.size() && field[i] == ' ')
        ++i;
    bool negative = false;
    if (i < field.size() && field[i] == '-') {
        negative = true;
        ++i;
    }
    if (i == field.size()) return false;
    int64_t v = 0;
    for (; i < field.size(); ++i) {
        if (field[i] < '0' || field[i] > '9') return false;
        if (v > (INT64_MAX - 9) / 10) return false;
        v = v * 10 + (field[i] - '0');
    }
    value = negative ? -v : v;
    return true;
}

int Clamp(int64_t v, int lo, int hi) {
    return int(std::clamp<int64_t>(v, lo, hi));
}

bool ValidUtf8(const std::string& s) {
    size_t i = 0;
    while (i < s.size()) {
        const unsigned char c = uint8_t(s[i]);
        size_t n;
        if (c < 0x80)
            n = 0;
        else if (c >= 0xC2 && c <= 0xDF)
            n = 1;
        else if (c >= 0xE0 && c <= 0xEF)
            n = 2;
        else if (c >= 0xF0 && c <= 0xF4)
            n = 3;
        else
            return false;
        if (s.size() - i <= n) return false;
        for (size_t k = 1; k <= n; ++k)
            if ((uint8_t(s[i + k]) & 0xC0) != 0x80) return false;
        i += n + 1;
    }
    return true;
}

void PutUtf8(std::string& out, uint32_t c) {
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 63));
    } else {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 63));
        out += char(0x80 | (c & 63));
    }
}

// windows-1252 to UTF-8 (the five unassigned bytes keep their Latin-1 value).
std::string FromWindows1252(const std::string& s) {
    static const uint16_t high[32] = {
        0x20AC, 0x81,   0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x8D,   0x017D, 0x8F,   0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x9D,   0x017E, 0x0178};
    std::string out;
    for (unsigned char c : s)
        PutUtf8(out, c >= 0x80 && c < 0xA0 ? high[c - 0x80] : c);
    return out;
}

// The font name cut to 40 bytes without splitting a UTF-8 character.
std::string FontName40(const std::string& name) {
    if (name.size() <= 40) return name;
    size_t n = 40;
    while (n > 0 && (uint8_t(name[n]) & 0xC0) == 0x80)
        --n;
    return name.substr(0, n);
}

} // namespace

bool AlbumPathAllowed(const std::string& path) {
    return !path.empty() && path.size() <= kAlbumMaxPath &&
           path.find_first_of(std::string("\t\r\n\0", 4)) == std::string::npos;
}

std::string AlbumCleanCaption(const std::string& caption) {
    std::string c = caption.substr(0, kAlbumMaxCaption);
    for (char& ch : c)
        if (ch == '\t' || ch == '\r' || ch == '\n' || ch == '\0') ch = ' ';
    return c;
}

bool ParseAlbum(const std::string& b, TAlbum& album) {
    if (b.size() < kAlbumHeaderSize) return false;
    TAlbumHeader h;
    int64_t v = 0;
    if (!Number(b.substr(0, 3), v)) return false;
    h.rows = Clamp(v, 1, 6);
    if (!Number(b.substr(3, 3), v)) return false;
    h.columns = Clamp(v, 1, 6);
    if (!Number(b.substr(6, 3), v)) return false;
    h.border = Clamp(v, 20, 500);
    if (b[9] != '0' && b[9] != '1') return false;
    h.printFrames = b[9] == '1';
    if (b[10] < '0' || b[10] > '9') return false;
    h.captionOption = Clamp(b[10] - '0', 0, 2);
    {
        std::string name = b.substr(11, 40);
        name.erase(0, name.find_first_not_of(' '));
        if (name.find('\0') != std::string::npos) return false;
        h.fontName = name;
    }
    if (!Number(b.substr(51, 2), v)) return false;
    h.fontSize = v >= 1 && v <= 99 ? int(v) : 8;
    if (!Number(b.substr(53, 12), v) || v < INT32_MIN || v > INT32_MAX) return false;
    h.fontColor = v;
    if ((b[65] != '0' && b[65] != '1') || (b[66] != '0' && b[66] != '1')) return false;
    h.bold = b[65] == '1';
    h.italic = b[66] == '1';
    const bool rotationBytes = b[67] == '7';

    std::vector<TAlbumEntry> entries;
    size_t i = kAlbumHeaderSize;
    while (i < b.size()) {
        TAlbumEntry e;
        if (rotationBytes) {
            const unsigned char r = uint8_t(b[i++]);
            if (r > 3) return false;
            e.rotation = r;
        }
        const size_t tab = b.find('\t', i);
        if (tab == std::string::npos || tab - i > kAlbumMaxPath || tab == i) return false;
        e.path = b.substr(i, tab - i);
        if (e.path.find_first_of(std::string("\r\n\0", 3)) != std::string::npos) return false;
        i = tab + 1;
        const size_t cr = b.find("\r\n", i);
        if (cr == std::string::npos || cr - i > kAlbumMaxCaption) return false;
        std::string caption = b.substr(i, cr - i);
        if (caption.find_first_of(std::string("\t\r\n\0", 4)) != std::string::npos) return false;
        e.caption = ValidUtf8(caption) ? caption : FromWindows1252(caption);
        if (e.caption.size() > kAlbumMaxCaption) return false;
        i = cr + 2;
        entries.push_back(std::move(e));
    }
    album.header = h;
    album.entries = std::move(entries);
    return true;
}

bool SerializeAlbum(const TAlbum& album, std::string& out) {
    const TAlbumHeader& h = album.header;
    std::string b;
    b += Field(std::to_string(std::clamp(h.rows, 1, 6)), 3);
    b += Field(std::to_string(std::clamp(h.columns, 1, 6)), 3);
    b += Field(std::to_string(std::clamp(h.border, 20, 500)), 3);
    b += h.printFrames ? '1' : '0';
    b += char('0' + std::clamp(h.captionOption, 0, 2));
    std::string name = FontName40(h.fontName);
    std::replace(name.begin(), name.end(), '\0', ' ');
    b += Field(name, 40);
    b += Field(std::to_string(h.fontSize >= 1 && h.fontSize <= 99 ? h.fontSize : 8), 2);
    b += Field(std::to_string(std::clamp<int64_t>(h.fontColor, INT32_MIN, INT32_MAX)), 12);
    b += h.bold ? '1' : '0';
    b += h.italic ? '1' : '0';
    b += "7.80" + std::string(996, ' ');
    for (const TAlbumEntry& e : album.entries) {
        if (!AlbumPathAllowed(e.path) || e.caption.size() > kAlbumMaxCaption ||
            e.caption.find_first_of(std::string("\t\r\n\0", 4)) != std::string::npos ||
            e.rotation < 0 || e.rotation > 3)
            return false;
        b += char(e.rotation);
        b += e.path;
        b += '\t';
        b += e.caption;
        b += "\r\n";
    }
    out = std::move(b);
    return true;
}

bool ReadAlbumFile(const std::string& path, TAlbum& album, std::string& error) {
    error = "Error reading album file " + path;
    // Only a plain file: a FIFO or device would block or never end.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st {};
    std::string bytes;
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size <= (1LL << 30);
    if (ok) {
        bytes.resize(size_t(st.st_size));
        size_t got = 0;
        while (ok && got < bytes.size()) {
            const ssize_t n = ::pread(fd, bytes.data() + got, bytes.size() - got, off_t(got));
            if (n <= 0)
                ok = false;
            else
                got += size_t(n);
        }
    }
    ::close(fd);
    if (!ok || !ParseAlbum(bytes, album)) return false;
    error.clear();
    return true;
}

bool WriteAlbumFile(const std::string& path, const TAlbum& album, std::string& error) {
    std::string bytes;
    if (!SerializeAlbum(album, bytes)) {
        error = "Cannot write album file " + path + ": an entry holds a TAB or line break";
        return false;
    }
    // A temporary file beside the target, renamed over it once complete.
    std::string tmp = path + ".XXXXXX";
    const int fd = ::mkostemp(tmp.data(), O_CLOEXEC);
    if (fd < 0) {
        error = "Cannot create file " + path + ": " + std::strerror(errno);
        return false;
    }
    size_t done = 0;
    bool ok = true;
    while (ok && done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0)
            ok = false;
        else
            done += size_t(n);
    }
    ok = ok && ::fchmod(fd, 0644) == 0 && ::fsync(fd) == 0;
    const int err = errno;
    ok = ::close(fd) == 0 && ok;
    if (!ok || ::rename(tmp.c_str(), path.c_str()) != 0) {
        error = "Cannot write file " + path + ": " + std::strerror(ok ? errno : err);
        ::unlink(tmp.c_str());
        return false;
    }
    error.clear();
    return true;
}
