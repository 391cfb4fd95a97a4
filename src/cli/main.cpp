// tavtool: the image library from the command line, for scripts and batch work.

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli/tavtool.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    return TavToolMain(args, stdout, stderr);
}
