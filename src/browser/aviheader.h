#pragma once
// The frame size of an AVI clip, read from its main header ("avih" in the
// "hdrl" list of the RIFF "AVI " form) without a player.

#include <QSize>
#include <QString>
#include <cstdint>
#include <optional>
#include <span>

// The frame size stored in `data` (the start of a clip file), or nothing
// when the data is not an AVI form with a complete main header. Every chunk
// is checked against the data that exists.
std::optional<QSize> AviFrameSize(std::span<const uint8_t> data);

// Reads the start of `path` (at most the first 1 MiB) and parses it; only a
// regular file is read. The bytes form names the file as the file system does.
std::optional<QSize> ReadAviFrameSize(const QString& path);
std::optional<QSize> ReadAviFrameSize(const QByteArray& nativePath);
