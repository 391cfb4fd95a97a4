// Replays fuzz inputs through a target's entry point without the fuzzer:
// the checked-in corpus and every input that once made a target fail run
// under the sanitizers of the ordinary test build, so a mended fault stays
// mended. Arguments are files or folders (their files, in name order); a
// folder that does not exist is skipped.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

bool Replay(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "replay: cannot read %s\n", file.c_str());
        return false;
    }
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                     std::istreambuf_iterator<char>());
    // The same entry the fuzzer calls; an empty input has no data pointer
    // worth reading.
    LLVMFuzzerTestOneInput(bytes.empty() ? nullptr : bytes.data(), bytes.size());
    return true;
}

} // namespace

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    int count = 0;
    bool ok = true;
    for (int i = 1; i < argc; ++i) {
        const fs::path arg = argv[i];
        std::error_code ec;
        if (fs::is_directory(arg, ec)) {
            std::vector<fs::path> files;
            for (const auto& e : fs::directory_iterator(arg, ec))
                if (e.is_regular_file()) files.push_back(e.path());
            std::sort(files.begin(), files.end());
            for (const fs::path& f : files) {
                ok = Replay(f) && ok;
                ++count;
            }
        } else if (fs::is_regular_file(arg, ec)) {
            ok = Replay(arg) && ok;
            ++count;
        }
    }
    std::printf("replayed %d inputs\n", count);
    return ok ? 0 : 1;
}
