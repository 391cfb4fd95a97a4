// Scanner frames as a backend could send them: up to three frames, each a
// 10-byte description (format, depth, last frame, pixels per line, bytes per
// line, lines, data length) and its data. Besides not crashing: a single
// grey or RGB frame built line by line as it arrives (in pieces whose
// length the input chooses) gives the very DIB the whole-frame assembly
// gives, and both refuse the same frames (but for a frame announced past the
// cap, which the builder refuses before reading).
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "editor/sanescan.h"

namespace {

struct TReader {
    const uint8_t* p;
    size_t n;
    uint32_t U(int bytes) {
        uint32_t v = 0;
        for (int i = 0; i < bytes; ++i) {
            v |= uint32_t(n ? *p : 0) << (8 * i);
            if (n) ++p, --n;
        }
        return v;
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    constexpr int64_t kCap = 1 << 20;
    TReader r{data, size};
    const int piece = int(r.U(1)) + 1;
    std::vector<std::pair<TSaneFrameInfo, std::vector<uint8_t>>> frames;
    for (int f = 0; f < 3 && r.n >= 10; ++f) {
        TSaneFrameInfo info;
        info.format = int(r.U(1) % 7);
        const uint32_t d = r.U(1);
        info.depth = d < 200 ? (d % 3 == 0 ? 1 : d % 3 == 1 ? 8 : 16) : int(d);
        info.lastFrame = r.U(1) & 1;
        info.pixelsPerLine = r.U(2);
        info.bytesPerLine = r.U(2);
        info.lines = int16_t(r.U(2));
        const size_t len = std::min<size_t>(r.U(2) * 4, r.n);
        frames.emplace_back(info, std::vector<uint8_t>(r.p, r.p + len));
        r.p += len;
        r.n -= len;
        if (info.lastFrame) break;
    }
    if (frames.empty()) return 0;
    std::vector<uint8_t> whole;
    std::string e1;
    const bool ok1 = SaneFramesToDib(frames, kCap, whole, e1);
    const TSaneFrameInfo& first = frames.front().first;
    if (frames.size() == 1 && first.lastFrame && first.lines > 0 && first.format <= sfRGB) {
        std::vector<uint8_t> built;
        std::string e2;
        TSaneDibBuilder b;
        bool ok2 = b.Begin(first, kCap, built, e2);
        if (ok2) {
            const std::vector<uint8_t>& bytes = frames.front().second;
            for (size_t k = 0; k < bytes.size(); k += size_t(piece))
                b.Add(bytes.data() + k, std::min(size_t(piece), bytes.size() - k));
            ok2 = b.Finish(e2);
        }
        // A frame announcing more than the cap is refused before it is read,
        // even if it then ends early: the only way the two may differ.
        if (ok1 && !ok2 && e2 == "The picture is too large") return 0;
        if (ok1 != ok2) __builtin_trap();
        if (ok1 && whole != built) __builtin_trap();
    }
    return 0;
}
