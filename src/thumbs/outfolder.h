#pragma once
// The folder a run of the tool windows writes into, checked once before the
// run starts: a folder that cannot take the files is one message, never one
// failure per file.

#include <QString>

// Empty when `folder` is a folder this process can create files in; else
// what failed, in plain words: "Cannot create folder /a/b: Permission
// denied", "Cannot write in folder /a: Read-only file system", "/a/b is not a
// folder". With `create` a missing folder is made first, with its missing
// parents.
QString OutputFolderProblem(const QString& folder, bool create);

// True when nothing exists at `folder` (not even a dangling link), also
// when a part of its path is a file.
bool OutputFolderMissing(const QString& folder);
