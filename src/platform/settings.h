#pragma once
// The per-user settings store. Every value is a string directly under one
// key; each call opens the store afresh so a value written by one window is
// seen by the next read anywhere, and nothing is cached between calls.

#include <QString>

// Returns the value stored under `name`, or `def` when there is none.
QString ReadSetting(const QString& name, const QString& def);

// Stores `value` under `name` and flushes it to disk at once.
void WriteSetting(const QString& name, const QString& value);

// Where the store lives: $XDG_CONFIG_HOME/Ambertide/TavirloTrial.conf.
QString SettingsFilePath();
