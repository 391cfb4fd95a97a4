#pragma once
// The per-user settings store. Every value is a string directly under one
// key; each call opens the store afresh so a value written by one window is
// seen by the next read anywhere, and nothing is cached between calls.
//
// The file is the user's to edit and so untrusted: a value longer than
// kMaxSettingLength is bad and reads as the caller's default, and a store
// that is not a regular file (a FIFO, a device) is neither read nor written.
// Callers that find a value they cannot use (not a number) report it with
// NoteSettingReset; ShowSettingsResets then says it all in one box.

#include <QString>
#include <QStringList>

class QWidget;

inline constexpr int kMaxSettingLength = 4096;

// Returns the value stored under `name`, or `def` when there is none or it
// is bad (too long; noted as reset).
QString ReadSetting(const QString& name, const QString& def);

// Stores `value` under `name` and flushes it to disk at once.
void WriteSetting(const QString& name, const QString& value);

// Where the store lives: $XDG_CONFIG_HOME/Ambertide/TavirloTrial.conf.
QString SettingsFilePath();

// A setting that was bad and is used with its default for this run. The
// first reason noted is the one the box quotes.
void NoteSettingReset(const QString& name, const QString& reason);
// Settings noted since the last ShowSettingsResets, in the order noted.
QStringList PendingSettingResets();
// The box text for the settings noted: the first reason, then the file and
// the names of every setting reset. Empty when none.
QString SettingsResetText();
// One box with SettingsResetText (when there is something to say) through
// the prompts service; the list starts again empty.
void ShowSettingsResets(QWidget* parent);
