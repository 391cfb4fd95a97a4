#include "editor/sanescan.h"

#include "core/stream.h"

#include <sane/sane.h>
#include <sane/saneopts.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <cctype>
#include <cstdio>
#include <dlfcn.h>

namespace {

void Put16(std::vector<uint8_t>& b, uint32_t v) {
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}
void Put32(std::vector<uint8_t>& b, uint32_t v) {
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}

// One sample of a row as 8 bits.
uint8_t Sample(const uint8_t* row, int64_t i, int depth) {
    if (depth == 8) return row[i];
    if (depth == 16) {
        uint16_t v;
        std::memcpy(&v, row + 2 * i, 2); // native byte order
        return uint8_t((uint32_t(v) * 255 + 32767) / 65535);
    }
    return (row[i >> 3] >> (7 - (i & 7)) & 1) ? 0 : 255; // depth 1: 1 is black
}

// What the first frame says, checked before anything is allocated.
bool CheckFrame(const TSaneFrameInfo& f, std::string& error) {
    if (f.depth != 1 && f.depth != 8 && f.depth != 16) {
        error = "depth " + std::to_string(f.depth) + " is not supported";
        return false;
    }
    if (f.pixelsPerLine <= 0 || f.pixelsPerLine > 1000000) {
        error = "the scanner sent no usable width";
        return false;
    }
    if (f.format < sfGray || f.format > sfBlue) {
        error = "the frames of the scan do not agree";
        return false;
    }
    return true;
}

int64_t NeedPerLine(const TSaneFrameInfo& f) {
    return (f.pixelsPerLine * (f.format == sfRGB ? 3 : 1) * f.depth + 7) / 8;
}

// The DIB's layout for a picture of the first frame's kind.
struct TDibShape {
    int bits = 24, colours = 0;
    int64_t width = 0, stride = 0;
    explicit TDibShape(const TSaneFrameInfo& f) : width(f.pixelsPerLine) {
        const bool grey = f.format == sfGray;
        bits = grey ? (f.depth == 1 ? 1 : 8) : 24;
        colours = bits == 1 ? 2 : bits == 8 ? 256 : 0;
        stride = (bits * width + 31) / 32 * 4;
    }
    int64_t Head() const { return 40 + 4 * int64_t(colours); }
    int64_t Size(int64_t height) const { return Head() + stride * height; }
};

// Header and colour table for `height` rows.
void PutHead(std::vector<uint8_t>& dib, const TDibShape& s, int64_t height) {
    dib.clear();
    Put32(dib, 40);
    Put32(dib, uint32_t(s.width));
    Put32(dib, uint32_t(height)); // bottom-up
    Put16(dib, 1);
    Put16(dib, uint16_t(s.bits));
    Put32(dib, 0);
    Put32(dib, uint32_t(s.stride * height));
    Put32(dib, 2835);
    Put32(dib, 2835);
    Put32(dib, uint32_t(s.colours));
    Put32(dib, 0);
    if (s.bits == 1) {
        Put32(dib, 0xFFFFFF); // SANE's 0 is white
        Put32(dib, 0x000000);
    } else if (s.bits == 8) {
        for (uint32_t i = 0; i < 256; ++i)
            Put32(dib, i * 0x010101u);
    }
}

// One line of a grey or RGB frame into a DIB row.
void ConvertLine(const uint8_t* row, uint8_t* out, const TSaneFrameInfo& f, const TDibShape& s) {
    const int64_t width = s.width;
    if (s.bits == 1) {
        std::memcpy(out, row, size_t((width + 7) / 8));
    } else if (s.bits == 8) {
        if (f.depth == 8) {
            std::memcpy(out, row, size_t(width));
        } else {
            for (int64_t x = 0; x < width; ++x)
                out[x] = Sample(row, x, f.depth);
        }
    } else if (f.depth == 8) {
        for (int64_t x = 0; x < width; ++x) {
            out[3 * x] = row[3 * x + 2];
            out[3 * x + 1] = row[3 * x + 1];
            out[3 * x + 2] = row[3 * x];
        }
    } else {
        for (int64_t x = 0; x < width; ++x)
            for (int c = 0; c < 3; ++c)
                out[3 * x + 2 - c] = Sample(row, 3 * x + c, f.depth);
    }
}

} // namespace

bool SaneFramesToDib(const std::vector<std::pair<TSaneFrameInfo, std::vector<uint8_t>>>& frames,
                     int64_t maxBytes, std::vector<uint8_t>& dib, std::string& error) {
    if (frames.empty()) {
        error = "no image";
        return false;
    }
    const TSaneFrameInfo& first = frames.front().first;
    if (!CheckFrame(first, error)) return false;
    const int depth = first.depth;
    const int64_t width = first.pixelsPerLine;
    const bool grey = first.format == sfGray;
    const int64_t need = NeedPerLine(first);
    // Rows each frame holds: what it announced, or what arrived when unknown
    // or cut short.
    int64_t height = -1;
    const uint8_t* planes[3] = {nullptr, nullptr, nullptr};
    for (const auto& [info, bytes] : frames) {
        if (info.format < sfGray || info.format > sfBlue || info.depth != depth ||
            info.pixelsPerLine != width || (info.format == sfGray) != grey ||
            (info.format == sfRGB) != (first.format == sfRGB)) {
            error = "the frames of the scan do not agree";
            return false;
        }
        if (info.bytesPerLine < need) {
            error = "a line is shorter than its pixels";
            return false;
        }
        int64_t rows = int64_t(bytes.size()) / info.bytesPerLine;
        if (info.lines >= 0) rows = std::min(rows, info.lines);
        height = height < 0 ? rows : std::min(height, rows);
        if (info.format >= sfRed) planes[info.format - sfRed] = bytes.data();
    }
    if (first.format >= sfRed && (!planes[0] || !planes[1] || !planes[2])) {
        error = "a colour frame is missing";
        return false;
    }
    if (height <= 0) {
        error = "the scanner sent no lines";
        return false;
    }
    const TDibShape shape(first);
    const int64_t size = shape.Size(height);
    if (size > maxBytes) {
        error = "The picture is too large";
        return false;
    }
    dib.reserve(size_t(size));
    PutHead(dib, shape, height);
    const size_t base = dib.size();
    dib.resize(size_t(size), 0);
    const int64_t bpl = first.bytesPerLine;
    for (int64_t y = 0; y < height; ++y) {
        uint8_t* out = dib.data() + base + size_t((height - 1 - y) * shape.stride);
        if (first.format <= sfRGB) {
            ConvertLine(frames.front().second.data() + y * bpl, out, first, shape);
        } else {
            for (int64_t x = 0; x < width; ++x)
                for (int c = 0; c < 3; ++c)
                    out[3 * x + 2 - c] = Sample(planes[c] + y * bpl, x, depth);
        }
    }
    return true;
}

bool TSaneDibBuilder::Begin(const TSaneFrameInfo& frame, int64_t maxBytes, std::vector<uint8_t>& dib,
                            std::string& error) {
    frame_ = frame;
    dib_ = &dib;
    if (!CheckFrame(frame, error)) return false;
    if (frame.format > sfRGB || !frame.lastFrame || frame.lines <= 0) {
        error = "the frames of the scan do not agree";
        return false;
    }
    if (frame.bytesPerLine < NeedPerLine(frame)) {
        error = "a line is shorter than its pixels";
        return false;
    }
    const TDibShape shape(frame);
    const int64_t size = shape.Size(frame.lines);
    if (size > maxBytes) {
        error = "The picture is too large";
        return false;
    }
    dib.reserve(size_t(size));
    PutHead(dib, shape, frame.lines);
    head_ = int64_t(dib.size());
    stride_ = shape.stride;
    dib.resize(size_t(size), 0);
    line_.assign(size_t(frame.bytesPerLine), 0);
    filled_ = 0;
    rows_ = 0;
    return true;
}

void TSaneDibBuilder::Add(const uint8_t* data, size_t n) {
    const TDibShape shape(frame_);
    const size_t bpl = line_.size();
    while (n > 0 && rows_ < frame_.lines) {
        // Whole lines straight from the data; pieces through the line buffer.
        const uint8_t* row = nullptr;
        if (filled_ == 0 && n >= bpl) {
            row = data;
            data += bpl;
            n -= bpl;
        } else {
            const size_t k = std::min(n, bpl - filled_);
            std::memcpy(line_.data() + filled_, data, k);
            filled_ += k;
            data += k;
            n -= k;
            if (filled_ < bpl) return;
            row = line_.data();
            filled_ = 0;
        }
        ConvertLine(row, dib_->data() + head_ + (frame_.lines - 1 - rows_) * stride_, frame_,
                    shape);
        ++rows_;
    }
    // Rows past those announced are cut.
}

bool TSaneDibBuilder::Finish(std::string& error) {
    if (rows_ <= 0) {
        error = "the scanner sent no lines";
        dib_->clear();
        return false;
    }
    if (rows_ < frame_.lines) {
        // Cut short: the rows received sit at the end of the bottom-up block.
        uint8_t* base = dib_->data() + head_;
        std::memmove(base, base + (frame_.lines - rows_) * stride_, size_t(rows_ * stride_));
        dib_->resize(size_t(head_ + rows_ * stride_));
        std::vector<uint8_t> head;
        PutHead(head, TDibShape(frame_), rows_);
        std::memcpy(dib_->data(), head.data(), 40);
    }
    return true;
}

int SaveDibAsBmpFile(const std::vector<uint8_t>& dib, const std::string& fileName) {
    auto u32 = [&](size_t off) {
        return uint32_t(dib[off]) | uint32_t(dib[off + 1]) << 8 | uint32_t(dib[off + 2]) << 16 |
               uint32_t(dib[off + 3]) << 24;
    };
    if (dib.size() < 40) return -3;
    const uint64_t headerSize = u32(0);
    const int64_t width = int32_t(u32(4)), height = int32_t(u32(8));
    const int bits = int(dib[14] | dib[15] << 8);
    const uint32_t compression = u32(16);
    uint64_t imageSize = u32(20);
    uint64_t colours = u32(32);
    if (colours == 0 && bits <= 8) colours = uint64_t(1) << bits;
    if (imageSize == 0) {
        if (compression != 0) return -3;
        imageSize = uint64_t(std::llabs(height)) *
                    ((uint64_t(bits) * uint64_t(std::llabs(width)) + 31) / 32 * 4);
    }
    if (headerSize < 40 || headerSize > dib.size() || colours > dib.size() ||
        imageSize > dib.size() || headerSize + 4 * colours + imageSize > dib.size())
        return -3;
    const uint64_t offset = 14 + headerSize + 4 * colours;
    const uint64_t fileSize = offset + imageSize;
    if (fileSize > 0xFFFFFFFFu) return -3;
    std::vector<uint8_t> head;
    head.push_back('B');
    head.push_back('M');
    Put32(head, uint32_t(fileSize));
    Put32(head, 0);
    Put32(head, uint32_t(offset));
    std::unique_ptr<TSafeFileStream> f;
    try {
        f = std::make_unique<TSafeFileStream>(fileName);
    } catch (const std::exception&) {
        return -2;
    }
    try {
        f->WriteBuffer(head.data(), int64_t(head.size()));
        f->WriteBuffer(dib.data(), int64_t(fileSize - 14));
        f->Commit();
    } catch (const std::exception&) {
        return -4;
    }
    return 0;
}

// ---- the library

struct TSaneApi::Entries {
    decltype(&sane_init) init;
    decltype(&sane_exit) exit;
    decltype(&sane_get_devices) get_devices;
    decltype(&sane_open) open;
    decltype(&sane_close) close;
    decltype(&sane_get_option_descriptor) get_option_descriptor;
    decltype(&sane_control_option) control_option;
    decltype(&sane_get_parameters) get_parameters;
    decltype(&sane_start) start;
    decltype(&sane_read) read;
    decltype(&sane_cancel) cancel;
    decltype(&sane_strstatus) strstatus;
};

TSaneApi::TSaneApi(std::string library) : library_(std::move(library)) {}

TSaneApi::~TSaneApi() {
    if (e_) Exit();
    // Backends may leave threads behind: the mapping stays (RTLD_NODELETE).
    if (handle_) dlclose(handle_);
}

bool TSaneApi::Load() {
    if (handle_) return true;
    handle_ = dlopen(library_.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (!handle_) return false;
    auto e = std::make_unique<Entries>();
    bool ok = true;
    auto get = [&](auto& f, const char* name) {
        f = reinterpret_cast<std::remove_reference_t<decltype(f)>>(dlsym(handle_, name));
        ok = ok && f != nullptr;
    };
    get(e->init, "sane_init");
    get(e->exit, "sane_exit");
    get(e->get_devices, "sane_get_devices");
    get(e->open, "sane_open");
    get(e->close, "sane_close");
    get(e->get_option_descriptor, "sane_get_option_descriptor");
    get(e->control_option, "sane_control_option");
    get(e->get_parameters, "sane_get_parameters");
    get(e->start, "sane_start");
    get(e->read, "sane_read");
    get(e->cancel, "sane_cancel");
    get(e->strstatus, "sane_strstatus");
    if (!ok) {
        dlclose(handle_);
        handle_ = nullptr;
        return false;
    }
    e_ = std::move(e);
    return true;
}

bool TSaneApi::Init(std::string& error) {
    lastStatus_ = 0;
    if (inited_) return true;
    if (!Load()) {
        error = "SANE is not installed";
        return false;
    }
    SANE_Int version = 0;
    const SANE_Status st = e_->init(&version, nullptr);
    if (st != SANE_STATUS_GOOD) {
        lastStatus_ = st;
        error = "SANE could not start";
        return false;
    }
    inited_ = true;
    return true;
}

void TSaneApi::Exit() {
    Close();
    if (inited_) e_->exit();
    inited_ = false;
}

bool TSaneApi::ListDevices(std::vector<TSaneDevice>& out, std::string& error) {
    out.clear();
    if (!inited_ && !Init(error)) return false;
    const SANE_Device** list = nullptr;
    const SANE_Status st = e_->get_devices(&list, SANE_FALSE);
    if (st != SANE_STATUS_GOOD) {
        lastStatus_ = st;
        error = e_->strstatus(st);
        return false;
    }
    for (int i = 0; list && list[i]; ++i)
        out.push_back({list[i]->name ? list[i]->name : "", list[i]->vendor ? list[i]->vendor : "",
                       list[i]->model ? list[i]->model : "", list[i]->type ? list[i]->type : ""});
    return true;
}

bool TSaneApi::Open(const std::string& device, std::string& error) {
    Close();
    if (!inited_ && !Init(error)) return false;
    std::string name = device;
    if (name.empty())
        if (const char* d = std::getenv("SANE_DEFAULT_DEVICE")) name = d;
    if (name.empty()) {
        std::vector<TSaneDevice> list;
        if (ListDevices(list, error) && !list.empty()) name = list.front().name;
    }
    if (name.empty()) {
        error = "No scanner was found";
        return false;
    }
    SANE_Handle h = nullptr;
    const SANE_Status st = e_->open(name.c_str(), &h);
    if (st != SANE_STATUS_GOOD || !h) {
        lastStatus_ = st;
        error = e_->strstatus(st);
        return false;
    }
    device_ = h;
    deviceName_ = name;
    return true;
}

void TSaneApi::Close() {
    if (!device_) return;
    e_->cancel(device_);
    e_->close(device_);
    device_ = nullptr;
    deviceName_.clear();
}

void TSaneApi::EndScan() {
    if (device_) e_->cancel(device_);
}

namespace {

std::string FixedText(SANE_Word w) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.4f", SANE_UNFIX(w));
    std::string s = buf;
    while (!s.empty() && s.back() == '0')
        s.pop_back();
    if (!s.empty() && s.back() == '.') s.pop_back();
    return s;
}

std::string WordText(int type, SANE_Word w) {
    if (type == SANE_TYPE_FIXED) return FixedText(w);
    if (type == SANE_TYPE_BOOL) return w ? "yes" : "no";
    return std::to_string(w);
}

const char* UnitText(int unit) {
    switch (unit) {
    case SANE_UNIT_PIXEL:
        return "pel";
    case SANE_UNIT_BIT:
        return "bit";
    case SANE_UNIT_MM:
        return "mm";
    case SANE_UNIT_DPI:
        return "dpi";
    case SANE_UNIT_PERCENT:
        return "%";
    case SANE_UNIT_MICROSECOND:
        return "us";
    default:
        return "";
    }
}

std::string Lower(std::string s) {
    for (char& c : s)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

} // namespace

int TSaneApi::FindOption(const std::string& name, const void** descriptor) {
    if (!device_) return -1;
    for (SANE_Int i = 1; i < 10000; ++i) {
        const SANE_Option_Descriptor* d = e_->get_option_descriptor(device_, i);
        if (!d) break;
        if (d->name && name == d->name) {
            *descriptor = d;
            return i;
        }
    }
    return -1;
}

std::vector<TSaneOption> TSaneApi::Describe() {
    std::vector<TSaneOption> out;
    if (!device_) return out;
    for (SANE_Int i = 1; i < 10000; ++i) {
        const SANE_Option_Descriptor* d = e_->get_option_descriptor(device_, i);
        if (!d) break;
        if (!d->name || !*d->name || d->type == SANE_TYPE_GROUP || d->type == SANE_TYPE_BUTTON)
            continue;
        TSaneOption o;
        o.name = d->name;
        o.title = d->title ? d->title : d->name;
        o.unit = UnitText(d->unit);
        o.type = d->type;
        o.active = SANE_OPTION_IS_ACTIVE(d->cap);
        o.settable = SANE_OPTION_IS_SETTABLE(d->cap);
        const bool word = d->type != SANE_TYPE_STRING;
        if (d->constraint_type == SANE_CONSTRAINT_RANGE && word && d->constraint.range) {
            const SANE_Range* r = d->constraint.range;
            const bool fx = d->type == SANE_TYPE_FIXED;
            o.constraint = TSaneOption::cRange;
            o.min = fx ? SANE_UNFIX(r->min) : r->min;
            o.max = fx ? SANE_UNFIX(r->max) : r->max;
            o.quant = fx ? SANE_UNFIX(r->quant) : r->quant;
        } else if (d->constraint_type == SANE_CONSTRAINT_WORD_LIST && word &&
                   d->constraint.word_list) {
            o.constraint = TSaneOption::cList;
            const SANE_Word n = std::clamp<SANE_Word>(d->constraint.word_list[0], 0, 4096);
            for (SANE_Word k = 1; k <= n; ++k)
                o.list.push_back(WordText(d->type, d->constraint.word_list[k]));
        } else if (d->constraint_type == SANE_CONSTRAINT_STRING_LIST && !word &&
                   d->constraint.string_list) {
            o.constraint = TSaneOption::cList;
            for (int k = 0; k < 4096 && d->constraint.string_list[k]; ++k)
                o.list.push_back(d->constraint.string_list[k]);
        }
        if (o.active && d->size > 0 && d->size <= (1 << 20)) {
            std::vector<SANE_Word> buf(size_t(d->size) / sizeof(SANE_Word) + 2, 0);
            if (e_->control_option(device_, i, SANE_ACTION_GET_VALUE, buf.data(), nullptr) ==
                SANE_STATUS_GOOD) {
                if (word) {
                    o.value = WordText(d->type, buf[0]);
                } else {
                    const char* c = reinterpret_cast<const char*>(buf.data());
                    o.value.assign(c, strnlen(c, size_t(d->size)));
                }
            }
        }
        out.push_back(std::move(o));
    }
    return out;
}

bool TSaneApi::SetOption(const std::string& name, const std::string& value, std::string& error,
                         bool* reload) {
    const void* found = nullptr;
    const SANE_Int i = FindOption(name, &found);
    const auto* d = static_cast<const SANE_Option_Descriptor*>(found);
    if (!d) {
        lastStatus_ = SANE_STATUS_INVAL;
        error = "option " + name + ": not offered";
        return false;
    }
    SANE_Int info = 0;
    SANE_Status st = SANE_STATUS_INVAL;
    const size_t words = std::max<size_t>(1, size_t(std::max<SANE_Int>(d->size, 0)) / 4);
    if (d->type == SANE_TYPE_STRING) {
        std::vector<char> buf(std::max<size_t>(size_t(std::max<SANE_Int>(d->size, 0)),
                                               value.size() + 1),
                              0);
        std::memcpy(buf.data(), value.c_str(), value.size());
        st = e_->control_option(device_, i, SANE_ACTION_SET_VALUE, buf.data(), &info);
    } else if ((d->type == SANE_TYPE_INT || d->type == SANE_TYPE_BOOL ||
                d->type == SANE_TYPE_FIXED) &&
               words <= (1 << 18)) {
        const std::string v = Lower(value);
        SANE_Word w;
        if (d->type == SANE_TYPE_BOOL)
            w = (v == "yes" || v == "true" || v == "on" || std::atoi(v.c_str()) != 0) ? 1 : 0;
        else if (d->type == SANE_TYPE_FIXED)
            w = SANE_FIX(std::clamp(std::strtod(v.c_str(), nullptr), -32767.0, 32767.0));
        else
            w = SANE_Word(std::clamp<long long>(std::strtoll(v.c_str(), nullptr, 10), INT32_MIN,
                                                INT32_MAX));
        std::vector<SANE_Word> buf(words, w); // arrays: every element
        st = e_->control_option(device_, i, SANE_ACTION_SET_VALUE, buf.data(), &info);
    }
    if (st != SANE_STATUS_GOOD) {
        lastStatus_ = st;
        error = "option " + name + ": " + e_->strstatus(st);
        return false;
    }
    if (reload)
        *reload = (info & (SANE_INFO_RELOAD_OPTIONS | SANE_INFO_RELOAD_PARAMS |
                           SANE_INFO_INEXACT)) != 0;
    return true;
}

bool TSaneApi::SetOptions(const std::map<std::string, std::string>& options, std::string& error) {
    std::vector<std::pair<std::string, std::string>> order(options.begin(), options.end());
    auto rank = [](const std::string& n) { return n == "mode" ? 0 : n == "source" ? 1 : 2; };
    std::stable_sort(order.begin(), order.end(),
                     [&](const auto& a, const auto& b) { return rank(a.first) < rank(b.first); });
    for (const auto& [key, value] : order)
        if (!SetOption(key, value, error)) return false;
    return true;
}

bool TSaneApi::Feeder() {
    for (const TSaneOption& o : Describe())
        if (o.name == "source" && o.active) {
            const std::string v = Lower(o.value);
            return v.find("adf") != std::string::npos || v.find("feeder") != std::string::npos ||
                   v.find("duplex") != std::string::npos;
        }
    return false;
}

bool TSaneApi::Acquire(int64_t maxBytes, std::vector<uint8_t>& dib, std::string& error,
                       const std::atomic<bool>* cancel, std::atomic<int64_t>* received,
                       std::atomic<int64_t>* expected) {
    lastStatus_ = 0;
    dib.clear();
    if (!device_) {
        error = "No scanner is open";
        return false;
    }
    std::vector<std::pair<TSaneFrameInfo, std::vector<uint8_t>>> frames;
    bool ok = true;
    while (ok) {
        SANE_Status st = e_->start(device_);
        if (st != SANE_STATUS_GOOD) {
            lastStatus_ = st;
            error = e_->strstatus(st);
            ok = false;
            break;
        }
        SANE_Parameters p{};
        st = e_->get_parameters(device_, &p);
        if (st != SANE_STATUS_GOOD) {
            lastStatus_ = st;
            error = e_->strstatus(st);
            ok = false;
            break;
        }
        TSaneFrameInfo info;
        // A backend may send a format SANE does not define: read as a number.
        static_assert(sizeof(p.format) == sizeof(int));
        std::memcpy(&info.format, &p.format, sizeof(int));
        info.lastFrame = p.last_frame;
        info.bytesPerLine = p.bytes_per_line;
        info.pixelsPerLine = p.pixels_per_line;
        info.lines = p.lines;
        info.depth = p.depth;
        // Nothing to read, or more than may be held: refused before reading
        // (a picture without lines never ends on some backends).
        if (p.bytes_per_line <= 0 || p.pixels_per_line <= 0 || p.lines == 0 || p.lines < -1) {
            lastStatus_ = SANE_STATUS_INVAL;
            error = "The scanner sent an empty picture";
            ok = false;
            break;
        }
        const int64_t announced = p.lines > 0 ? int64_t(p.lines) * p.bytes_per_line : -1;
        if (announced > maxBytes) {
            lastStatus_ = SANE_STATUS_NO_MEM;
            error = "The picture is too large";
            ok = false;
            break;
        }
        if (expected) *expected = announced < 0 ? -1 : announced;
        if (received) *received = 0;
        // A single grey or RGB frame of known size is assembled as it comes.
        TSaneDibBuilder builder;
        const bool streamed = frames.empty() && info.lastFrame && info.lines > 0 &&
                              (info.format == sfGray || info.format == sfRGB);
        if (streamed && !builder.Begin(info, maxBytes, dib, error)) {
            lastStatus_ = error == "The picture is too large" ? SANE_STATUS_NO_MEM
                                                              : SANE_STATUS_INVAL;
            ok = false;
            break;
        }
        std::vector<uint8_t> bytes;
        if (announced > 0 && !streamed) bytes.reserve(size_t(announced));
        int64_t total = 0;
        std::vector<SANE_Byte> buf(1 << 16);
        for (;;) {
            SANE_Int got = 0;
            st = e_->read(device_, buf.data(), SANE_Int(buf.size()), &got);
            if (st == SANE_STATUS_EOF) break;
            if (st != SANE_STATUS_GOOD) {
                lastStatus_ = st;
                error = e_->strstatus(st);
                ok = false;
                break;
            }
            if (got < 0 || got > SANE_Int(buf.size())) {
                lastStatus_ = SANE_STATUS_IO_ERROR;
                error = "The scanner sent more than was asked";
                ok = false;
                break;
            }
            total += got;
            if (streamed) {
                builder.Add(buf.data(), size_t(got));
            } else if (total > maxBytes) {
                lastStatus_ = SANE_STATUS_NO_MEM;
                error = "The picture is too large";
                ok = false;
                break;
            } else {
                bytes.insert(bytes.end(), buf.begin(), buf.begin() + got);
            }
            if (received) *received += got;
            if (cancel && *cancel) {
                lastStatus_ = SANE_STATUS_CANCELLED;
                error = "Cancelled";
                ok = false;
                break;
            }
        }
        if (streamed) {
            if (ok && !builder.Finish(error)) {
                lastStatus_ = SANE_STATUS_INVAL;
                ok = false;
            }
            if (!ok) std::vector<uint8_t>().swap(dib);
            return ok;
        }
        frames.emplace_back(info, std::move(bytes));
        if (!ok || info.lastFrame || frames.size() >= 3) break;
    }
    if (ok && !SaneFramesToDib(frames, maxBytes, dib, error)) {
        lastStatus_ = error == "The picture is too large" ? SANE_STATUS_NO_MEM : SANE_STATUS_INVAL;
        ok = false;
    }
    return ok;
}

bool TSaneApi::Devices(std::vector<TSaneDevice>& out, std::string& error) {
    const bool mine = !inited_;
    const bool ok = ListDevices(out, error);
    if (mine) Exit();
    return ok;
}

bool TSaneApi::Scan(const std::string& device, const std::map<std::string, std::string>& options,
                    int64_t maxBytes, std::vector<uint8_t>& dib, std::string& error,
                    const std::atomic<bool>* cancel, std::atomic<int64_t>* received) {
    const bool ok = Open(device, error) && SetOptions(options, error) &&
                    Acquire(maxBytes, dib, error, cancel, received);
    Exit();
    return ok;
}
