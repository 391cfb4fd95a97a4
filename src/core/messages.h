#pragma once
// The image library's numbered message table (English texts only; the
// program never selects another language).

#include <string>

constexpr int kMessageCount = 85;

struct TPGMessageEntry {
    int Number;
    const char* English;
};

// The table itself, exposed so the start-up order check can be tested.
extern const TPGMessageEntry MessageTable[kMessageCount];

// Raises EPixelGraphic when an entry's number differs from its position.
void CheckMessageTable(const TPGMessageEntry* table, int count);

// Text of entry `no` with the first "%S1", "%S2", "%S3" replaced by the
// caller's strings. An unknown number gives an empty text.
std::string PGMessage(int no, const std::string& s1 = {}, const std::string& s2 = {},
                      const std::string& s3 = {});
