#include "browser/aviheader.h"

#include <QFile>

#include "platform/safeopen.h"
#include <cstring>

namespace {

uint32_t U32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

bool Is(const uint8_t* p, const char* four) {
    return std::memcmp(p, four, 4) == 0;
}

// Frame sizes beyond this are not clips anyone plays; they are damage.
constexpr uint32_t kMaxSide = 65535;
// Chunks walked before the header must have been found.
constexpr int kMaxChunks = 4096;

} // namespace

std::optional<QSize> AviFrameSize(std::span<const uint8_t> data) {
    const size_t n = data.size();
    if (n < 12 || !Is(data.data(), "RIFF") || !Is(data.data() + 8, "AVI ")) return std::nullopt;
    // Walk the form's chunks to the "hdrl" list, then the list's chunks to
    // "avih"; the walk ends at the end of the data whatever sizes claim.
    size_t pos = 12, end = n;
    bool inHeaderList = false;
    for (int guard = 0; guard < kMaxChunks && pos + 8 <= end; ++guard) {
        const uint8_t* c = data.data() + pos;
        const uint64_t size = U32(c + 4);
        const uint64_t body = pos + 8;
        if (!inHeaderList && Is(c, "LIST") && size >= 4 && body + 4 <= n &&
            Is(data.data() + body, "hdrl")) {
            inHeaderList = true;
            end = size_t(std::min<uint64_t>(n, body + size));
            pos = size_t(body + 4);
            continue;
        }
        if (inHeaderList && Is(c, "avih")) {
            // dwWidth and dwHeight are the ninth and tenth double words.
            if (size < 40 || body + 40 > n) return std::nullopt;
            const uint32_t w = U32(data.data() + body + 32), h = U32(data.data() + body + 36);
            if (w > kMaxSide || h > kMaxSide) return std::nullopt;
            return QSize(int(w), int(h));
        }
        // Chunks are padded to even sizes.
        const uint64_t next = body + size + (size & 1);
        if (next > end) break;
        pos = size_t(next);
    }
    return std::nullopt;
}

std::optional<QSize> ReadAviFrameSize(const QString& path) {
    return ReadAviFrameSize(NativePathOf(path));
}

std::optional<QSize> ReadAviFrameSize(const QByteArray& nativePath) {
    QFile f;
    if (!OpenRegularQFile(f, nativePath, QIODevice::ReadOnly)) return std::nullopt;
    const QByteArray head = f.read(1 << 20);
    return AviFrameSize(
        std::span(reinterpret_cast<const uint8_t*>(head.constData()), size_t(head.size())));
}
