#include "core/qt/formdata.h"

#include <vector>

#include "core/exceptions.h"
#include "core/stream.h"

void WriteData(TPixelGraphic& pg, TStream& stream) {
    const int64_t at = stream.Position();
    stream.WriteU32LE(0);
    const int64_t start = stream.Position();
    pg.SaveToStream(stream);
    const int64_t end = stream.Position();
    if (end - start > int64_t(UINT32_MAX)) throw EWriteError("Stream write error");
    stream.SetPosition(at);
    stream.WriteU32LE(uint32_t(end - start));
    stream.SetPosition(end);
}

void ReadData(TPixelGraphic& pg, TStream& stream) {
    const int64_t length = stream.ReadU32LE();
    // The length is checked against the data before anything is read, and
    // the reader sees only those bytes.
    if (length > stream.Remaining()) throw EReadError("Stream read error");
    std::vector<uint8_t> bytes(static_cast<size_t>(length));
    stream.ReadBuffer(bytes.data(), length);
    TReadOnlyMemoryStream bmp(bytes.data(), length);
    TPixelGraphic read;
    read.LoadFromStreamExt(bmp, "bmp", 0);
    pg.Assign(&read);
}
