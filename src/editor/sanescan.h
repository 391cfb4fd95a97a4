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

// The same DIB built while a single grey or RGB frame with a known number
// of lines arrives: each line goes into its row as soon as it is complete,
// so the frame is never held twice. Begin checks and allocates; Add takes
// data of any length; Finish keeps the rows received when the frame ends
// early.
class TSaneDibBuilder {
  public:
    bool Begin(const TSaneFrameInfo& frame, int64_t maxBytes, std::vector<uint8_t>& dib,
               std::string& error);
    void Add(const uint8_t* data, size_t n);
    bool Finish(std::string& error);

  private:
    TSaneFrameInfo frame_;
    std::vector<uint8_t>* dib_ = nullptr;
    std::vector<uint8_t> line_;
    size_t filled_ = 0;
    int64_t head_ = 0, stride_ = 0, rows_ = 0;
};

// A packed DIB written as a BMP file (file header, then the DIB as one
// block) through a safe save: 0 written, -2 the file cannot be created, -3
// the header does not fit the block (colours used, image size; nothing past
// the block is ever read), -4 writing failed (nothing is left behind).
int SaveDibAsBmpFile(const std::vector<uint8_t>& dib, const std::string& fileName);

struct TSaneDevice {
    std::string name, vendor, model, type;
};

// One option of an open device as the scan dialog shows it. Values are
// text: integers in decimal, fixed-point numbers as decimals, booleans
// "yes"/"no".
struct TSaneOption {
    std::string name, title, unit; // unit: "dpi", "mm", "%", ... or empty
    int type = 0;                   // SANE_TYPE_*
    bool active = false, settable = false;
    enum TConstraint { cNone, cRange, cList } constraint = cNone;
    double min = 0, max = 0, quant = 0; // ranges
    std::vector<std::string> list;      // string and word lists
    std::string value;
};

// The SANE library of this machine, loaded on demand. A session is Init,
// ListDevices, Open, options, Acquire (any number of times), Close, Exit;
// Devices and Scan do a whole session in one call.
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

    // sane_init / sane_exit (Exit closes an open device first).
    bool Init(std::string& error);
    void Exit();
    bool ListDevices(std::vector<TSaneDevice>& out, std::string& error);
    // Opens `device`; empty: $SANE_DEFAULT_DEVICE, else the first device.
    bool Open(const std::string& device, std::string& error);
    void Close();
    const std::string& Device() const { return deviceName_; }

    // The options of the open device (read afresh each call).
    std::vector<TSaneOption> Describe();
    // Sets one option; `reload` (when given) says whether other options
    // or the picture's parameters may have changed with it.
    bool SetOption(const std::string& name, const std::string& value, std::string& error,
                   bool* reload = nullptr);
    // Sets several: "mode" and "source" first (they change what else is
    // offered), then the rest.
    bool SetOptions(const std::map<std::string, std::string>& options, std::string& error);
    // Whether the "source" option names a document feeder.
    bool Feeder();

    // One picture from the open device: every frame read and assembled.
    // `cancel` (when given) is looked at after every read: set, the scan is
    // cancelled (LastStatus() says SANE_STATUS_CANCELLED). `received` counts
    // the bytes read so far and `expected` what the scanner announced (-1
    // unknown). They may be touched from another thread. The scan is not
    // ended: EndScan (sane_cancel) does that.
    bool Acquire(int64_t maxBytes, std::vector<uint8_t>& dib, std::string& error,
                 const std::atomic<bool>* cancel = nullptr,
                 std::atomic<int64_t>* received = nullptr,
                 std::atomic<int64_t>* expected = nullptr);
    void EndScan();

    // One session: init, the devices, exit.
    bool Devices(std::vector<TSaneDevice>& out, std::string& error);
    // A whole scan with `options` set by name ("mode", "resolution",
    // "depth", "source", ...); `device` empty: $SANE_DEFAULT_DEVICE, else the
    // first device.
    bool Scan(const std::string& device, const std::map<std::string, std::string>& options,
              int64_t maxBytes, std::vector<uint8_t>& dib, std::string& error,
              const std::atomic<bool>* cancel = nullptr, std::atomic<int64_t>* received = nullptr);

    // The SANE status of the last failed call (0 when none).
    int LastStatus() const { return lastStatus_; }

    struct Entries;

  private:
    int FindOption(const std::string& name, const void** descriptor);

    int lastStatus_ = 0;
    bool inited_ = false;
    std::string library_;
    void* handle_ = nullptr;
    void* device_ = nullptr; // SANE_Handle
    std::string deviceName_;
    std::unique_ptr<Entries> e_;
};
