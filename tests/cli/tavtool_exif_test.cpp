// tavtool exif against independent readers: JPEGs from ImageMagick tagged by
// exiftool in both byte orders, read back by exiftool and Pillow, and TIFF
// files from ImageMagick read back by tiffdump. Tag sets per directory,
// texts, integer first values and rationals as ratios must agree.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <set>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>

#include "formats/oracle_support.h"

namespace {

using oracle::Q;

struct TTavRow {
    std::string ifd;
    int tag = 0, type = 0;
    long long count = 0;
    std::string desc, value;
};

// Standard output of a command line, with its exit status.
std::string Capture(const std::string& cmd, int* status = nullptr) {
    std::string out;
    FILE* p = ::popen(cmd.c_str(), "r");
    if (!p) return out;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    const int st = ::pclose(p);
    if (status) *status = WIFEXITED(st) ? WEXITSTATUS(st) : 128;
    return out;
}

std::vector<std::string> Split(const std::string& s, char sep) {
    std::vector<std::string> parts;
    std::string cur;
    std::istringstream in(s);
    while (std::getline(in, cur, sep)) parts.push_back(cur);
    if (!s.empty() && s.back() == sep) parts.push_back("");
    return parts;
}

std::vector<std::string> Lines(const std::string& s) {
    std::vector<std::string> l;
    std::istringstream in(s);
    for (std::string line; std::getline(in, line);) l.push_back(line);
    return l;
}

std::vector<TTavRow> TavRows(const std::string& file) {
    int st = -1;
    const std::string out = Capture(std::string("'") + TAVTOOL_PATH + "' exif --numbers " + Q(file), &st);
    EXPECT_EQ(st, 0) << file;
    std::vector<TTavRow> rows;
    for (const std::string& line : Lines(out)) {
        const auto f = Split(line, '\t');
        EXPECT_EQ(f.size(), 6u) << line;
        if (f.size() != 6) continue;
        rows.push_back({f[0], std::stoi(f[1]), std::stoi(f[2]), std::stoll(f[3]), f[4], f[5]});
    }
    return rows;
}

// The oracle's view: directory -> tag -> value text.
using TOracle = std::map<std::string, std::map<int, std::string>>;

TOracle ExifTool(const std::string& file) {
    const std::string py =
        "import json,sys\n"
        "for k,v in json.load(sys.stdin)[0].items():\n"
        "    if isinstance(v,dict) and isinstance(v.get(\"id\"),int):\n"
        "        print(k.split(\":\")[0], v[\"id\"], str(v[\"val\"]).replace(\"\\n\",\" \"), sep=\"\\t\")\n";
    const std::string out = Capture("exiftool -j -a -u -D -G1 -n " + Q(file) + " | " +
                                    oracle::kPython + " -c " + Q(py));
    TOracle o;
    for (const std::string& line : Lines(out)) {
        const auto f = Split(line, '\t');
        if (f.size() == 3) o[f[0]][std::stoi(f[1])] = f[2];
    }
    return o;
}

TOracle Pillow(const std::string& file) {
    const std::string py =
        "import sys\n"
        "from PIL import Image\n"
        "e = Image.open(sys.argv[1]).getexif()\n"
        "for name, d in ((\"IFD0\", e), (\"ExifIFD\", e.get_ifd(0x8769))):\n"
        "    for t, v in d.items():\n"
        "        if isinstance(v, bytes): v = \",\".join(str(b) for b in v)\n"
        "        elif isinstance(v, tuple): v = v[0]\n"
        "        print(name, t, str(v).replace(\"\\n\",\" \"), sep=\"\\t\")\n";
    const std::string out = Capture(std::string(oracle::kPython) + " -c " + Q(py) + " " + Q(file));
    TOracle o;
    for (const std::string& line : Lines(out)) {
        const auto f = Split(line, '\t');
        if (f.size() == 3) o[f[0]][std::stoi(f[1])] = f[2];
    }
    return o;
}

// Directory pointers: we list them with their offsets, exiftool hides them.
bool IsPointer(int tag) {
    return tag == 34665 || tag == 34853 || tag == 40965;
}

// Our value text against an oracle's for the same field.
void ExpectSameValue(const TTavRow& r, const std::string& theirs) {
    SCOPED_TRACE(r.ifd + " " + std::to_string(r.tag) + " ours \"" + r.value + "\" theirs \"" +
                 theirs + "\"");
    const std::string first = Split(theirs, ' ').empty() ? "" : Split(theirs, ' ')[0];
    switch (r.type) {
    case 2:
        EXPECT_EQ(r.value, theirs);
        break;
    case 1:
    case 3:
    case 4:
    case 9: {
        const long long v = std::stoll(first);
        if (v >= 0 && v < (1LL << 31)) {
            EXPECT_EQ(r.value, std::to_string(v));
        }
        break;
    }
    case 5:
    case 10: {
        const auto nd = Split(r.value, '/');
        ASSERT_EQ(nd.size(), 2u);
        const double d = std::stod(nd[1]);
        if (d != 0) {
            const double want = std::stod(first);
            EXPECT_NEAR(std::stod(nd[0]) / d, want, 1e-4 * std::fabs(want) + 1e-9);
        }
        break;
    }
    default:
        break;
    }
}

class TavtoolExif : public ::testing::Test {
  protected:
    oracle::TempDir dir;
    std::string P(const std::string& n) const { return dir / n; }

    // A JPEG from ImageMagick with camera tags, GPS and a thumbnail written
    // by exiftool in the byte order given.
    std::string TaggedJpeg(const std::string& name, const char* order) {
        const std::string f = P(name);
        EXPECT_TRUE(oracle::Shell("convert -size 64x48 gradient:red-blue " + Q(f)));
        EXPECT_TRUE(oracle::Shell("convert -size 16x12 xc:green " + Q(P("thumb.jpg"))));
        EXPECT_TRUE(oracle::Shell(
            "exiftool -q -overwrite_original -ExifByteOrder=" + std::string(order) +
            " -Make=Canon '-Model=EOS 5D' '-DateTimeOriginal=2024:03:09 13:05:40'"
            " -ExposureTime=1/250 -FNumber=5.6 -ISO=400 -Orientation#=6"
            " '-UserComment=hello there' -GPSLatitude=48.1 -GPSLatitudeRef=N"
            " '-ThumbnailImage<=" + P("thumb.jpg") + "' " + Q(f)));
        return f;
    }
};

} // namespace

TEST_F(TavtoolExif, CameraJpegsAgreeWithExiftoolAndPillow) {
    for (const char* order : {"Little-endian", "Big-endian"}) {
        SCOPED_TRACE(order);
        const std::string f = TaggedJpeg(std::string(order) + ".jpg", order);
        const auto rows = TavRows(f);
        const TOracle et = ExifTool(f);
        const TOracle pil = Pillow(f);
        ASSERT_FALSE(rows.empty());
        ASSERT_TRUE(et.count("IFD0") && et.count("IFD1") && et.count("ExifIFD"));

        // Tag sets per directory.
        std::map<std::string, std::set<int>> ours, theirs, ourAll;
        for (const TTavRow& r : rows) {
            ourAll[r.ifd].insert(r.tag);
            if (!IsPointer(r.tag)) ours[r.ifd].insert(r.tag);
        }
        for (const char* ifd : {"IFD0", "IFD1", "ExifIFD", "GPS"})
            for (const auto& [tag, v] : et.at(ifd)) theirs[ifd].insert(tag);
        for (const char* ifd : {"IFD0", "IFD1", "ExifIFD", "GPS"})
            EXPECT_EQ(ours[ifd], theirs[ifd]) << ifd;
        EXPECT_EQ(ours.size(), 4u); // nothing else: the interoperability directory is not entered
        for (const char* ifd : {"IFD0", "ExifIFD"}) {
            std::set<int> p;
            for (const auto& [tag, v] : pil.at(ifd)) p.insert(tag);
            EXPECT_EQ(ourAll[ifd], p) << ifd;
        }

        // Values.
        for (const TTavRow& r : rows) {
            // exiftool -n gives GPS coordinates as decimal degrees, not as stored.
            if (IsPointer(r.tag) || r.ifd == "GPS") continue;
            if (r.type == 7) {
                // Undefined bytes against Pillow's bytes.
                EXPECT_EQ(r.value, pil.count(r.ifd) && pil.at(r.ifd).count(r.tag)
                                       ? pil.at(r.ifd).at(r.tag)
                                       : r.value)
                    << r.tag;
                continue;
            }
            if (r.tag == 513) {
                // exiftool gives the thumbnail's place in the file; the
                // block holds it counted from the TIFF header.
                const auto bytes = oracle::Bytes(f);
                const std::string exifMark("Exif\0\0", 6);
                const size_t at = std::string(bytes.begin(), bytes.end()).find(exifMark);
                ASSERT_NE(at, std::string::npos);
                EXPECT_EQ(std::stoll(r.value) + long(at + 6), std::stoll(et.at(r.ifd).at(r.tag)));
                continue;
            }
            ExpectSameValue(r, et.at(r.ifd).at(r.tag));
        }
        // The texts as the window shows them.
        std::map<int, std::string> byTag;
        for (const TTavRow& r : rows)
            if (r.ifd != "GPS") byTag[r.tag] = r.desc + "=" + r.value;
        EXPECT_EQ(byTag[271], "Make=Canon");
        EXPECT_EQ(byTag[272], "Model=EOS 5D");
        EXPECT_EQ(byTag[274], "Orientation=6");
        EXPECT_EQ(byTag[33434], "Exposure Time=1/250");
        EXPECT_EQ(byTag[34855], "ISO Speed Rating=400");
        EXPECT_EQ(byTag[36867], "DateTime Original=2024:03:09 13:05:40");
        // "ASCII\0\0\0" then the text.
        EXPECT_EQ(byTag[37510], "User Comment=65,83,67,73,73,0,0,0,104,101,108,108,111,32,116,"
                                "104,101,114,101");
        EXPECT_EQ(rows.front().ifd, "IFD0");
        EXPECT_EQ(rows.back().ifd, "GPS");
    }
}

TEST_F(TavtoolExif, TiffFilesAgreeWithTiffdump) {
    for (const char* endian : {"lsb", "msb"}) {
        SCOPED_TRACE(endian);
        const std::string f = P(std::string(endian) + ".tif");
        ASSERT_TRUE(oracle::Shell("convert -size 32x24 gradient: -define tiff:endian=" +
                                  std::string(endian) + " -set comment 'a tiff' " + Q(f)));
        const auto rows = TavRows(f);
        // "Name (tag) TYPE (type) count<values>"
        std::vector<std::string> dump;
        for (const std::string& line : Lines(Capture("tiffdump " + Q(f)))) {
            const size_t open = line.find(" ("), close = line.find(") ");
            if (open == std::string::npos || line.rfind("Directory", 0) == 0 ||
                line.rfind("Magic", 0) == 0)
                continue;
            const size_t t2 = line.find('(', close + 2), t2e = line.find(')', t2);
            const size_t lt = line.find('<', t2e);
            if (t2 == std::string::npos || lt == std::string::npos) continue;
            const std::string tag = line.substr(open + 2, close - open - 2);
            const std::string type = line.substr(t2 + 1, t2e - t2 - 1);
            const std::string count = line.substr(t2e + 2, lt - t2e - 2);
            std::string vals = line.substr(lt + 1, line.size() - lt - 2);
            dump.push_back(tag + " " + type + " " + count);
            // The first value for comparison, texts as they stand.
            for (const TTavRow& r : rows)
                if (std::to_string(r.tag) == tag) {
                    if (r.type == 2) {
                        if (vals.size() >= 2 && vals.front() == '"') vals = vals.substr(1, vals.size() - 2);
                        if (vals.size() >= 2 && vals.substr(vals.size() - 2) == "\\0")
                            vals.resize(vals.size() - 2);
                        EXPECT_EQ(r.value, vals);
                    } else {
                        ExpectSameValue(r, vals);
                    }
                }
        }
        std::vector<std::string> ours;
        for (const TTavRow& r : rows)
            ours.push_back(std::to_string(r.tag) + " " + std::to_string(r.type) + " " +
                           std::to_string(r.count));
        EXPECT_EQ(ours, dump);
        EXPECT_FALSE(ours.empty());
    }
}

TEST_F(TavtoolExif, ExitStatusAndLines) {
    oracle::WriteBytes(P("plain.bmp"), std::vector<uint8_t>(100, 'B'));
    int st = -1;
    EXPECT_EQ(Capture(std::string("'") + TAVTOOL_PATH + "' exif " + Q(P("plain.bmp")) + " 2>/dev/null", &st), "");
    EXPECT_EQ(st, 0);
    // Missing, a folder, a pipe (which must not block): open failures.
    ASSERT_EQ(::mkfifo(P("pipe.jpg").c_str(), 0600), 0);
    for (const char* name : {"missing.jpg", ".", "pipe.jpg"}) {
        const std::string e = Capture(std::string("'") + TAVTOOL_PATH + "' exif " + Q(P(name)) + " 2>&1", &st);
        EXPECT_EQ(st, 1) << name;
        EXPECT_NE(e.find("Cannot open file"), std::string::npos) << e;
    }
    for (const char* args : {"", "a b", "--bogus x"}) {
        Capture(std::string("'") + TAVTOOL_PATH + "' exif " + args + " 2>/dev/null", &st);
        EXPECT_EQ(st, 2) << args;
    }
    const std::string f = TaggedJpeg("t.jpg", "Little-endian");
    const auto lines = Lines(Capture(std::string("'") + TAVTOOL_PATH + "' exif " + Q(f)));
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], "Make\tCanon");
    // Without --numbers the values read as the viewer shows them.
    const std::set<std::string> shown(lines.begin(), lines.end());
    for (const char* line : {"Orientation\tRotate 90 CW", "Exposure Time\t1/250 s",
                             "F Number\tf/5.6", "User Comment\thello there",
                             "GPS Latitude Ref\tN", "GPS Latitude\t48\u00B06'0.0\"N"})
        EXPECT_TRUE(shown.count(line)) << line;
    // The version reads as its four digits (whichever exiftool wrote), not as
    // the bytes' numbers.
    const auto version = std::find_if(lines.begin(), lines.end(), [](const std::string& l) {
        return l.rfind("Exif Version\t", 0) == 0;
    });
    ASSERT_NE(version, lines.end());
    EXPECT_EQ(version->size(), std::string("Exif Version\t0230").size()) << *version;
    EXPECT_EQ(version->find(','), std::string::npos) << *version;
    // A file without EXIF data says so on stderr, still with status 0.
    EXPECT_EQ(Capture(std::string("'") + TAVTOOL_PATH + "' exif " + Q(P("plain.bmp")) + " 2>&1", &st),
              "No EXIF data\n");
    EXPECT_EQ(st, 0);
}
