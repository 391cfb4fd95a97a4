#pragma once
// Path helpers every window shares.

#include <QString>

// `path` with a trailing "/" unless it already ends in one; an empty path
// becomes "/". Only the last character is looked at: a "\" inside a Linux
// file name is an ordinary character and is left alone.
QString AddBackslash(const QString& path);

// The folder part of `path`, up to and including its last "/" (empty when
// there is none).
QString ExtractFilePath(const QString& path);

// The part of `path` after its last "/".
QString ExtractFileName(const QString& path);
