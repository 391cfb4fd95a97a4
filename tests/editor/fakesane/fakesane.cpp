// A SANE library that sends what real backends rarely do, chosen by
// $FAKE_SANE: "bpl-small" (a line shorter than its pixels), "depth12",
// "format9", "lines2^31", "read-too-long" (more bytes than asked),
// "empty" (no pixels, no lines), "endless" (data without end); anything
// else gives a 4 x 2 grey picture. Built a second time without sane_read
// to stand for a library that lacks an entry.

#include <sane/sane.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

SANE_Device device = {"fake:0", "Fake", "Scanner", "virtual device"};
const SANE_Device* devices[] = {&device, nullptr};
SANE_Option_Descriptor count = {"", "Number of options", "", SANE_TYPE_INT, SANE_UNIT_NONE,
                                sizeof(SANE_Word), SANE_CAP_SOFT_DETECT, SANE_CONSTRAINT_NONE,
                                {nullptr}};
int handle = 1;
long long sent = 0;

std::string Mode() {
    const char* m = std::getenv("FAKE_SANE");
    return m ? m : "";
}

} // namespace

extern "C" {

SANE_Status sane_init(SANE_Int* version, SANE_Auth_Callback) {
    if (version) *version = SANE_VERSION_CODE(1, 0, 0);
    return SANE_STATUS_GOOD;
}
void sane_exit() {}
SANE_Status sane_get_devices(const SANE_Device*** list, SANE_Bool) {
    *list = devices;
    return SANE_STATUS_GOOD;
}
SANE_Status sane_open(SANE_String_Const, SANE_Handle* h) {
    *h = &handle;
    return SANE_STATUS_GOOD;
}
void sane_close(SANE_Handle) {}
const SANE_Option_Descriptor* sane_get_option_descriptor(SANE_Handle, SANE_Int n) {
    return n == 0 ? &count : nullptr;
}
SANE_Status sane_control_option(SANE_Handle, SANE_Int n, SANE_Action a, void* v, SANE_Int* info) {
    if (info) *info = 0;
    if (n != 0 || a != SANE_ACTION_GET_VALUE) return SANE_STATUS_INVAL;
    *static_cast<SANE_Word*>(v) = 1;
    return SANE_STATUS_GOOD;
}
SANE_Status sane_get_parameters(SANE_Handle, SANE_Parameters* p) {
    const std::string m = Mode();
    *p = {SANE_FRAME_GRAY, SANE_TRUE, 4, 4, 2, 8};
    if (m == "bpl-small") p->bytes_per_line = 3;
    if (m == "depth12") p->depth = 12, p->bytes_per_line = 6;
    if (m == "format9") p->format = SANE_Frame(9);
    if (m == "lines2^31") p->lines = 0x7FFFFFFF, p->pixels_per_line = 1000, p->bytes_per_line = 1000;
    if (m == "empty") p->pixels_per_line = 0, p->lines = 0;
    if (m == "endless") p->lines = -1;
    return SANE_STATUS_GOOD;
}
SANE_Status sane_start(SANE_Handle) {
    sent = 0;
    return SANE_STATUS_GOOD;
}
#ifndef FAKE_SANE_NO_READ
SANE_Status sane_read(SANE_Handle, SANE_Byte* data, SANE_Int max, SANE_Int* len) {
    const std::string m = Mode();
    *len = 0;
    if (m == "read-too-long") {
        *len = max + 100; // and writes nothing past the buffer
        return SANE_STATUS_GOOD;
    }
    const long long total = m == "endless" ? (1LL << 40) : m == "depth12" ? 12 : 8;
    if (sent >= total) return SANE_STATUS_EOF;
    const SANE_Int n = SANE_Int(std::min<long long>(max, total - sent));
    std::memset(data, 0x80, size_t(n));
    sent += n;
    *len = n;
    return SANE_STATUS_GOOD;
}
#endif
void sane_cancel(SANE_Handle) {}
SANE_Status sane_set_io_mode(SANE_Handle, SANE_Bool) { return SANE_STATUS_UNSUPPORTED; }
SANE_Status sane_get_select_fd(SANE_Handle, SANE_Int*) { return SANE_STATUS_UNSUPPORTED; }
SANE_String_Const sane_strstatus(SANE_Status s) {
    return s == SANE_STATUS_GOOD ? "Success" : "Fake failure";
}

} // extern "C"
