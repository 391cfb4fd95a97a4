#pragma once
// Scanning through SANE, loaded at run time: the library is looked up with
// dlopen (never linked), so the program runs where no scanner software is
// installed. A scan's frames are assembled into a packed DIB (header, colour
// table, bottom-up rows) as a scanner hands pictures to the editor.

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

// SANE's frame formats and what a frame says about itself.
enum TSaneFrame { sfGray = 0, sfRGB = 1, sfRed = 2, sfGreen = 3, sfBlue = 4 };
struct TSaneFrameInfo {
    int format = sfGray;
    bool lastFrame = true;
    int64_t bytesPerLine = 0, pixelsPerLine = 0, lines = 0; // lines -1: unknown
    int depth = 8;
};

// Frames as read (their bytes, possibly short) into a packed DIB: grey
// depth 1 -> 1 bit (SANE's 1 is black), grey 8/16 -> 8 bits with a grey
// table, colour (one RGB frame or red, green and blue frames in any order,
// depth 1/8/16) -> 24 bits; 16-bit samples (native byte order) scaled as
// (v x 255 + 32767) / 65535. A DIB larger than `maxBytes` or a frame that
// contradicts itself gives false with a reason.
bool SaneFramesToDib(const std::vector<std::pair<TSaneFrameInfo, std::vector<uint8_t>>>& frames,
                     int64_t maxBytes, std::vector<uint8_t>& dib, std::string& error);

struct TSaneDevice {
    std::string name, vendor, model, type;
};

// The SANE library of this machine, loaded on demand.
class TSaneApi {
  public:
    // `library` is the file dlopen looks for ("libsane.so.1").
    explicit TSaneApi(std::string library = "libsane.so.1");
    ~TSaneApi();
    TSaneApi(const TSaneApi&) = delete;
    TSaneApi& operator=(const TSaneApi&) = delete;

    // Loads the library and every entry used; a missing one unloads it again.
    bool Load();
    bool Loaded() const { return handle_ != nullptr; }

    // One session: init, the devices, exit.
    bool Devices(std::vector<TSaneDevice>& out, std::string& error);
    // A whole scan with `options` set by name ("mode", "resolution",
    // "depth", "source", ...); `device` empty: $SANE_DEFAULT_DEVICE, else the
    // first device.
    // `cancel` (when given) is looked at after every read: set, the scan is
    // cancelled (LastStatus() says SANE_STATUS_CANCELLED). `received` counts
    // the bytes read so far. Both may be touched from another thread.
    bool Scan(const std::string& device, const std::map<std::string, std::string>& options,
              int64_t maxBytes, std::vector<uint8_t>& dib, std::string& error,
              const std::atomic<bool>* cancel = nullptr, std::atomic<int64_t>* received = nullptr);

    // The SANE status of the last failed call (0 when none).
    int LastStatus() const { return lastStatus_; }

    struct Entries;

  private:
    int lastStatus_ = 0;
    std::string library_;
    void* handle_ = nullptr;
    std::unique_ptr<Entries> e_;
};
