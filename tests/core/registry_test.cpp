// The format registry with small formats of its own: choosing readers and
// writers, the filter strings, the save routine's resolution negotiation and
// its safety on disk.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <unistd.h>

#include "core/exceptions.h"
#include "core/pixelgraphic.h"
#include "core/prompts.h"
#include "core/registry.h"
#include "core/stream.h"

namespace fs = std::filesystem;

namespace {

// Accepts content starting with its magic (when it has one) and reads a
// 1 x 1 picture; records the index it was asked for.
class TFakeReader : public TFileFormatReader {
  public:
    TFakeReader(std::string ext, std::string magic, std::string desc = "Fake")
        : TFileFormatReader(std::move(ext), std::move(desc), !magic.empty()), magic_(magic) {}
    std::string ClassName() const override { return "TFakeReader"; }
    bool CheckSignature(const uint8_t* h, int size) override {
        if (throws) throw EReadError("boom");
        return size >= int(magic_.size()) && std::memcmp(magic_.data(), h, magic_.size()) == 0;
    }
    void Read(TStream&, TPixelGraphic& g, int index) override {
        lastIndex = index;
        g.SetFormat(1, 1, pg24Bit);
    }
    void GetInfo(TStream& s, int, TPGImageInfo& info) override {
        s.Seek(3, TSeekOrigin::Current);
        info.Width = 7;
        info.SubType = Extension;
    }
    bool throws = false;
    int lastIndex = -1;

  private:
    std::string magic_;
};

// Writes "OK" and remembers the format of what it was given; `fail` makes it
// write a little and then raise, as a writer that hits a bad picture does.
class TFakeWriter : public TFileFormatWriter {
  public:
    TFakeWriter(std::string ext, std::string desc, bool listed, uint8_t can)
        : TFileFormatWriter(std::move(ext), std::move(desc), listed, can) {}
    std::string ClassName() const override { return "TFake" + Extension + "Writer"; }
    void Write(TStream& s, TPixelGraphic& g) override {
        s.WriteBuffer("OK", 2);
        if (fail) throw EWriteError("Stream write error");
        written = g.PixelFormat();
        writtenIdent = g.PaletteIdent();
        writtenColor = g.GetPixelColor(0, 0);
        ++count;
    }
    bool fail = false;
    int count = 0;
    TPGPixelFormat written = pg24Bit;
    TPaletteIdent writtenIdent = pNone;
    TRGB writtenColor = -1;
};

class Registry : public ::testing::Test {
  protected:
    void SetUp() override {
        saved = ExchangeFileFormatRegistry({});
        savedHandler = PGMessageBoxHandler;
    }
    void TearDown() override {
        ExchangeFileFormatRegistry(std::move(saved));
        PGMessageBoxHandler = savedHandler;
        if (!dir.empty()) fs::remove_all(dir);
    }
    template <class T, class... A> T* AddReader(A... a) {
        auto r = std::make_unique<T>(a...);
        T* p = r.get();
        RegisterFileFormatReader(std::move(r));
        return p;
    }
    TFakeWriter* AddWriter(std::string ext, std::string desc, bool listed, uint8_t can) {
        auto w = std::make_unique<TFakeWriter>(ext, desc, listed, can);
        TFakeWriter* p = w.get();
        RegisterFileFormatWriter(std::move(w));
        return p;
    }
    std::string TempDir() {
        dir = fs::temp_directory_path() / ("tav_registry_" + std::to_string(::getpid()));
        fs::create_directories(dir);
        return dir.string();
    }

    TFileFormatRegistryContents saved;
    TPGMessageBoxHandler savedHandler;
    fs::path dir;
};

TMemoryStream Bytes(const std::string& s) {
    return TMemoryStream(std::vector<uint8_t>(s.begin(), s.end()));
}

} // namespace

TEST_F(Registry, SignatureWinsOverExtensionAndUnsignedReadersGoByHintOnly) {
    AddReader<TFakeReader>("png", "\x89PNG");
    AddReader<TFakeReader>("jpg", "\xFF\xD8");
    AddReader<TFakeReader>("tga", "");
    struct Case {
        std::string content, hint, expect; // "" = no reader
    } cases[] = {
        {"\x89PNG....", "jpg", "png"}, // a PNG named .jpg is a PNG
        {"\xFF\xD8 data", "", "jpg"},  // no hint needed for a signature
        {"targa", "bmp", ""},          // a Targa named .bmp is unknown
        {"targa", "", ""},             // and from a stream without hint
        {"targa", ".TGA", "tga"},      // dot dropped, case ignored
        {"", "tga", "tga"},            // an empty stream still has its hint
        {"\x89P", "", ""},             // shorter than the signature
    };
    for (const Case& c : cases) {
        TMemoryStream s = Bytes(c.content);
        s.SetPosition(0);
        TFileFormatReader* r = FindReader(s, c.hint);
        EXPECT_EQ(r ? r->Extension : "", c.expect) << c.content << " / " << c.hint;
        EXPECT_EQ(s.Position(), 0);
    }
    // A reader whose test raises makes the search give no reader.
    static_cast<TFakeReader*>(FileFormatReaders()[0])->throws = true;
    TMemoryStream s = Bytes("\x89PNG");
    EXPECT_EQ(FindReader(s, "png"), nullptr);
}

TEST_F(Registry, ListsSortByExtensionAndMakeTheFilterStrings) {
    for (const char* e : {"tif", "bmp", "jpg", "dib"})
        AddReader<TFakeReader>(e, std::string("#") + e, "D" + std::string(e));
    AddWriter("tif", "Tagged", true, 255);
    AddWriter("jpeg", "JPEG", false, 255);
    AddWriter("bmp", "Bitmap", true, 255);
    // In order as soon as registered: looking up must never reorder the
    // lists, other threads may be reading them.
    std::vector<std::string> order;
    for (TFileFormatReader* r : FileFormatReaders())
        order.push_back(r->Extension);
    EXPECT_EQ(order, (std::vector<std::string>{"bmp", "dib", "jpg", "tif"}));
    EXPECT_EQ(FileFormatWriters()[0]->Extension, "bmp");
    // Formats of one extension keep their registration order, whatever case.
    AddWriter("BMP", "Second bitmap", false, 255);
    EXPECT_EQ(FileFormatWriters()[1]->Description, "Second bitmap");
    EXPECT_EQ(FindWriter("bmp")->Description, "Bitmap");
    EXPECT_EQ(OpenFilterString(),
              "Image files|*.bmp; *.dib; *.jpg; *.tif|BMP - Dbmp|*.bmp|DIB - Ddib|*.dib|"
              "JPG - Djpg|*.jpg|TIF - Dtif|*.tif|All files|*.*");
    EXPECT_EQ(SaveFilterString(), "BMP - Bitmap|*.bmp|TIF - Tagged|*.tif|");
    EXPECT_EQ(FileFormatWriters()[2]->Extension, "jpeg");
    EXPECT_EQ(FindWriter(".JPEG")->Description, "JPEG");
    ExchangeFileFormatRegistry({});
    EXPECT_EQ(OpenFilterString(), "All files|*.*");
}

TEST_F(Registry, LoadPicksTheReaderAndPassesTheIndex) {
    auto* r = AddReader<TFakeReader>("abc", "ABC");
    TPixelGraphic g;
    TMemoryStream s = Bytes("ABC!");
    g.LoadFromStreamExt(s, "", 3);
    EXPECT_EQ(r->lastIndex, 3);
    EXPECT_EQ(g.GetWidth(), 1);
    TMemoryStream other = Bytes("XYZ");
    try {
        g.LoadFromStream(other);
        FAIL();
    } catch (const EPGUnknownFileFormat& e) {
        EXPECT_STREQ(e.what(), "Unknown file format");
    }
}

TEST_F(Registry, ImageInfoRestoresThePositionAndFailsQuietly) {
    AddReader<TFakeReader>("abc", "ABC", "Alphabet");
    TMemoryStream s = Bytes("ABC data");
    std::string type;
    TPGImageInfo info;
    ASSERT_TRUE(GetImageInfo(s, "", 0, type, info));
    EXPECT_EQ(type, "Alphabet");
    EXPECT_EQ(info.Width, 7);
    EXPECT_EQ(s.Position(), 0);
    TMemoryStream unknown = Bytes("zzz");
    EXPECT_FALSE(GetImageInfo(unknown, "", 0, type, info));
    EXPECT_EQ(type, "");
    EXPECT_EQ(info.GraphicCount, 0);
    const std::string d = TempDir();
    EXPECT_FALSE(GetFileImageInfo(d + "/missing.abc", 0, type, info));
    EXPECT_FALSE(GetFileImageInfo(d + "/", 0, type, info));
    std::ofstream(d + "/x.abc") << "ABC";
    EXPECT_TRUE(GetFileImageInfo(d + "/x.abc", 0, type, info));
}

TEST_F(Registry, FallbackTableChoosesTheFirstWritableResolution) {
    struct Case {
        TPGColorResolution from;
        uint8_t can;
        TPGColorResolution expect;
    } cases[] = {
        {cr16SysColors, uint8_t(CanWrite(crBlackWhite) | CanWrite(cr16M)), cr16M},
        {cr16SysColors, CanWrite(cr256Grays), cr256Grays}, // a PGM writer
        {cr16M, CanWrite(crBlackWhite), crBlackWhite},     // a PBM writer
        {cr2Colors, 253, cr16Colors},                      // TIFF: all but 2 colours
        {cr256Grays, uint8_t(CanWrite(cr256Colors) | CanWrite(cr16M)), cr256Colors}, // Targa
        {cr16M, uint8_t(CanWrite(cr256Grays) | CanWrite(cr16M)), cr16M},
        {crBlackWhite, 255, crBlackWhite},
    };
    for (const Case& c : cases) {
        TFakeWriter w("x", "X", true, c.can);
        EXPECT_EQ(SaveResolutionFor(c.from, w), c.expect) << int(c.from);
    }
    TFakeWriter none("x", "X", true, 0);
    try {
        SaveResolutionFor(cr16M, none);
        FAIL();
    } catch (const EPGCanWriteResolutionsEmpty& e) {
        EXPECT_STREQ(e.what(), "TFakexWriter.CanWriteResolutions is empty");
    }
}

TEST_F(Registry, SaveErrorsAndTheColourResolutionWarning) {
    TPixelGraphic g;
    g.SetFormat(2, 2, pg4Bit);
    g.SetPaletteIdent(pSys16);
    TMemoryStream out;
    EXPECT_THROW(g.SaveToStreamExt(out, "pgm"), EPGFileFormatWritersEmpty);
    TFakeWriter* pgm = AddWriter("pgm", "Portable Graymap", true, CanWrite(cr256Grays));
    try {
        g.SaveToStreamExt(out, ".GIF");
        FAIL();
    } catch (const EPGUnknownExtension& e) {
        EXPECT_STREQ(e.what(), "Unknown file extension \"gif\"");
    }
    std::string shown;
    TPGBoxButtons buttons{};
    PGMessageBoxHandler = [&](const std::string& text, const std::string& caption,
                              TPGBoxButtons b) {
        shown = caption + ": " + text;
        buttons = b;
        return TPGBoxResult::Cancel;
    };
    g.SetSaveColorResWarningAction(pgwaOKCancelBox);
    try {
        g.SaveToStreamExt(out, "PGM");
        FAIL();
    } catch (const EPGCannotWriteColorRes& e) {
        EXPECT_STREQ(e.what(),
                     "The graphic cannot be saved with to a Portable Graymap file with the "
                     "current color resolution (16 system colors)");
    }
    EXPECT_EQ(shown, "Warning: " + PGMessage(17, "Portable Graymap", "16 system colors",
                                             "256 shades of gray"));
    EXPECT_EQ(buttons, TPGBoxButtons::OKCancel);
    g.SetSaveColorResWarningAction(pgwaRaise);
    shown.clear();
    EXPECT_THROW(g.SaveToStreamExt(out, "pgm"), EPGCannotWriteColorRes);
    EXPECT_EQ(shown, "");
    EXPECT_EQ(pgm->count, 0);
    EXPECT_EQ(out.Size(), 0);
    // A resolution the writer takes is written as it is, without a box.
    g.SetPaletteIdent(pGray256);
    g.SetFormat(2, 2, pg8Bit);
    g.SetPaletteIdent(pGray256);
    g.SaveToStreamExt(out, "pgm");
    EXPECT_EQ(pgm->count, 1);
    EXPECT_EQ(pgm->written, pg8Bit);
}

TEST_F(Registry, AFailedSaveLeavesNoNewFileAndTheOldOneUntouched) {
    TFakeWriter* w = AddWriter("abc", "Alphabet", true, 255);
    const std::string d = TempDir();
    TPixelGraphic g;
    g.SetFormat(3, 3, pg24Bit);
    w->fail = true;
    EXPECT_THROW(g.SaveToFile(d + "/new.abc"), EWriteError);
    EXPECT_FALSE(fs::exists(d + "/new.abc"));
    std::ofstream(d + "/old.abc") << "precious";
    EXPECT_THROW(g.SaveToFile(d + "/old.abc"), EWriteError);
    std::ifstream in(d + "/old.abc");
    std::string content((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(content, "precious");
    EXPECT_THROW(g.SaveToFile(d + "/x.gif"), EPGUnknownExtension);
    // Nothing but the old file is left in the folder: no temporary files.
    EXPECT_EQ(std::distance(fs::directory_iterator(d), fs::directory_iterator()), 1);
    w->fail = false;
    g.SaveToFile(d + "/old.abc");
    std::ifstream again(d + "/old.abc");
    std::string now((std::istreambuf_iterator<char>(again)), {});
    EXPECT_EQ(now, "OK");
}

TEST_F(Registry, ConversionGivesTheWriterWhatItCanStore) {
    struct Case {
        const char* what;
        TPGPixelFormat format;
        std::vector<TRGB> palette; // empty: the identity below
        TPaletteIdent ident;
        TRGB color; // of every pixel
        uint8_t can;
        TPGPixelFormat wantFormat;
        TPaletteIdent wantIdent;
        const char* box; // the warning's resolutions, "" = no box
    } cases[] = {
        {"PGM from 16 system colours",
         pg4Bit,
         {},
         pSys16,
         RGB(128, 128, 128),
         CanWrite(cr256Grays),
         pg8Bit,
         pGray256,
         "16 system colors|256 shades of gray"},
        {"PBM from 24 bits",
         pg24Bit,
         {},
         pTrueColor,
         RGB(255, 255, 255),
         CanWrite(crBlackWhite),
         pg1Bit,
         pBlackWhite,
         "16.7 million colors|black and white"},
        {"TIFF from 2 colours",
         pg1Bit,
         {RGB(255, 0, 0), RGB(0, 0, 255)},
         pUnknown,
         RGB(0, 0, 255),
         253,
         pg4Bit,
         pUnknown,
         "2 colors|16 colors"},
        {"Targa from 256 greys",
         pg8Bit,
         {},
         pGray256,
         RGB(0, 0, 0),
         uint8_t(CanWrite(cr256Colors) | CanWrite(cr16M)),
         pg8Bit,
         pUnknown,
         "256 shades of gray|256 colors"},
        {"JPEG from 24 bits",
         pg24Bit,
         {},
         pTrueColor,
         RGB(1, 2, 3),
         uint8_t(CanWrite(cr256Grays) | CanWrite(cr16M)),
         pg24Bit,
         pTrueColor,
         ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ExchangeFileFormatRegistry({});
        TFakeWriter* w = AddWriter("xyz", "Some Format", true, c.can);
        TPixelGraphic g;
        g.SetFormat(6, 5, c.format);
        if (!c.palette.empty()) {
            g.SetPaletteCount(int(c.palette.size()));
            for (size_t i = 0; i < c.palette.size(); ++i)
                g.SetPaletteEntry(int(i), c.palette[i]);
        } else if (c.ident != pTrueColor) {
            g.SetPaletteIdent(c.ident);
        }
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 6; ++x)
                g.SetPixelColor(x, y, c.color);
        std::vector<uint8_t> before(g.Bits(), g.Bits() + g.ImageSize());
        std::string shown;
        PGMessageBoxHandler = [&](const std::string& text, const std::string&, TPGBoxButtons) {
            shown = text;
            return TPGBoxResult::OK;
        };
        g.SetSaveColorResWarningAction(pgwaOKBox);
        TMemoryStream out;
        g.SaveToStreamExt(out, "xyz");
        EXPECT_EQ(w->written, c.wantFormat);
        EXPECT_EQ(w->writtenIdent, c.wantIdent);
        EXPECT_EQ(w->writtenColor, c.color);
        const std::string box = c.box;
        if (box.empty()) {
            EXPECT_EQ(shown, "");
        } else {
            const auto bar = box.find('|');
            EXPECT_EQ(shown, PGMessage(17, "Some Format", box.substr(0, bar), box.substr(bar + 1)));
        }
        // The source itself is not changed.
        EXPECT_EQ(g.PixelFormat(), c.format);
        EXPECT_TRUE(std::equal(before.begin(), before.end(), g.Bits()));
    }
}
