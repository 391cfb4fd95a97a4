#pragma once
// The exerciser: the whole program in one process, driven by a seeded
// generator through every command of every window, keys, clicks, drags,
// typed text and answers to every prompt, with the program's invariants
// checked after each step. A run is written step by step to a journal that
// `--replay` runs again.

#include <cstdint>
#include <string>

struct TExerciseOptions {
    uint64_t seed = 1;
    int steps = 0;        // run this many steps (when no time is given)
    double seconds = 0;   // or run for this long
    std::string replay;   // or run the steps of this journal
    std::string failureOut; // where a failing run's journal is copied
    std::string journalOut; // where every run's journal is copied
    int hangMs = 2000;    // the event loop must answer within this
    bool listUnreached = false;
};

// Runs one session in a child process inside a scratch folder (removed
// afterwards) and returns 0 when every invariant held. On a failure the seed
// and the last steps are printed and the journal is copied to failureOut.
int RunSupervised(const TExerciseOptions& opt);

// --- inside the child ---

// Makes `root` the only writable place of the file system for this process
// (a private user and mount namespace); false when the system allows none.
bool ConfineWrites(const std::string& root);

// The pictures of the test folder: every format the library writes and the
// ones built byte by byte, a few damaged files and odd names.
void MakeTestPictures(const std::string& folder, bool full);

// Runs the session: the program is set up in this process.
int RunExercise(const TExerciseOptions& opt, const std::string& root);

// Removes `path` and everything under it by the file system's bytes.
void RemoveTree(const std::string& path);
