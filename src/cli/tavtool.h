#pragma once
#include <cstdio>
#include <string>
#include <vector>

// Exit codes: 0 success, 1 failure (message on err), 2 usage error.
int TavToolMain(const std::vector<std::string>& args, std::FILE* out, std::FILE* err);

// `tavtool convert --to EXT ... FILE...` (tavtool_convertto.cpp).
int RunConvertTo(const std::vector<std::string>& args, std::FILE* out, std::FILE* err);
