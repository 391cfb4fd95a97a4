// The exerciser program. Without options it is the repeatable check of the
// test suite (a fixed seed, 300 steps); with them it runs what they say:
//   --steps N | --seconds S   how long (steps, or seconds of steps)
//   --seed N                  the generator's seed
//   --replay FILE             the steps of a journal instead of the generator
//   --failure-out FILE        where a failing run's journal goes
//   --journal FILE            where the journal goes, failing or not
//   --hang-ms N               how long the event loop may stay silent (2000)
//   --list-unreached          name the commands and windows never reached

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>

#include "exerciser.h"

// What the scanner test backend and the system's D-Bus and fontconfig
// libraries keep to the end of the process is not ours.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libsane-test.so\nleak:libdbus-1.so\nleak:libfontconfig.so\n";
}

namespace {

// The fixed check: seed and length stay put so a failure repeats.
TEST(Exerciser, ThreeHundredStepsWithAFixedSeed) {
    TExerciseOptions opt;
    opt.seed = 20261211;
    opt.steps = 300;
    opt.failureOut = "exerciser-failure-20261211.replay";
    EXPECT_EQ(RunSupervised(opt), 0);
}

} // namespace

int main(int argc, char** argv) {
    TExerciseOptions opt;
    bool own = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool hasValue = i + 1 < argc;
        if (a == "--steps" && hasValue) opt.steps = std::atoi(argv[++i]), own = true;
        else if (a == "--seconds" && hasValue) opt.seconds = std::atof(argv[++i]), own = true;
        else if (a == "--seed" && hasValue) opt.seed = std::strtoull(argv[++i], nullptr, 10), own = true;
        else if (a == "--replay" && hasValue) opt.replay = std::filesystem::absolute(argv[++i]).string(), own = true;
        else if (a == "--failure-out" && hasValue) opt.failureOut = argv[++i];
        else if (a == "--journal" && hasValue) opt.journalOut = argv[++i];
        else if (a == "--hang-ms" && hasValue) opt.hangMs = std::atoi(argv[++i]);
        else if (a == "--list-unreached") opt.listUnreached = true;
    }
    if (own) {
        if (opt.steps == 0 && opt.seconds == 0 && opt.replay.empty()) opt.steps = 300;
        return RunSupervised(opt);
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
