#pragma once
// The tool windows of the program: created once at start, hidden, in a fixed
// order, and alive until the program ends. Each tool library registers a
// factory for its class name; a name without one gets a plain hidden window
// with the tool's caption, and the commands that show it stay disabled.

#include <QString>
#include <QWidget>
#include <functional>
#include <map>
#include <vector>

struct TToolWindowInfo {
    const char* className;
    const char* caption;
};

// Every tool window in creation order.
const std::vector<TToolWindowInfo>& ToolWindowOrder();

using TToolWindowFactory = std::function<QWidget*()>;

class TToolWindows {
  public:
    TToolWindows() = default;
    ~TToolWindows(); // destroys the windows in creation order; they save then
    TToolWindows(const TToolWindows&) = delete;
    TToolWindows& operator=(const TToolWindows&) = delete;

    // Registers the real window for `className`; call before CreateAll.
    static void RegisterFactory(const QString& className, TToolWindowFactory f);
    static bool HasFactory(const QString& className);

    // Creates every window of ToolWindowOrder, hidden.
    void CreateAll();
    QWidget* Find(const QString& className) const;
    // True when `className` is a finished window (not a stand-in).
    bool IsReal(const QString& className) const;
    // Created windows in creation order.
    const std::vector<QWidget*>& Windows() const { return windows_; }

  private:
    std::vector<QWidget*> windows_;
    std::map<QString, QWidget*> byName_;
};

// The registry of the running program (set by the start-up code), or null.
TToolWindows* ToolWindows();
void SetToolWindows(TToolWindows* t);
