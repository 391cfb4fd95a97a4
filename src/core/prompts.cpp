#include "core/prompts.h"

TPGMessageBoxHandler PGMessageBoxHandler;

TPGBoxResult PGMessageBox(const std::string& text, const std::string& caption, TPGBoxButtons buttons) {
    if (PGMessageBoxHandler) return PGMessageBoxHandler(text, caption, buttons);
    return TPGBoxResult::OK;
}
