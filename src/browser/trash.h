#pragma once
// Moving a file to the desktop's trash. Never falls back to deleting it for
// good: a file that cannot go to the trash stays where it is.

#include <QString>
#include <functional>

// Moves `path` to the trash; true on success.
bool DeleteToRecycleBin(const QString& path);

// The trash itself (QFile::moveToTrash), without the hook below.
bool MoveToTrashNow(const QString& path);

// Replaces the trash for tests (a trash that fails, or one that counts);
// an empty function restores the real one.
using TTrashHook = std::function<bool(const QString& path)>;
void SetTrashHook(TTrashHook hook);
