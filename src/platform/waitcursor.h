#pragma once
// The wait cursor while the program works in the foreground: shown for the
// lifetime of a TWaitCursor and taken back when it ends, however the scope is
// left (a return, an exception). Guards nest the way Qt's override cursors
// stack. Without a running application (library code under tests) it does
// nothing.

#include <QCursor>
#include <QGuiApplication>

class TWaitCursor {
  public:
    // `on` false makes a guard that shows nothing (a cursor wanted only
    // sometimes).
    explicit TWaitCursor(bool on = true) : on_(on && qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        if (on_) QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    }
    ~TWaitCursor() { Restore(); }
    TWaitCursor(const TWaitCursor&) = delete;
    TWaitCursor& operator=(const TWaitCursor&) = delete;

    // The normal cursor back before the scope ends (say before a message
    // box); the guard then does nothing more.
    void Restore() {
        if (on_) QGuiApplication::restoreOverrideCursor();
        on_ = false;
    }

  private:
    bool on_;
};
