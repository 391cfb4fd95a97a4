#include "editor/sanescan.h"

#include <sane/sane.h>
#include <sane/saneopts.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
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

} // namespace

bool SaneFramesToDib(const std::vector<std::pair<TSaneFrameInfo, std::vector<uint8_t>>>& frames,
                     int64_t maxBytes, std::vector<uint8_t>& dib, std::string& error) {
    if (frames.empty()) {
        error = "no image";
        return false;
    }
    const TSaneFrameInfo& first = frames.front().first;
    const int depth = first.depth;
    const int64_t width = first.pixelsPerLine;
    if (depth != 1 && depth != 8 && depth != 16) {
        error = "depth " + std::to_string(depth) + " is not supported";
        return false;
    }
    if (width <= 0 || width > 1000000) {
        error = "the scanner sent no usable width";
        return false;
    }
    const bool grey = first.format == sfGray;
    const int channels = first.format == sfRGB ? 3 : 1;
    const int64_t need = (width * channels * depth + 7) / 8;
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
    const int bits = grey ? (depth == 1 ? 1 : 8) : 24;
    const int64_t stride = (bits * width + 31) / 32 * 4;
    const int colours = bits == 1 ? 2 : bits == 8 ? 256 : 0;
    const int64_t size = 40 + 4 * colours + stride * height;
    if (size > maxBytes) {
        error = "The picture is too large";
        return false;
    }
    dib.clear();
    dib.reserve(size_t(size));
    Put32(dib, 40);
    Put32(dib, uint32_t(width));
    Put32(dib, uint32_t(height)); // bottom-up
    Put16(dib, 1);
    Put16(dib, uint16_t(bits));
    Put32(dib, 0);
    Put32(dib, uint32_t(stride * height));
    Put32(dib, 2835);
    Put32(dib, 2835);
    Put32(dib, uint32_t(colours));
    Put32(dib, 0);
    if (bits == 1) {
        Put32(dib, 0xFFFFFF); // SANE's 0 is white
        Put32(dib, 0x000000);
    } else if (bits == 8) {
        for (uint32_t i = 0; i < 256; ++i)
            Put32(dib, i * 0x010101u);
    }
    const size_t base = dib.size();
    dib.resize(size_t(size), 0);
    const int64_t bpl = first.bytesPerLine;
    for (int64_t y = 0; y < height; ++y) {
        uint8_t* out = dib.data() + base + size_t((height - 1 - y) * stride);
        if (bits == 1) {
            std::memcpy(out, frames.front().second.data() + y * bpl, size_t(need));
        } else if (bits == 8) {
            const uint8_t* row = frames.front().second.data() + y * bpl;
            for (int64_t x = 0; x < width; ++x)
                out[x] = Sample(row, x, depth);
        } else if (first.format == sfRGB) {
            const uint8_t* row = frames.front().second.data() + y * bpl;
            for (int64_t x = 0; x < width; ++x)
                for (int c = 0; c < 3; ++c)
                    out[3 * x + 2 - c] = Sample(row, 3 * x + c, depth);
        } else {
            for (int64_t x = 0; x < width; ++x)
                for (int c = 0; c < 3; ++c) {
                    const int64_t pbpl = frames.front().first.bytesPerLine;
                    out[3 * x + 2 - c] = Sample(planes[c] + y * pbpl, x, depth);
                }
        }
    }
    return true;
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

bool TSaneApi::Devices(std::vector<TSaneDevice>& out, std::string& error) {
    if (!Load()) {
        error = "SANE is not installed";
        return false;
    }
    SANE_Int version = 0;
    if (e_->init(&version, nullptr) != SANE_STATUS_GOOD) {
        error = "SANE could not start";
        return false;
    }
    const SANE_Device** list = nullptr;
    const SANE_Status st = e_->get_devices(&list, SANE_FALSE);
    out.clear();
    if (st == SANE_STATUS_GOOD && list)
        for (int i = 0; list[i]; ++i)
            out.push_back(
                {list[i]->name ? list[i]->name : "", list[i]->vendor ? list[i]->vendor : "",
                 list[i]->model ? list[i]->model : "", list[i]->type ? list[i]->type : ""});
    e_->exit();
    if (st != SANE_STATUS_GOOD) error = e_->strstatus(st);
    return st == SANE_STATUS_GOOD;
}

bool TSaneApi::Scan(const std::string& device, const std::map<std::string, std::string>& options,
                    int64_t maxBytes, std::vector<uint8_t>& dib, std::string& error,
                    const std::atomic<bool>* cancel, std::atomic<int64_t>* received) {
    lastStatus_ = 0;
    if (!Load()) {
        error = "SANE is not installed";
        return false;
    }
    SANE_Int version = 0;
    if (e_->init(&version, nullptr) != SANE_STATUS_GOOD) {
        error = "SANE could not start";
        return false;
    }
    std::string name = device;
    if (name.empty())
        if (const char* d = std::getenv("SANE_DEFAULT_DEVICE")) name = d;
    if (name.empty()) {
        const SANE_Device** list = nullptr;
        if (e_->get_devices(&list, SANE_FALSE) == SANE_STATUS_GOOD && list && list[0])
            name = list[0]->name;
    }
    if (name.empty()) {
        e_->exit();
        error = "No scanner was found";
        return false;
    }
    SANE_Handle h = nullptr;
    SANE_Status st = e_->open(name.c_str(), &h);
    if (st != SANE_STATUS_GOOD) {
        lastStatus_ = st;
        error = std::string(e_->strstatus(st));
        e_->exit();
        return false;
    }
    bool ok = true;
    // The options by name, as the scan dialog sets them.
    for (const auto& [key, value] : options) {
        bool found = false;
        for (SANE_Int i = 1;; ++i) {
            const SANE_Option_Descriptor* d = e_->get_option_descriptor(h, i);
            if (!d) break;
            if (!d->name || key != d->name) continue;
            found = true;
            SANE_Int info = 0;
            if (d->type == SANE_TYPE_STRING) {
                std::vector<char> buf(
                    size_t(std::max<SANE_Int>(d->size, SANE_Int(value.size() + 1))), 0);
                std::memcpy(buf.data(), value.c_str(), value.size());
                st = e_->control_option(h, i, SANE_ACTION_SET_VALUE, buf.data(), &info);
            } else if (d->type == SANE_TYPE_INT || d->type == SANE_TYPE_BOOL) {
                SANE_Int v = SANE_Int(std::strtol(value.c_str(), nullptr, 10));
                st = e_->control_option(h, i, SANE_ACTION_SET_VALUE, &v, &info);
            } else if (d->type == SANE_TYPE_FIXED) {
                SANE_Fixed v = SANE_FIX(std::strtod(value.c_str(), nullptr));
                st = e_->control_option(h, i, SANE_ACTION_SET_VALUE, &v, &info);
            } else {
                st = SANE_STATUS_INVAL;
            }
            break;
        }
        if (!found || st != SANE_STATUS_GOOD) {
            lastStatus_ = found ? st : SANE_STATUS_INVAL;
            error = "option " + key + ": " + (found ? e_->strstatus(st) : "not offered");
            ok = false;
            break;
        }
    }
    std::vector<std::pair<TSaneFrameInfo, std::vector<uint8_t>>> frames;
    while (ok) {
        st = e_->start(h);
        if (st != SANE_STATUS_GOOD) {
            lastStatus_ = st;
            error = e_->strstatus(st);
            ok = false;
            break;
        }
        SANE_Parameters p{};
        st = e_->get_parameters(h, &p);
        if (st != SANE_STATUS_GOOD) {
            error = e_->strstatus(st);
            ok = false;
            break;
        }
        TSaneFrameInfo info;
        info.format = int(p.format);
        info.lastFrame = p.last_frame;
        info.bytesPerLine = p.bytes_per_line;
        info.pixelsPerLine = p.pixels_per_line;
        info.lines = p.lines;
        info.depth = p.depth;
        std::vector<uint8_t> bytes;
        const int64_t expected = p.lines >= 0 ? int64_t(p.lines) * p.bytes_per_line : -1;
        if (p.bytes_per_line <= 0 || (expected > maxBytes)) {
            error = "The picture is too large";
            ok = false;
            break;
        }
        std::vector<SANE_Byte> buf(1 << 16);
        for (;;) {
            SANE_Int got = 0;
            st = e_->read(h, buf.data(), SANE_Int(buf.size()), &got);
            if (st == SANE_STATUS_EOF) break;
            if (st != SANE_STATUS_GOOD) {
                lastStatus_ = st;
                error = e_->strstatus(st);
                ok = false;
                break;
            }
            if (got < 0 || got > SANE_Int(buf.size())) {
                error = "the scanner sent more than was asked";
                ok = false;
                break;
            }
            bytes.insert(bytes.end(), buf.begin(), buf.begin() + got);
            if (received) *received += got;
            if (cancel && *cancel) {
                lastStatus_ = SANE_STATUS_CANCELLED;
                error = "cancelled";
                ok = false;
                break;
            }
            if (int64_t(bytes.size()) > maxBytes) {
                error = "The picture is too large";
                ok = false;
                break;
            }
        }
        frames.emplace_back(info, std::move(bytes));
        if (!ok || info.lastFrame || frames.size() >= 3) break;
    }
    e_->cancel(h);
    e_->close(h);
    e_->exit();
    return ok && SaneFramesToDib(frames, maxBytes, dib, error);
}
