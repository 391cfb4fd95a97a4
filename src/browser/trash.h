#pragma once
// Moving a file to the desktop's trash. Never falls back to deleting it for
// good: a file that cannot go to the trash stays where it is.

#include <QByteArray>
#include <QString>
#include <functional>

// Moves `path` to the trash; true on success.
bool DeleteToRecycleBin(const QString& path);

// The trash itself (QFile::moveToTrash), without the hook below.
bool MoveToTrashNow(const QString& path);

// The text of a trash entry's .trashinfo file for the file that was at
// `originalPath` (absolute, file-system bytes): the path percent-encoded as the
// desktop trash format asks (every byte but unreserved
// characters and "/"), each line ended by a newline.
QByteArray TrashInfoText(const QByteArray& originalPath, const QByteArray& deletionDate);

// Replaces the trash for tests (a trash that fails, or one that counts);
// an empty function restores the real one.
using TTrashHook = std::function<bool(const QString& path)>;
void SetTrashHook(TTrashHook hook);
