#include "formats/libwarning.h"

#include <cstring>
#include <string>

#include "core/messages.h"
#include "core/prompts.h"

void PGCopyMessage(char* out, std::size_t outSize, const char* text) noexcept {
    if (outSize == 0) return;
    std::size_t n = text ? std::strlen(text) : 0;
    if (n >= outSize) n = outSize - 1;
    if (n) std::memcpy(out, text, n);
    out[n] = 0;
}

bool PGLibraryWarning(const char* format, TPGWarningAction action, const char* message, char* out,
                      std::size_t outSize, std::exception_ptr& pending) noexcept {
    try {
        switch (action) {
        case pgwaIgnore:
            return true;
        case pgwaOKBox:
            PGMessageBox(message, std::string(format) + " " + PGMessage(28), TPGBoxButtons::OK);
            return true;
        case pgwaOKCancelBox:
            if (PGMessageBox(message, std::string(format) + " " + PGMessage(28),
                             TPGBoxButtons::OKCancel) == TPGBoxResult::OK)
                return true;
            PGCopyMessage(out, outSize, PGMessage(29).c_str());
            return false;
        default:
            PGCopyMessage(out, outSize, message);
            return false;
        }
    } catch (...) {
        pending = std::current_exception();
        PGCopyMessage(out, outSize, message);
        return false;
    }
}
