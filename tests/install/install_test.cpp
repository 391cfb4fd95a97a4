// Installing: `cmake --install` into a scratch DESTDIR gives the programs,
// the desktop entry, the icons and the manual pages where a Linux desktop
// looks for them, each valid by the desktop's own checkers; the installed
// programs run from there; the Debian package holds the same files and
// depends on the libraries the programs link.

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

std::string Quote(const std::string& s) {
    std::string r = "'";
    for (char c : s)
        r += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return r + "'";
}

// Runs `cmd` through the shell; returns its output and sets the exit status.
std::string Sh(const std::string& cmd, int* status = nullptr) {
    std::string out;
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return out;
    std::array<char, 4096> buf;
    size_t n;
    while ((n = fread(buf.data(), 1, buf.size(), p)) > 0)
        out.append(buf.data(), n);
    const int rc = pclose(p);
    if (status) *status = WIFEXITED(rc) ? WEXITSTATUS(rc) : 128 + WTERMSIG(rc);
    return out;
}

bool Have(const char* tool) {
    return Sh(std::string("command -v ") + tool + " >/dev/null 2>&1; echo $?") == "0\n";
}

bool IsFile(const std::string& p) {
    struct stat st {};
    return stat(p.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string ReadFile(const std::string& p) {
    std::ifstream f(p, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

// Width and height from a PNG header; {0, 0} for anything else.
std::pair<int, int> PngSize(const std::string& bytes) {
    if (bytes.size() < 24 || bytes.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0 ||
        bytes.compare(12, 4, "IHDR") != 0)
        return {0, 0};
    auto be = [&](size_t at) {
        return int((unsigned char)bytes[at]) << 24 | int((unsigned char)bytes[at + 1]) << 16 |
               int((unsigned char)bytes[at + 2]) << 8 | int((unsigned char)bytes[at + 3]);
    };
    return {be(16), be(20)};
}

// The subcommands `tavtool --help` lists: the first word of each line
// indented by exactly two spaces after "Commands:".
std::set<std::string> HelpCommands(const std::string& help) {
    std::set<std::string> r;
    std::istringstream in(help);
    std::string line;
    bool on = false;
    while (std::getline(in, line)) {
        if (line.rfind("Commands:", 0) == 0)
            on = true;
        else if (line.rfind("Exit status", 0) == 0)
            on = false;
        else if (on && line.size() > 2 && line.compare(0, 2, "  ") == 0 && line[2] != ' ')
            r.insert(line.substr(2, line.find(' ', 2) - 2));
    }
    return r;
}

// The commands a manual page describes: the first word of each ".TP" tag in
// its COMMANDS section.
std::set<std::string> ManualCommands(const std::string& roff) {
    std::set<std::string> r;
    std::istringstream in(roff);
    std::string line, prev;
    bool on = false;
    while (std::getline(in, line)) {
        if (line.rfind(".SH", 0) == 0) on = line.find("COMMANDS") != std::string::npos;
        if (on && prev == ".TP" && line.rfind(".B ", 0) == 0) {
            std::string w = line.substr(3, line.find(' ', 3) - 3);
            for (size_t at; (at = w.find("\\-")) != std::string::npos;)
                w.replace(at, 2, "-");
            r.insert(w);
        }
        prev = line;
    }
    return r;
}

class Install : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        char tmpl[] = "/tmp/tavirlo-install-XXXXXX";
        root_ = mkdtemp(tmpl);
        int rc = 0;
        log_ = Sh("DESTDIR=" + Quote(root_) + " " + Quote(TAV_CMAKE) + " --install " +
                      Quote(TAV_BUILD_DIR) + " --prefix /usr 2>&1",
                  &rc);
        installed_ = rc == 0;
    }
    static void TearDownTestSuite() { Sh("rm -rf " + Quote(root_)); }
    void SetUp() override { ASSERT_TRUE(installed_) << log_; }
    static std::string P(const std::string& rel) { return root_ + "/usr/" + rel; }

    static std::string root_, log_;
    static bool installed_;
};
std::string Install::root_, Install::log_;
bool Install::installed_ = false;

} // namespace

TEST_F(Install, PutsEveryFileWhereTheDesktopLooks) {
    for (const char* f : {"bin/tavirlo", "bin/tavtool"}) {
        EXPECT_TRUE(IsFile(P(f))) << f;
        EXPECT_EQ(access(P(f).c_str(), X_OK), 0) << f;
    }
    for (const char* f : {"share/applications/tavirlo.desktop", "share/man/man1/tavirlo.1.gz",
                          "share/man/man1/tavtool.1.gz", "share/doc/tavirlo/copyright",
                          "share/doc/tavirlo/changelog.gz"})
        EXPECT_TRUE(IsFile(P(f))) << f;
    for (int s : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const std::string f = P("share/icons/hicolor/" + std::to_string(s) + "x" +
                                std::to_string(s) + "/apps/tavirlo.png");
        EXPECT_EQ(PngSize(ReadFile(f)), std::make_pair(s, s)) << f;
    }
}

TEST_F(Install, DesktopEntryIsValidAndNamesEveryReadableType) {
    const std::string entry = P("share/applications/tavirlo.desktop");
    if (Have("desktop-file-validate")) {
        int rc = 0;
        const std::string out = Sh("desktop-file-validate " + Quote(entry) + " 2>&1", &rc);
        EXPECT_EQ(rc, 0) << out;
        EXPECT_EQ(out, "");
    } else {
        ADD_FAILURE() << "desktop-file-validate is not installed (desktop-file-utils)";
    }
    const std::string text = ReadFile(entry);
    EXPECT_NE(text.find("\nExec=tavirlo --open %f\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\nIcon=tavirlo\n"), std::string::npos);
    const size_t at = text.find("\nMimeType=");
    ASSERT_NE(at, std::string::npos);
    const std::string types = text.substr(at + 10, text.find('\n', at + 1) - at - 10);
    for (const char* t : {"image/bmp", "image/jpeg", "image/png", "image/gif", "image/tiff",
                          "image/x-tga", "image/vnd.zbrush.pcx", "image/x-portable-pixmap",
                          "image/vnd.microsoft.icon", "image/wmf", "image/emf"})
        EXPECT_NE(types.find(std::string(t) + ";"), std::string::npos) << t;
    // Every name is one the desktop's MIME database knows (no alias, no typo).
    if (IsFile("/usr/share/mime/types")) {
        const std::string known = ReadFile("/usr/share/mime/types");
        std::istringstream in(types);
        std::string t;
        while (std::getline(in, t, ';'))
            EXPECT_NE(known.find("\n" + t + "\n"), std::string::npos) << t;
    }
}

TEST_F(Install, ManualPagesRenderCleanlyAndListWhatTavtoolDoes) {
    ASSERT_TRUE(Have("man")) << "man is not installed (man-db)";
    for (const char* page : {"tavirlo.1.gz", "tavtool.1.gz"}) {
        int rc = 0;
        const std::string file = Quote(P(std::string("share/man/man1/") + page));
        const std::string warnings =
            Sh("MANWIDTH=80 man --warnings -l " + file + " 2>&1 >/dev/null", &rc);
        EXPECT_EQ(rc, 0) << page;
        EXPECT_EQ(warnings, "") << page;
        const std::string text = Sh("MANWIDTH=80 man -l " + file + " 2>/dev/null");
        EXPECT_NE(text.find("EXIT STATUS"), std::string::npos) << page;
    }
    int rc = 0;
    const std::string help =
        Sh("QT_QPA_PLATFORM=offscreen " + Quote(P("bin/tavtool")) + " --help", &rc);
    ASSERT_EQ(rc, 0);
    const std::set<std::string> fromHelp = HelpCommands(help);
    const std::set<std::string> fromManual =
        ManualCommands(Sh("gzip -dc " + Quote(P("share/man/man1/tavtool.1.gz"))));
    EXPECT_TRUE(fromHelp.count("info") && fromHelp.count("convert") && fromHelp.count("--help"));
    EXPECT_EQ(fromManual, fromHelp);
}

TEST_F(Install, InstalledProgramsRunFromThere) {
    int rc = 0;
    EXPECT_EQ(Sh(Quote(P("bin/tavtool")) + " --version", &rc), "tavtool 7.8\n");
    EXPECT_EQ(rc, 0);
    // The browser starts and keeps running until it is stopped (124: the
    // time ran out, not the program).
    char tmpl[] = "/tmp/tavirlo-home-XXXXXX";
    const std::string home = mkdtemp(tmpl);
    Sh("cd " + Quote(home) + " && HOME=" + Quote(home) + " XDG_CONFIG_HOME=" + Quote(home) +
           "/config XDG_RUNTIME_DIR=" + Quote(home) +
           " QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0 timeout -s TERM 6 " +
           Quote(P("bin/tavirlo")) + " >/dev/null 2>&1",
       &rc);
    EXPECT_EQ(rc, 124);
    Sh("rm -rf " + Quote(home));
}

TEST(Package, DebianPackageHoldsTheFilesAndComputedDependencies) {
    ASSERT_TRUE(Have("dpkg-deb") && Have("dpkg-shlibdeps")) << "dpkg-dev is not installed";
    char tmpl[] = "/tmp/tavirlo-deb-XXXXXX";
    const std::string dir = mkdtemp(tmpl);
    int rc = 0;
    const std::string log = Sh("cd " + Quote(TAV_BUILD_DIR) + " && " + Quote(TAV_CPACK) +
                                   " -G DEB -B " + Quote(dir) + " 2>&1",
                               &rc);
    ASSERT_EQ(rc, 0) << log;
    const std::string deb = Sh("ls " + Quote(dir) + "/*.deb | head -n1");
    ASSERT_FALSE(deb.empty()) << log;
    const std::string file = deb.substr(0, deb.size() - 1);
    const std::string info = Sh("dpkg-deb --info " + Quote(file));
    const size_t at = info.find(" Depends: ");
    ASSERT_NE(at, std::string::npos) << info;
    const std::string depends = info.substr(at, info.find('\n', at) - at);
    for (const char* pkg : {"libqt6widgets6", "libqt6gui6", "libqt6core6", "libjpeg62-turbo",
                            "libpng16-16", "qt6-qpa-plugins"})
        EXPECT_NE(depends.find(pkg), std::string::npos) << pkg << " in" << depends;
    const std::string contents = Sh("dpkg-deb --contents " + Quote(file));
    for (const char* f :
         {"./usr/bin/tavirlo", "./usr/bin/tavtool", "./usr/share/applications/tavirlo.desktop",
          "./usr/share/icons/hicolor/48x48/apps/tavirlo.png", "./usr/share/man/man1/tavirlo.1.gz",
          "./usr/share/man/man1/tavtool.1.gz", "./usr/share/doc/tavirlo/copyright"})
        EXPECT_NE(contents.find(f), std::string::npos) << f;
    if (Have("lintian")) {
        const std::string report = Sh("lintian --no-tag-display-limit " + Quote(file) + " 2>&1");
        std::istringstream in(report);
        std::string line;
        while (std::getline(in, line)) {
            EXPECT_NE(line.rfind("E: ", 0), 0u) << line;
            if (line.rfind("W: ", 0) == 0) std::printf("lintian warning: %s\n", line.c_str());
        }
    }
    Sh("rm -rf " + Quote(dir));
}
