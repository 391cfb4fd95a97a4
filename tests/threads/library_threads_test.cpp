// The image library under several threads: look-ups right after the formats
// are registered, loads of every format at once while another thread changes
// the writer options and saves, and a cancel from another thread. Built with
// ThreadSanitizer too (TAV_TSAN), where any data race fails the run.

#include <gtest/gtest.h>

#include <atomic>
#include <latch>
#include <thread>

#include "core/registry.h"
#include "fixtures.h"
#include "formats/library.h"
#include "formats/png.h"
#include "formats/pxm.h"
#include "formats/register.h"

using namespace threads;

namespace {

constexpr int kThreads = 4;

// Runs body(i) on kThreads threads released together.
template <class F> void OnThreads(F body) {
    std::latch start(kThreads);
    std::vector<std::thread> pool;
    for (int i = 0; i < kThreads; ++i)
        pool.emplace_back([&, i] {
            start.arrive_and_wait();
            body(i);
        });
    for (std::thread& t : pool)
        t.join();
}

class LibraryThreads : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { InitImageLibrary(); }
    void TearDown() override {
        JPEGQuality = 80;
        JPEGProgressive = false;
        TIFFCompression = 1;
        TIFFMotorolaOrder = false;
        PxMWriteBinary = false;
        WriteGamma = true;
    }
};

TEST_F(LibraryThreads, FirstLookUpsOnManyThreadsRightAfterRegistration) {
    // Formats registered out of extension order and no look-up before the
    // threads start: the first look-ups of the program run on several
    // threads at once. They find what one thread alone finds, in the same
    // order, and change nothing another thread reads.
    const std::vector<TSample> samples = MakeSamples(24, 16);
    std::vector<std::string> expected;
    for (const TSample& s : samples) {
        TReadOnlyMemoryStream m(s.data.data(), int64_t(s.data.size()));
        TFileFormatReader* r = FindReader(m, FileExtensionHint(s.name));
        ASSERT_NE(r, nullptr) << s.name;
        expected.push_back(r->ClassName());
    }
    const std::string openFilter = OpenFilterString(), saveFilter = SaveFilterString();

    for (int round = 0; round < 8; ++round) {
        TFileFormatRegistryContents saved = ExchangeFileFormatRegistry({});
        RegisterJXLFormats();
        RegisterTIFFFormats();
        RegisterWebPFormats();
        RegisterPxMFormats();
        RegisterHEIFFormats();
        RegisterTGAFormats();
        RegisterAVIFFormats();
        RegisterPNGFormats();
        RegisterPCXFormats();
        RegisterJPEGFormats();
        RegisterIconFormats();
        RegisterGIFFormats();
        RegisterBMPFormats();
        std::atomic<int> wrong{0};
        OnThreads([&](int t) {
            for (size_t k = 0; k < samples.size(); ++k) {
                const size_t i = (k + size_t(t) * 5) % samples.size();
                const TSample& s = samples[i];
                TReadOnlyMemoryStream m(s.data.data(), int64_t(s.data.size()));
                TFileFormatReader* r = FindReader(m, FileExtensionHint(s.name));
                if (!r || r->ClassName() != expected[i]) ++wrong;
                TFileFormatWriter* w = FindWriter(FileExtensionHint(s.name));
                if (w && FileExtensionHint(s.name) != w->Extension) ++wrong;
            }
            if (OpenFilterString() != openFilter || SaveFilterString() != saveFilter) ++wrong;
        });
        // Puts the library's own formats back and frees this round's.
        ExchangeFileFormatRegistry(std::move(saved));
        EXPECT_EQ(wrong, 0) << "round " << round;
    }
}

TEST_F(LibraryThreads, EveryFormatLoadsAlikeOnEveryThread) {
    TTempDir dir;
    const std::vector<TSample> samples = MakeSamples(97, 61);
    std::vector<std::string> reference;
    for (const TSample& s : samples) {
        WriteFile(dir / s.name, s.data);
        TPixelGraphic p;
        p.LoadFromFile(dir / s.name);
        reference.push_back(Fingerprint(p));
    }

    // The window's thread: changes the writer options and saves, as the
    // save-options dialog and the converter do while workers run.
    std::atomic<bool> done{false};
    std::atomic<int> saves{0};
    std::thread window([&] {
        auto rgb = SamplePicture(40, 30, pg24Bit);
        for (int n = 0; !done || n < 4; ++n) {
            JPEGQuality = 40 + n % 60;
            JPEGProgressive = n % 2 == 1;
            TIFFCompression = n % 2 ? 32773 : 1;
            TIFFMotorolaOrder = n % 3 == 0;
            PxMWriteBinary = n % 2 == 0;
            WriteGamma = n % 2 == 1;
            static const char* const kExt[] = {"jpg", "tif", "ppm", "png"};
            TMemoryStream m;
            rgb->SaveToStreamExt(m, kExt[n % 4]);
            ++saves;
        }
    });

    std::atomic<int> mismatches{0}, failures{0};
    OnThreads([&](int t) {
        for (int round = 0; round < 3; ++round)
            for (size_t k = 0; k < samples.size(); ++k) {
                const size_t i = (k + size_t(t) * 3) % samples.size();
                try {
                    TPixelGraphic p;
                    p.SetSaveColorResWarningAction(pgwaIgnore);
                    p.LoadFromFile(dir / samples[i].name);
                    if (Fingerprint(p) != reference[i]) ++mismatches;
                    // Workers save too, with whatever options hold now.
                    static const char* const kExt[] = {"bmp", "png", "tif", "jpg"};
                    TMemoryStream m;
                    p.SaveToStreamExt(m, kExt[(k + size_t(t)) % 4]);
                    std::vector<uint8_t> gif;
                    if (p.BitsPerPixel() <= 8 &&
                        (!EncodeGIF(p, false, 0, false, gif) || GIFErrorCode != gifOK))
                        ++failures;
                } catch (const std::exception& e) {
                    ADD_FAILURE() << samples[i].name << ": " << e.what();
                    ++failures;
                }
            }
    });
    done = true;
    window.join();
    EXPECT_EQ(mismatches, 0);
    EXPECT_EQ(failures, 0);
    EXPECT_GE(saves, 4);
}

TEST_F(LibraryThreads, CancelFromAnotherThreadStopsEveryReader) {
    // A worker loads; the window's thread asks it to stop once the load has
    // begun. Every reader returns without an error (an abort is none).
    TTempDir dir;
    for (const TSample& s : MakeSamples(160, 120)) {
        SCOPED_TRACE(s.name);
        WriteFile(dir / s.name, s.data);
        std::atomic<bool> cancel{false};
        std::atomic<int> calls{0};
        std::atomic<bool> finished{false};
        bool failed = false;
        std::thread worker([&] {
            TPixelGraphic p;
            p.OnProgress = [&](TObject*, int, int, bool& abort) {
                // The first report waits for the cancel, so it lands inside the load.
                if (calls++ == 0)
                    while (!cancel)
                        std::this_thread::yield();
                abort = cancel;
            };
            try {
                p.LoadFromFile(dir / s.name);
            } catch (...) {
                failed = true;
            }
            finished = true;
        });
        while (calls == 0 && !finished)
            std::this_thread::yield();
        cancel = true;
        worker.join();
        EXPECT_FALSE(failed);
        EXPECT_EQ(calls, 1);
    }
}

} // namespace
