#pragma once
// Builders of metafiles record by record for the metafile tests, and
// helpers that read them through the format readers.

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

#include "core/pixelgraphic.h"
#include "core/registry.h"
#include "core/stream.h"

namespace metatest {

struct Bytes {
    std::vector<uint8_t> b;
    Bytes& u16(int v) {
        b.insert(b.end(), {uint8_t(v), uint8_t(v >> 8)});
        return *this;
    }
    Bytes& u32(int64_t v) { return u16(int(v & 0xFFFF)).u16(int((v >> 16) & 0xFFFF)); }
    Bytes& raw(const std::vector<uint8_t>& r) {
        b.insert(b.end(), r.begin(), r.end());
        return *this;
    }
};

// A Windows metafile: records are (function, 16-bit parameters).
struct Wmf {
    std::vector<std::pair<int, std::vector<int>>> records;
    Wmf& Rec(int fn, std::vector<int> params) {
        records.push_back({fn, std::move(params)});
        return *this;
    }
    std::vector<uint8_t> Build(bool placeable, int l = 0, int t = 0, int r = 1000, int bottom = 500,
                               int inch = 1000, bool goodChecksum = true) const {
        Bytes body;
        size_t maxRecord = 3;
        for (const auto& [fn, params] : records) {
            maxRecord = std::max(maxRecord, 3 + params.size());
            body.u32(3 + int64_t(params.size())).u16(fn);
            for (int p : params)
                body.u16(p);
        }
        body.u32(3).u16(0); // end of file
        Bytes out;
        if (placeable) {
            Bytes h;
            h.u32(0x9AC6CDD7).u16(0).u16(l).u16(t).u16(r).u16(bottom).u16(inch).u32(0);
            uint16_t sum = 0;
            for (size_t i = 0; i < 20; i += 2)
                sum ^= uint16_t(h.b[i] | h.b[i + 1] << 8);
            h.u16(goodChecksum ? sum : sum ^ 1);
            out.raw(h.b);
        }
        out.u16(1)
            .u16(9)
            .u16(0x300)
            .u32(9 + int64_t(body.b.size()) / 2)
            .u16(8)
            .u32(int64_t(maxRecord))
            .u16(0);
        out.raw(body.b);
        return out.b;
    }
};

inline std::vector<int> Color(int r, int g, int b) {
    return {r | g << 8, b};
}

// An enhanced metafile: a header with a frame of w x h hundredths of a
// millimetre on a 100 pixels-per-millimetre reference device (1 logical
// unit = 0.01 mm), then the records.
struct Emf {
    Bytes recs;
    int count = 0;
    Emf& Rec(int type, const std::vector<uint8_t>& payload) {
        recs.u32(type).u32(8 + int64_t(payload.size())).raw(payload);
        ++count;
        return *this;
    }
    std::vector<uint8_t> Build(int w, int h, int mmX = 10) const {
        Bytes hd;
        hd.u32(1).u32(88).u32(0).u32(0).u32(w).u32(h).u32(0).u32(0).u32(w).u32(h);
        hd.u32(0x464D4520).u32(0x10000).u32(0).u32(count + 2).u16(8).u16(0).u32(0).u32(0).u32(0);
        hd.u32(1000).u32(1000).u32(mmX).u32(10); // device 1000 px = 10 mm
        Bytes eof;
        eof.u32(14).u32(20).u32(0).u32(16).u32(20);
        Bytes all;
        all.raw(hd.b).raw(recs.b).raw(eof.b);
        return all.b;
    }
};

inline std::vector<uint8_t> I32s(std::vector<int64_t> v) {
    Bytes b;
    for (int64_t x : v)
        b.u32(x);
    return b.b;
}

inline void ReadMeta(TFileFormatReader& reader, const std::vector<uint8_t>& bytes,
                     TPixelGraphic& pic) {
    TReadOnlyMemoryStream s(bytes.data(), int64_t(bytes.size()));
    reader.Read(s, pic, 0);
}

inline TPGImageInfo MetaInfo(TFileFormatReader& reader, const std::vector<uint8_t>& bytes) {
    TReadOnlyMemoryStream s(bytes.data(), int64_t(bytes.size()));
    TPGImageInfo info;
    reader.GetInfo(s, 0, info);
    return info;
}

} // namespace metatest
