#include "platform/convert.h"

namespace {

bool ParseInt(const QString& s, int& out) {
    if (s.isEmpty()) return false;
    int i = 0;
    const bool neg = s[0] == '-';
    if (neg || s[0] == '+') i = 1;
    if (i == s.size()) return false;
    long long v = 0;
    for (; i < s.size(); ++i) {
        const QChar c = s[i];
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c.unicode() - '0');
        if (v > 2147483648LL) return false;
    }
    if (neg) v = -v;
    if (v > 2147483647LL) return false;
    out = static_cast<int>(v);
    return true;
}

} // namespace

int StrToInt(const QString& s) {
    int v = 0;
    if (!ParseInt(s, v))
        throw EConvertError("'" + s.toStdString() + "' is not a valid integer value");
    return v;
}

int StrToIntDef(const QString& s, int def) {
    int v = 0;
    return ParseInt(s, v) ? v : def;
}
