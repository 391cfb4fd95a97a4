#pragma once
// The image library's message boxes. The library itself shows nothing: the
// program installs a handler that goes through its prompts service, and tests
// answer it directly. Without a handler every box answers OK.

#include <functional>
#include <string>

enum class TPGBoxButtons { OK, OKCancel };
enum class TPGBoxResult { OK, Cancel };

// Shows `text` in a warning box captioned `caption` ("Warning").
using TPGMessageBoxHandler =
    std::function<TPGBoxResult(const std::string& text, const std::string& caption, TPGBoxButtons)>;

extern TPGMessageBoxHandler PGMessageBoxHandler;

TPGBoxResult PGMessageBox(const std::string& text, const std::string& caption, TPGBoxButtons buttons);
