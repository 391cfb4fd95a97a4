#pragma once
// Helpers for tests that check our codecs against independent tools: a
// private temporary folder, running a tool, and reading files. A namespace
// of their own: oracle_support.h has a TempDir of another shape, and two
// classes of one name in one test program break each other.

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace codecoracle {

// A fresh folder removed with everything in it when the object goes.
class TempDir {
  public:
    TempDir() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "tavtest-XXXXXX").string();
        if (mkdtemp(tmpl.data())) path_ = tmpl;
    }
    ~TempDir() {
        std::error_code ec;
        if (!path_.empty()) std::filesystem::remove_all(path_, ec);
    }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }
    const std::string& Path() const { return path_; }

  private:
    std::string path_;
};

// Whether a program is on the PATH.
inline bool Have(const std::string& tool) {
    return std::system(("command -v " + tool + " >/dev/null 2>&1").c_str()) == 0;
}

// Runs a shell command (built only from test-controlled text); returns its
// exit status and captures its standard output.
inline int Run(const std::string& cmd, std::string* out = nullptr) {
    std::FILE* p = popen(cmd.c_str(), "r");
    if (!p) return -1;
    std::string text;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
        text.append(buf, n);
    const int status = pclose(p);
    if (out) *out = std::move(text);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

inline std::vector<uint8_t> ReadFile(const std::string& name) {
    std::ifstream f(name, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), {});
}

inline void WriteFile(const std::string& name, const std::vector<uint8_t>& data) {
    std::ofstream f(name, std::ios::binary);
    f.write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
}

} // namespace codecoracle
