#pragma once
// Warnings of the JPEG and PNG libraries, acted on by a picture's
// ReadWarningAction. Called from inside the libraries' callbacks, so it never
// throws: it answers whether to go on, and when not, leaves the text of the
// error to raise (after the format prefix) in `out`, or the exception that a
// message box handler threw in `pending`.

#include <cstddef>
#include <exception>

#include "core/types.h"

// `format` is "JPG" or "PNG" (the box caption is format + " Warning").
bool PGLibraryWarning(const char* format, TPGWarningAction action, const char* message, char* out,
                      std::size_t outSize, std::exception_ptr& pending) noexcept;

// Copies `text` into a fixed buffer, cut to fit and always terminated.
void PGCopyMessage(char* out, std::size_t outSize, const char* text) noexcept;
