#include "core/registry.h"

#include <algorithm>
#include <cctype>
#include <exception>
#include <mutex>
#include <shared_mutex>

#include "core/exceptions.h"
#include "core/messages.h"
#include "core/pixelgraphic.h"
#include "core/stream.h"

namespace {

std::string Lower(std::string s) {
    for (char& c : s)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string Upper(std::string s) {
    for (char& c : s)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

std::string DropDot(const std::string& s) {
    return !s.empty() && s[0] == '.' ? s.substr(1) : s;
}

bool ExtensionLess(const TFileFormatReaderWriter& a, const TFileFormatReaderWriter& b) {
    return Lower(a.Extension) < Lower(b.Extension);
}

// The two lists and their guard. Look-ups share the guard; registering
// takes it alone. The lists hold owning pointers, so a reader handed out
// by FindReader keeps its address when later formats are inserted.
struct TRegistry {
    std::shared_mutex guard;
    std::vector<std::unique_ptr<TFileFormatReader>> readers;
    std::vector<std::unique_ptr<TFileFormatWriter>> writers;
};

TRegistry& Registry() {
    static TRegistry registry;
    return registry;
}

// Inserts after every entry of a lower or equal extension: the order a
// stable sort of the registration order gives.
template <class List, class Item> void InsertSorted(List& list, Item item) {
    auto at = std::upper_bound(list.begin(), list.end(), item,
                               [](const auto& a, const auto& b) { return ExtensionLess(*a, *b); });
    list.insert(at, std::move(item));
}

template <class List> void SortList(List& list) {
    std::stable_sort(list.begin(), list.end(),
                     [](const auto& a, const auto& b) { return ExtensionLess(*a, *b); });
}

template <class T> std::vector<T*> Pointers(const std::vector<std::unique_ptr<T>>& list) {
    std::vector<T*> out;
    out.reserve(list.size());
    for (const auto& p : list)
        out.push_back(p.get());
    return out;
}

} // namespace

void RegisterFileFormatReader(std::unique_ptr<TFileFormatReader> reader) {
    if (!reader) return;
    TRegistry& r = Registry();
    std::unique_lock lock(r.guard);
    InsertSorted(r.readers, std::move(reader));
}

void RegisterFileFormatWriter(std::unique_ptr<TFileFormatWriter> writer) {
    if (!writer) return;
    TRegistry& r = Registry();
    std::unique_lock lock(r.guard);
    InsertSorted(r.writers, std::move(writer));
}

std::vector<TFileFormatReader*> FileFormatReaders() {
    TRegistry& r = Registry();
    std::shared_lock lock(r.guard);
    return Pointers(r.readers);
}

std::vector<TFileFormatWriter*> FileFormatWriters() {
    TRegistry& r = Registry();
    std::shared_lock lock(r.guard);
    return Pointers(r.writers);
}

TFileFormatRegistryContents ExchangeFileFormatRegistry(TFileFormatRegistryContents contents) {
    SortList(contents.readers);
    SortList(contents.writers);
    TRegistry& r = Registry();
    std::unique_lock lock(r.guard);
    contents.readers.swap(r.readers);
    contents.writers.swap(r.writers);
    return contents;
}

TFileFormatReader* FindReader(TStream& stream, const std::string& extensionHint) {
    try {
        const std::string hint = Lower(DropDot(extensionHint));
        uint8_t header[17] = {};
        int got = 0;
        const int64_t pos = stream.Position();
        try {
            int64_t n = stream.Read(header, sizeof header);
            got = int(std::clamp<int64_t>(n, 0, int64_t(sizeof header)));
        } catch (...) {
            got = 0;
        }
        stream.SetPosition(pos);
        TRegistry& reg = Registry();
        std::shared_lock lock(reg.guard);
        for (auto& r : reg.readers)
            if (r->Signature && r->CheckSignature(header, got)) return r.get();
        if (!hint.empty())
            for (auto& r : reg.readers)
                if (!r->Signature && Lower(r->Extension) == hint) return r.get();
    } catch (...) {
    }
    return nullptr;
}

TFileFormatWriter* FindWriter(const std::string& extension) {
    const std::string ext = Lower(DropDot(extension));
    TRegistry& reg = Registry();
    std::shared_lock lock(reg.guard);
    for (auto& w : reg.writers)
        if (Lower(w->Extension) == ext) return w.get();
    return nullptr;
}

bool GetImageInfo(TStream& stream, const std::string& extensionHint, int imageIndex,
                  std::string& type, TPGImageInfo& info) {
    type.clear();
    info = TPGImageInfo{};
    info.GraphicCount = 0;
    try {
        TFileFormatReader* r = FindReader(stream, extensionHint);
        if (!r) return false;
        type = r->Description;
        const int64_t pos = stream.Position();
        TPGImageInfo got;
        try {
            r->GetInfo(stream, imageIndex, got);
        } catch (...) {
            stream.SetPosition(pos);
            throw;
        }
        stream.SetPosition(pos);
        info = got;
        return true;
    } catch (...) {
        return false;
    }
}

namespace {
std::string ExtensionOf(const std::string& fileName) {
    const size_t slash = fileName.rfind('/');
    const size_t dot = fileName.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
    return Lower(fileName.substr(dot + 1));
}
} // namespace

std::string FileExtensionHint(const std::string& fileName) {
    return ExtensionOf(fileName);
}

bool GetFileImageInfo(const std::string& fileName, int imageIndex, std::string& type,
                      TPGImageInfo& info) {
    type.clear();
    info = TPGImageInfo{};
    info.GraphicCount = 0;
    try {
        const size_t slash = fileName.rfind('/');
        if (fileName.empty() || (slash != std::string::npos && slash + 1 == fileName.size()))
            return false;
        TFileStream f(fileName, TFileStream::OpenRead);
        return GetImageInfo(f, ExtensionOf(fileName), imageIndex, type, info);
    } catch (...) {
        return false;
    }
}

std::string OpenFilterString() {
    std::string s;
    std::string patterns, entries;
    for (TFileFormatReader* r : FileFormatReaders()) {
        if (!r->Listed) continue;
        if (!patterns.empty()) patterns += "; ";
        patterns += "*." + r->Extension;
        entries += Upper(r->Extension) + " - " + r->Description + "|*." + Lower(r->Extension) + "|";
    }
    if (!patterns.empty()) s = PGMessage(25) + "|" + patterns + "|" + entries;
    return s + PGMessage(26) + "|*.*";
}

std::string SaveFilterString() {
    std::string s;
    for (TFileFormatWriter* w : FileFormatWriters())
        if (w->Listed)
            s += Upper(w->Extension) + " - " + w->Description + "|*." + Lower(w->Extension) + "|";
    return s;
}

TPGColorResolution ColorResolutionOf(const TPixelGraphic& picture) {
    switch (picture.PixelFormat()) {
    case pg1Bit:
        return picture.PaletteIdent() == pBlackWhite ? crBlackWhite : cr2Colors;
    case pg4Bit:
        return picture.PaletteIdent() == pGray16  ? cr16Grays
               : picture.PaletteIdent() == pSys16 ? cr16SysColors
                                                  : cr16Colors;
    case pg8Bit:
        return picture.PaletteIdent() == pGray256 ? cr256Grays : cr256Colors;
    default:
        return cr16M;
    }
}

const TPGColorResolution (&ColorResolutionFallback(TPGColorResolution current))[8] {
    static const TPGColorResolution table[8][8] = {
        {crBlackWhite, cr2Colors, cr16Grays, cr16SysColors, cr16Colors, cr256Grays, cr256Colors,
         cr16M},
        {cr2Colors, cr16Colors, cr256Colors, cr16M, cr16SysColors, crBlackWhite, cr16Grays,
         cr256Grays},
        {cr16Grays, cr16Colors, cr256Grays, cr256Colors, cr16M, cr16SysColors, crBlackWhite,
         cr2Colors},
        {cr16SysColors, cr16Colors, cr256Colors, cr16M, cr16Grays, cr256Grays, crBlackWhite,
         cr2Colors},
        {cr16Colors, cr256Colors, cr16M, cr16SysColors, cr16Grays, cr256Grays, crBlackWhite,
         cr2Colors},
        {cr256Grays, cr256Colors, cr16M, cr16Grays, cr16Colors, cr16SysColors, crBlackWhite,
         cr2Colors},
        {cr256Colors, cr16M, cr16Colors, cr16SysColors, cr256Grays, cr16Grays, crBlackWhite,
         cr2Colors},
        {cr16M, cr256Colors, cr16Colors, cr16SysColors, cr256Grays, cr16Grays, crBlackWhite,
         cr2Colors},
    };
    return table[current & 7];
}

std::string ColorResolutionText(TPGColorResolution r) {
    return PGMessage(8 + int(r));
}

TPGColorResolution SaveResolutionFor(TPGColorResolution current, const TFileFormatWriter& writer) {
    for (TPGColorResolution r : ColorResolutionFallback(current))
        if (writer.CanWriteResolutions & CanWrite(r)) return r;
    throw EPGCanWriteResolutionsEmpty(PGMessage(16, writer.ClassName() + ".CanWriteResolutions"));
}
