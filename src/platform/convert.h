#pragma once
// Strict text-to-number conversion for stored settings, with the framework
// errors the windows catch and show.

#include <QString>

#include "core/exceptions.h"

// A text that is not a decimal number.
class EConvertError : public Exception {
  public:
    explicit EConvertError(const std::string& msg) : Exception(msg) {}
};

// A file-system call that failed (changing folder, listing).
class EInOutError : public Exception {
  public:
    explicit EInOutError(const std::string& msg) : Exception(msg) {}
};

// Decimal integer with an optional sign, no blanks, within 32 bits; anything
// else raises EConvertError "'<s>' is not a valid integer value".
int StrToInt(const QString& s);

// StrToInt, or `def` for anything that is not a valid integer.
int StrToIntDef(const QString& s, int def);
