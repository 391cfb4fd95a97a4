// tavtool rename and search as scripts use them: the rename's dry run changes
// nothing, its real run never replaces a file; search lists what find lists.

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

namespace fs = std::filesystem;

namespace {

struct TResult {
    int code;
    std::string out, err;
};

std::string Slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void Put(const fs::path& p, const std::string& bytes) {
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << bytes;
}

class TavtoolFiles : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("tav_files_" + std::to_string(::getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        out = dir.string() + ".out";
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override {
        fs::remove_all(dir);
        fs::remove(out + "1");
        fs::remove(out + "2");
    }
    // Runs a shell line (tavtool is $T) in the test's folder.
    TResult Sh(const std::string& line) {
        const std::string cmd = "cd '" + dir.string() + "' && T='" + TAVTOOL_PATH + "' && (" +
                                line + ") >'" + out + "1' 2>'" + out + "2'";
        const int st = std::system(cmd.c_str());
        return {WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st), Slurp(out + "1"),
                Slurp(out + "2")};
    }
    // Every file of the folder with its contents.
    std::map<std::string, std::string> Listing() const {
        std::map<std::string, std::string> m;
        for (const auto& e : fs::directory_iterator(dir))
            m[e.path().filename().string()] = Slurp(e.path());
        return m;
    }
    std::string D(const std::string& name) const { return (dir / name).string(); }
    fs::path dir;
    std::string out;
};

} // namespace

TEST_F(TavtoolFiles, RenameDryRunThenRealRun) {
    Put(dir / "IMG_7.jpg", "seven");
    Put(dir / "b.JPG", "bee");
    Put(dir / "c.png", "sea");
    Put(dir / "Trip_002.JPG", "stranger");
    const auto before = Listing();

    // The dry run tells what the real run will do: Trip_002.JPG is taken.
    TResult r = Sh("$T rename Trip 001 IMG_7.jpg b.JPG c.png");
    EXPECT_EQ(r.code, 1) << r.err;
    EXPECT_EQ(r.out, D("IMG_7.jpg") + " -> " + D("Trip_001.jpg") + "\n" + D("b.JPG") +
                         " -> ERROR * " + D("b.JPG") + "\n" + D("c.png") + " -> " +
                         D("Trip_003.png") + "\n");
    EXPECT_NE(r.err.find("File exists"), std::string::npos) << r.err;
    EXPECT_EQ(Listing(), before); // names and bytes

    r = Sh("$T rename Trip 001 IMG_7.jpg b.JPG c.png --yes");
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out,
              D("Trip_001.jpg") + "\n" + "ERROR * " + D("b.JPG") + "\n" + D("Trip_003.png") + "\n");
    EXPECT_NE(r.err.find("File exists"), std::string::npos) << r.err;
    const std::map<std::string, std::string> after{{"Trip_001.jpg", "seven"},
                                                   {"b.JPG", "bee"},
                                                   {"Trip_002.JPG", "stranger"},
                                                   {"Trip_003.png", "sea"}};
    EXPECT_EQ(Listing(), after);

    // A line may take the old name of another line once that one has
    // moved on: the dry run knows it too.
    Put(dir / "k_1.png", "one");
    Put(dir / "k_2.png", "two");
    for (const char* yes : {"", " --yes"}) {
        r = Sh(std::string("$T rename k 2 k_1.png k_2.png") + yes);
        EXPECT_EQ(r.code, 0) << r.err;
        EXPECT_EQ(r.out, *yes ? D("k_2.png") + "\n" + D("k_3.png") + "\n"
                              : D("k_1.png") + " -> " + D("k_2.png") + "\n" + D("k_2.png") +
                                    " -> " + D("k_3.png") + "\n");
    }
}

TEST_F(TavtoolFiles, RenameUsageErrors) {
    Put(dir / "a.jpg", "a");
    for (const char* line :
         {"$T rename T '' a.jpg", "$T rename T 1a a.jpg", "$T rename T 123456 a.jpg",
          "$T rename ../T 1 a.jpg", "$T rename T 1", "$T rename T 1 a.jpg --force"}) {
        SCOPED_TRACE(line);
        EXPECT_EQ(Sh(line).code, 2);
    }
    EXPECT_EQ(Listing(), (std::map<std::string, std::string>{{"a.jpg", "a"}}));
}

// The walk agrees with find on a generated tree with hidden names, links to
// files, folders and ancestors, and names in any case.
TEST_F(TavtoolFiles, SearchListsWhatFindLists) {
    for (int f = 0; f < 12; ++f) {
        const std::string folder = "d" + std::to_string(f % 4) + "/e" + std::to_string(f) + "/";
        for (int i = 0; i < 20; ++i) {
            const char* ext[] = {".jpg", ".JPG", ".Jpg", ".png", ".jpeg", ""};
            Put(dir / (folder + "p" + std::to_string(i) + ext[i % 6]), "x");
        }
        Put(dir / (folder + ".hid.jpg"), "x");
        Put(dir / (folder + ".hidden/in.jpg"), "x");
    }
    Put(dir / "caf\xC3\xA9.JPG", "x");
    Put(dir / "with space.jpg", "x");
    fs::create_symlink(dir / "d0", dir / "d1/up.jpg"); // a link to a folder
    fs::create_symlink(dir, dir / "d2/loop");          // a link to an ancestor
    fs::create_symlink(dir / "with space.jpg", dir / "d3/link.jpg");
    fs::create_symlink(dir / "none", dir / "d3/dead.jpg");

    const TResult ours = Sh("$T search '*.jpg' . | LC_ALL=C sort");
    const TResult theirs = Sh("find . -xdev -name '.*' ! -name . -prune -o -xtype f -iname '*.jpg' "
                              "-print | LC_ALL=C sort");
    EXPECT_EQ(ours.code, 0) << ours.err;
    EXPECT_EQ(ours.out, theirs.out);
    EXPECT_GT(std::count(ours.out.begin(), ours.out.end(), '\n'), 100);

    const TResult bad = Sh("$T search '*.jpg' ./none");
    EXPECT_EQ(bad.code, 1);
    EXPECT_NE(bad.err.find("No such file or directory"), std::string::npos);
    EXPECT_EQ(Sh("$T search '*.jpg'").code, 2);
}

TEST_F(TavtoolFiles, ConvertToBesideTheSourcesWithoutReplacingAnything) {
    ASSERT_EQ(Sh("convert -size 60x40 gradient:red-blue -depth 8 -define "
                 "png:exclude-chunks=gAMA,cHRM,sRGB,bKGD a.b.png && cp a.b.png c.png && "
                 "printf old >a.bmp && printf junk >bad.jpg")
                  .code,
              0);
    TResult r = Sh("$T convert --to bmp a.b.png c.png bad.jpg");
    EXPECT_EQ(r.code, 1) << "bad.jpg failed";
    EXPECT_NE(r.err.find("bad.jpg"), std::string::npos) << r.err;
    const auto files = Listing();
    EXPECT_EQ(files.at("a.bmp"), "old"); // taken: kept
    ASSERT_TRUE(files.count("!a.bmp"));
    ASSERT_TRUE(files.count("c.bmp"));
    EXPECT_FALSE(files.count("bad.bmp"));
    // Lossless formats keep every pixel (ImageMagick counts differing pixels).
    EXPECT_EQ(Sh("compare -metric AE a.b.png '!a.bmp' null: 2>&1").out.substr(0, 1), "0")
        << Sh("compare -metric AE a.b.png '!a.bmp' null: 2>&1").out;
    // PNG of a PNG would be the source itself: the "!" name, the source intact.
    const std::string source = files.at("c.png");
    EXPECT_EQ(Sh("$T convert --to png c.png").code, 0);
    EXPECT_EQ(Listing().at("c.png"), source);
    EXPECT_TRUE(Listing().count("!c.png"));
    // Resized GIF: the size asked, at most 252 colours.
    EXPECT_EQ(Sh("$T convert --to gif --size 30x20 --sharpen a.b.png").code, 0);
    EXPECT_EQ(Sh("identify -format '%w %h' a.gif").out, "30 20");
    EXPECT_LE(std::stoi(Sh("identify -format '%k' a.gif").out), 252);
    EXPECT_EQ(Sh("$T convert --to xyz a.b.png").code, 2);
    EXPECT_EQ(Sh("$T convert --to png").code, 2);
}

TEST_F(TavtoolFiles, AlbumCreateAndList) {
    Put(dir / "a.jpg", "a");
    Put(dir / "x.jpeg", "x");
    Put(dir / "notes.txt", "n");
    Put(dir / "tab\there.jpg", "t");
    TResult r = Sh("$T album create my.alb a.jpg x.jpeg notes.txt 'tab\there.jpg' --rows 9");
    EXPECT_EQ(r.code, 2) << "rows 9 is out of range";
    r = Sh("$T album create my.alb a.jpg x.jpeg notes.txt \"$(printf 'tab\\there.jpg')\" "
           "--cols 3 --caption caption --frames");
    EXPECT_EQ(r.code, 1) << "two files refused";
    EXPECT_NE(r.err.find("Can't edit notes.txt"), std::string::npos) << r.err;
    r = Sh("$T album list my.alb");
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("columns\t3\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("frames\t1\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("0\t" + D("a.jpg") + "\t\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("0\t" + D("x.jpeg") + "\t\n"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("notes.txt"), std::string::npos);
    Put(dir / "bad.alb", "abc");
    r = Sh("$T album list bad.alb");
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("Error reading album file bad.alb"), std::string::npos) << r.err;
}

// The printed pages as a PDF: 7 pictures at 2 x 3 make two pages, the
// second with a picture in its first cell only; an unreadable picture is
// named and leaves its cell empty; a broken album writes nothing.
TEST_F(TavtoolFiles, AlbumPrintMakesThePages) {
    if (std::system("command -v pdfinfo >/dev/null && command -v pdftoppm >/dev/null") != 0)
        GTEST_SKIP() << "no poppler-utils";
    std::string files;
    for (int i = 0; i < 7; ++i) {
        const std::string name = "p" + std::to_string(i) + ".png";
        ASSERT_EQ(Sh("convert -size 400x300 xc:red " + name).code, 0);
        files += " " + name;
    }
    ASSERT_EQ(Sh("$T album create a.alb" + files + " --rows 3 --cols 2 --frames").code, 0);
    TResult r = Sh("$T album print a.alb a.pdf --quality 1");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(Sh("pdfinfo a.pdf").out.find("Pages:           2"), std::string::npos);
    // Page 2 at 20 dpi (A4: 165 x 234): red in the first cell, white in the second.
    ASSERT_EQ(Sh("pdftoppm -f 2 -l 2 -r 20 -png a.pdf pg").code, 0);
    // (The PDF may hold the pictures JPEG-compressed: colours within a few levels.)
    auto at = [&](int x, int y, const char* test) {
        return Sh("convert pg-2.png -crop 1x1+" + std::to_string(x) + "+" + std::to_string(y) +
                  " -format '%[fx:" + test + "]' info:")
            .out;
    };
    EXPECT_EQ(at(50, 50, "r>0.95&&g<0.05&&b<0.05"), "1") << "red";
    EXPECT_EQ(at(115, 50, "r>0.95&&g>0.95&&b>0.95"), "1") << "white";

    fs::remove(dir / "p3.png");
    r = Sh("$T album print a.alb b.pdf");
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("Can't load graphic file " + D("p3.png")), std::string::npos) << r.err;
    EXPECT_TRUE(fs::exists(dir / "b.pdf"));
    // An older PDF of that name is replaced whole.
    Put(dir / "old.pdf", "older");
    r = Sh("$T album print a.alb old.pdf");
    EXPECT_EQ(r.code, 1) << r.err; // p3.png is still missing
    EXPECT_NE(Sh("pdfinfo old.pdf").out.find("Pages:           2"), std::string::npos);
    Put(dir / "bad.alb", "abc");
    r = Sh("$T album print bad.alb c.pdf");
    EXPECT_EQ(r.code, 1);
    EXPECT_FALSE(fs::exists(dir / "c.pdf"));
    EXPECT_EQ(Sh("$T album print a.alb").code, 2);
    EXPECT_EQ(Sh("$T album print a.alb d.pdf --quality 3").code, 2);
}

// The SANE test backend alone (no installed scanner joins in), against
// scanimage on the same device and options.
TEST_F(TavtoolFiles, ScanEqualsScanimage) {
    if (std::system("command -v scanimage >/dev/null") != 0) GTEST_SKIP() << "no scanimage";
    Put(dir / "sane" / "dll.conf", "test\n");
    // The backend leaks a little inside itself; our side is checked by the
    // unit tests of the DIB assembly.
    const std::string env =
        "export SANE_CONFIG_DIR='" + (dir / "sane").string() + "' LSAN_OPTIONS=detect_leaks=0; ";
    TResult r = Sh(env + "$T scan --list");
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("test:0\t"), std::string::npos) << r.out;
    // Options as "name value" pairs: modes and depths, both test pictures,
    // three frames in a mixed order, a hand scanner (lines unknown), lines
    // longer than their pixels, reads of one byte, parameters that change
    // at sane_start.
    const std::vector<std::vector<std::string>> cases = {
        {"mode", "Gray", "depth", "8", "test-picture", "Color pattern"},
        {"mode", "Color", "depth", "8", "test-picture", "Color pattern"},
        {"mode", "Gray", "depth", "1", "test-picture", "Color pattern"},
        {"mode", "Gray", "depth", "1", "test-picture", "Grid"},
        {"mode", "Color", "depth", "16", "test-picture", "Color pattern"},
        {"mode", "Gray", "depth", "16", "test-picture", "Grid"},
        {"mode", "Color", "three-pass", "yes", "three-pass-order", "GBR", "test-picture",
         "Color pattern"},
        {"mode", "Gray", "hand-scanner", "yes", "test-picture", "Grid"},
        {"mode", "Color", "ppl-loss", "7", "test-picture", "Color pattern"},
        {"mode", "Gray", "read-limit", "yes", "read-limit-size", "1", "test-picture",
         "Color pattern"},
        {"mode", "Color", "fuzzy-parameters", "yes", "test-picture", "Color pattern"},
    };
    for (const auto& c : cases) {
        std::string ours = " --resolution 50 --option br-x=20 --option br-y=20",
                    theirs = " --resolution 50 -x 20 -y 20", label, depth = "8", crop;
        for (size_t i = 0; i + 1 < c.size(); i += 2) {
            ours += " --option '" + c[i] + "=" + c[i + 1] + "'";
            // scanimage writes the wasted bytes of each line into the picture:
            // its lines without the loss, cut to the pixels left, are the oracle.
            if (c[i] == "ppl-loss")
                crop = " && convert s.pnm -crop " + std::to_string(39 - std::stoi(c[i + 1])) +
                       "x1000+0+0 +repage s2.pnm && mv s2.pnm s.pnm";
            else
                theirs += " --" + c[i] + (c[i + 1] == "yes" ? "=yes" : " '" + c[i + 1] + "'");
            label += c[i] + "=" + c[i + 1] + " ";
            if (c[i] == "depth") depth = c[i + 1];
        }
        r = Sh(env + "$T scan t.ppm --device test:0" + ours);
        ASSERT_EQ(r.code, 0) << label << ": " << r.err;
        r = Sh(env + "scanimage -d test:0" + theirs + " --format=pnm >s.pnm" +
               (depth == "16" ? " && pamdepth 255 s.pnm >s8.pnm && mv s8.pnm s.pnm" : "") +
               crop);
        ASSERT_EQ(r.code, 0) << r.err;
        r = Sh("compare -metric AE t.ppm s.pnm null: 2>&1");
        EXPECT_EQ(r.out.substr(0, 1), "0") << label << ": " << r.out;
    }
    // A BMP is written straight from the DIB: the same picture.
    const std::string area = " --device test:0 --resolution 50 --option br-x=20 --option br-y=20 "
                             "--option 'test-picture=Color pattern'";
    r = Sh(env + "$T scan t.bmp" + area + " && $T scan t.ppm" + area +
           " && compare -metric AE t.bmp t.ppm null: 2>&1");
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out.substr(0, 1), "0") << r.out;
    // Every scan carries its resolution, whatever the format.
    for (const char* name : {"r.bmp", "r.tif", "r.png", "r.jpg"}) {
        r = Sh(env + "$T scan " + name + area + " && identify -units PixelsPerInch -format "
                                                 "'%x %y' " + name);
        EXPECT_EQ(r.code, 0) << name << ": " << r.err;
        EXPECT_EQ(r.out.substr(0, 2), "50") << name << ": " << r.out;
    }
    // A resolution the scanner does not take, and a device that is not there.
    r = Sh(env + "$T scan t.ppm --device test:0 --resolution 99999");
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find("--resolution 99999 is out of range: this scanner takes"),
              std::string::npos)
        << r.err;
    r = Sh(env + "$T scan t.ppm --device nosuch:7");
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("cannot open scanner \"nosuch:7\""), std::string::npos) << r.err;
    // No device at all.
    Put(dir / "sane" / "dll.conf", "");
    r = Sh(env + "$T scan t.ppm");
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("No scanner was found"), std::string::npos) << r.err;
}
