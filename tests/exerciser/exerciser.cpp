// The session itself: the program set up as its start-up does, a prompts
// service that answers from the generator (or from a journal), the steps,
// the invariants after each step, the watchdog and the report.

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSettings>
#include <QTest>
#include <QTextEdit>
#include <QTimer>
#include <QToolBar>
#include <QUrl>
#include <QWheelEvent>

#include <dlfcn.h>
#include <fcntl.h>
#include <ftw.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <deque>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <mutex>
#include <random>
#include <set>
#include <thread>

#include "album/qt/register.h"
#include "browser/fileopsdialogs.h"
#include "browser/foldertree.h"
#include "browser/form1.h"
#include "browser/help.h"
#include "browser/macros.h"
#include "browser/macroserver.h"
#include "browser/mainform.h"
#include "browser/prefs.h"
#include "browser/toolwindows.h"
#include "browser/wallpaper.h"
#include "core/pixelgraphic.h"
#include "core/prompts.h"
#include "editor/qt/register.h"
#include "exerciser.h"
#include "formats/library.h"
#include "formats/qt/metafile_qt.h"
#include "meta/qt/register.h"
#include "platform/prompts.h"
#include "platform/settings.h"
#include "thumbs/qt/register.h"
#include "tools/qt/register.h"

extern "C" void __sanitizer_print_stack_trace() __attribute__((weak));

namespace {

using Clock = std::chrono::steady_clock;

int64_t NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch())
        .count();
}

// ---- Journal lines: tab-separated fields, each escaped so it is one line.

QString Escape(const QString& s) {
    QString r;
    for (QChar c : s) {
        if (c == '\\') r += "\\\\";
        else if (c == '\t') r += "\\t";
        else if (c == '\n') r += "\\n";
        else if (c == '\r') r += "\\r";
        else if (c.unicode() < 0x20 || c.isSurrogate())
            r += QString("\\u%1").arg(c.unicode(), 4, 16, QChar('0'));
        else r += c;
    }
    return r;
}

QString Unescape(const QString& s) {
    QString r;
    for (qsizetype i = 0; i < s.size(); ++i) {
        if (s[i] != '\\' || i + 1 >= s.size()) {
            r += s[i];
            continue;
        }
        const QChar n = s[++i];
        if (n == 't') r += '\t';
        else if (n == 'n') r += '\n';
        else if (n == 'r') r += '\r';
        else if (n == 'u' && i + 4 < s.size()) {
            r += QChar(char16_t(s.mid(i + 1, 4).toUShort(nullptr, 16)));
            i += 4;
        } else r += n;
    }
    return r;
}

class TJournal {
  public:
    bool Open(const std::string& path) {
        f_ = std::fopen(path.c_str(), "w");
        return f_ != nullptr;
    }
    void Line(const QStringList& fields) {
        QStringList e;
        for (const QString& f : fields)
            e << Escape(f);
        Raw(e.join('\t').toUtf8());
    }
    void Comment(const QString& text) { Raw("# " + text.toUtf8()); }
    // Written and flushed at once: a crash right after still leaves it.
    void Raw(const QByteArray& line) {
        std::unique_lock lock(m_, std::try_to_lock);
        if (!f_) return;
        std::fwrite(line.constData(), 1, size_t(line.size()), f_);
        std::fputc('\n', f_);
        std::fflush(f_);
    }

  private:
    std::FILE* f_ = nullptr;
    std::mutex m_;
};

// ---- The watchdog: the event loop answers within the limit.

std::atomic<int64_t> g_beatNs{0};
std::atomic<int64_t> g_beatCpuNs{0};
std::atomic<int> g_stepNo{0};
std::atomic<bool> g_watchStop{false};
pthread_t g_mainThread;

int64_t MainCpuNs() {
    clockid_t id;
    timespec ts{};
    if (pthread_getcpuclockid(g_mainThread, &id) != 0 || clock_gettime(id, &ts) != 0) return 0;
    return int64_t(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

void Beat() {
    g_beatNs = NowNs();
    g_beatCpuNs = MainCpuNs();
}

void PrintMainStack(int) {
    static const char msg[] = "exerciser: where the main thread is:\n";
    (void)!::write(2, msg, sizeof msg - 1);
    if (__sanitizer_print_stack_trace) __sanitizer_print_stack_trace();
    ::_exit(70);
}

// A silence counts when the main thread itself worked through the whole
// limit without answering (a loop or long work), or when it lasts ten times
// the limit whatever the load (a wait that does not end). A shared, loaded
// machine that gives the thread little time trips neither.
void Watch(int limitMs, TJournal* journal) {
    while (!g_watchStop) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        const int64_t silent = NowNs() - g_beatNs;
        const int64_t busy = MainCpuNs() - g_beatCpuNs;
        const int64_t limit = int64_t(limitMs) * 1000000;
        if (silent <= limit || (busy < limit && silent <= 10 * limit)) continue;
        char text[200];
        std::snprintf(text, sizeof text,
                      "hang: the event loop has not answered for %.1f s (main thread busy %.1f s) "
                      "at step %d",
                      double(silent) / 1e9, double(busy) / 1e9, g_stepNo.load());
        std::fprintf(stderr, "exerciser: %s\n", text);
        journal->Comment(text);
        ::signal(SIGUSR2, PrintMainStack);
        pthread_kill(g_mainThread, SIGUSR2);
        std::this_thread::sleep_for(std::chrono::seconds(3));
        ::_exit(70);
    }
}

// ---- What the generator draws from.

const QStringList& Texts() {
    static const QStringList t = {
        "0", "1", "-1", "7", "42", "255", "65535", "2147483648", "-2147483649",
        "999999999999999999999999", "1e308", "-1e-308", "0.5", "1,5", "nan", "NaN", "inf",
        "-inf", "", " ", "abc", "<b>bold</b>&amp;<script>x</script>", "%s%n%d", "ü写真",
        QString(300, '9'), QString(2000, 'x'), "..", "/", "\\", "a:b*?c|d", "-", "0x10", "1e3"};
    return t;
}

struct TKey {
    int key;
    int mods;
};
const std::vector<TKey>& Keys() {
    static const std::vector<TKey> k = {
        {Qt::Key_Escape, 0}, {Qt::Key_Return, 0}, {Qt::Key_Enter, 0}, {Qt::Key_Delete, 0},
        {Qt::Key_Backspace, 0}, {Qt::Key_F2, 0}, {Qt::Key_F5, 0}, {Qt::Key_F8, 0},
        {Qt::Key_F1, 0}, {Qt::Key_Up, 0}, {Qt::Key_Down, 0}, {Qt::Key_Left, 0},
        {Qt::Key_Right, 0}, {Qt::Key_PageUp, 0}, {Qt::Key_PageDown, 0}, {Qt::Key_Home, 0},
        {Qt::Key_End, 0}, {Qt::Key_Space, 0}, {Qt::Key_Tab, 0}, {Qt::Key_Plus, 0},
        {Qt::Key_Minus, 0}, {Qt::Key_Insert, 0}, {Qt::Key_A, 0}, {Qt::Key_Z, Qt::ControlModifier},
        {Qt::Key_Y, Qt::ControlModifier}, {Qt::Key_C, Qt::ControlModifier},
        {Qt::Key_V, Qt::ControlModifier}, {Qt::Key_X, Qt::ControlModifier},
        {Qt::Key_A, Qt::ControlModifier}, {Qt::Key_S, Qt::ControlModifier},
        {Qt::Key_O, Qt::ControlModifier}, {Qt::Key_Down, Qt::ShiftModifier},
        {Qt::Key_End, Qt::ShiftModifier}, {Qt::Key_Home, Qt::ControlModifier},
        {Qt::Key_Delete, Qt::ShiftModifier}, {Qt::Key_F, Qt::AltModifier},
        {Qt::Key_E, Qt::AltModifier}};
    return k;
}

const QStringList& SaveNames() {
    static const QStringList n = {"out.jpg", "out.png", "out.bmp", "out.tif", "out.tga",
                                  "out.gif", "out.ppm", "out.pgm", "out.pbm", "out.pcx",
                                  "<i>saved<i> &lt; more.jpg", "ünï 写真.png", "no extension",
                                  "odd.unknown", "sub dir/deeper.jpg", ".png"};
    return n;
}

bool IsPictureName(const QByteArray& name) {
    static const QList<QByteArray> ext = {"bmp", "dib", "rle", "jpg", "jpeg", "jpe", "jfif",
                                          "png", "pcx", "tga", "tif", "tiff", "pbm", "pgm",
                                          "ppm", "pnm", "gif", "ico", "wmf", "emf"};
    const qsizetype dot = name.lastIndexOf('.');
    const qsizetype slash = name.lastIndexOf('/');
    if (dot < 0 || dot < slash) return false;
    return ext.contains(name.mid(dot + 1).toLower());
}

// ---- Windows and their commands.

QString WindowKey(QWidget* w) {
    if (!w->objectName().isEmpty()) return w->objectName();
    QString k = w->metaObject()->className();
    if (auto* m = qobject_cast<QMenu*>(w); m && !m->title().isEmpty()) k += ":" + m->title();
    return k;
}

bool Exercisable(QWidget* w) {
    if (!w->isVisible() || !w->isWindow()) return false;
    const Qt::WindowType t = w->windowType();
    return t != Qt::ToolTip && t != Qt::SplashScreen && t != Qt::Desktop;
}

// Visible windows in a stable order, each with its name ("#n" when several
// share one).
std::vector<std::pair<QString, QWidget*>> VisibleWindows() {
    std::vector<std::pair<QString, QWidget*>> v;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (Exercisable(w)) v.emplace_back(WindowKey(w), w);
    std::stable_sort(v.begin(), v.end(), [](const auto& a, const auto& b) {
        if (a.first != b.first) return a.first < b.first;
        const QRect ga = a.second->geometry(), gb = b.second->geometry();
        return std::make_tuple(a.second->windowTitle(), ga.x(), ga.y(), ga.width()) <
               std::make_tuple(b.second->windowTitle(), gb.x(), gb.y(), gb.width());
    });
    std::map<QString, int> seen;
    for (auto& [name, w] : v) {
        const int n = ++seen[name];
        if (n > 1) name += "#" + QString::number(n);
    }
    return v;
}

QString CleanText(QString t) {
    const qsizetype tab = t.indexOf('\t');
    if (tab >= 0) t.truncate(tab);
    t.remove('&');
    return t.trimmed();
}

QString MenuPath(QMenu* m, int depth = 0) {
    QString title = CleanText(m->title());
    const QList<QObject*> holders = m->menuAction()->associatedObjects();
    // A menu of the menu bar also sits in the bar's overflow menu: the bar names it.
    for (QObject* o : holders)
        if (qobject_cast<QMenuBar*>(o)) return title;
    if (depth < 6)
        for (QObject* o : holders)
            if (auto* parent = qobject_cast<QMenu*>(o); parent && parent != m)
                return MenuPath(parent, depth + 1) + "/" + title;
    return title.isEmpty() ? QString("(menu)") : title;
}

QString ActionName(QAction* a) {
    QString name = CleanText(a->text());
    if (name.isEmpty()) name = a->objectName();
    if (name.isEmpty()) name = CleanText(a->toolTip());
    if (name.isEmpty()) name = "(unnamed)";
    for (QObject* o : a->associatedObjects()) {
        if (auto* m = qobject_cast<QMenu*>(o)) return MenuPath(m) + "/" + name;
        if (qobject_cast<QToolBar*>(o)) return "toolbar/" + name;
    }
    return name;
}

struct TCommand {
    QString path;
    QAction* action;
};

std::vector<TCommand> CommandsOf(QWidget* window) {
    QList<QAction*> all = window->findChildren<QAction*>();
    for (QAction* a : window->actions())
        if (!all.contains(a)) all << a;
    std::vector<TCommand> r;
    std::map<QString, int> seen;
    for (QAction* a : all) {
        if (a->isSeparator() || a->menu()) continue;
        // Qt's own helpers inside line edits and the like.
        if (a->objectName().startsWith("_q_") || a->objectName().startsWith("qt_")) continue;
        QString path = ActionName(a);
        if (const int n = ++seen[path]; n > 1) path += "#" + QString::number(n);
        r.push_back({path, a});
    }
    return r;
}

// Commands the exerciser never gives: ending the program.
bool Skipped(const QString& window, const QString& path) {
    return window == "Form1" && (path.endsWith("/Quit") || path.endsWith("/Exit"));
}

// ---- Widgets of a window that take input.

struct TFields {
    QList<QWidget*> edits; // line edits, spin boxes, text edits, editable combos
    QList<QAbstractButton*> checks;
    QList<QComboBox*> combos;
    QList<QAbstractSlider*> sliders;
    QList<QAbstractButton*> buttons;
};

bool Usable(QWidget* w, QWidget* window) {
    return w->isVisibleTo(window) && w->isEnabled();
}

TFields FieldsOf(QWidget* window) {
    TFields f;
    for (QWidget* w : window->findChildren<QWidget*>()) {
        if (!Usable(w, window)) continue;
        if (auto* le = qobject_cast<QLineEdit*>(w)) {
            // The editor inside a spin box or combo box counts as that box.
            if (qobject_cast<QAbstractSpinBox*>(le->parentWidget()) ||
                qobject_cast<QComboBox*>(le->parentWidget()))
                continue;
            if (!le->isReadOnly()) f.edits << w;
        } else if (auto* sb = qobject_cast<QAbstractSpinBox*>(w)) {
            if (!sb->isReadOnly()) f.edits << w;
        } else if (qobject_cast<QTextEdit*>(w) || qobject_cast<QPlainTextEdit*>(w)) {
            f.edits << w;
        } else if (auto* cb = qobject_cast<QComboBox*>(w)) {
            f.combos << cb;
            if (cb->isEditable()) f.edits << w;
        } else if (auto* s = qobject_cast<QAbstractSlider*>(w)) {
            f.sliders << s;
        } else if (auto* b = qobject_cast<QAbstractButton*>(w)) {
            if (b->isCheckable())
                f.checks << b;
            else if (qobject_cast<QPushButton*>(b))
                f.buttons << b;
        }
    }
    return f;
}

QWidget* EditTarget(QWidget* w) {
    if (auto* cb = qobject_cast<QComboBox*>(w); cb && cb->lineEdit()) return cb->lineEdit();
    return w;
}

void SendKey(QWidget* target, int key, Qt::KeyboardModifiers mods, const QString& text = {}) {
    QPointer<QWidget> t(target);
    if (!t) return;
    QTest::keyPress(t, Qt::Key(key), mods);
    if (t) QTest::keyRelease(t, Qt::Key(key), mods);
    (void)text;
}

void TypeText(QWidget* target, const QString& text) {
    QPointer<QWidget> t(target);
    for (QChar c : text) {
        if (!t) return;
        const int key = c.unicode() < 0x80 ? QChar(c).toUpper().unicode() : int(Qt::Key_unknown);
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString(c));
        QApplication::sendEvent(t, &press);
        if (!t) return;
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, QString(c));
        QApplication::sendEvent(t, &release);
        // Each key is an event of its own: the loop answers between them.
        Beat();
    }
}

// The patterns of a dialog filter ("Albums (*.alb);;All (*)"); empty when
// it shows every file.
QStringList FilterPatterns(const QString& filter) {
    QStringList patterns;
    static const QRegularExpression group("\\(([^)]*)\\)");
    for (auto it = group.globalMatch(filter); it.hasNext();)
        for (const QString& p : it.next().captured(1).split(' ', Qt::SkipEmptyParts)) {
            if (p == "*" || p == "*.*") return {};
            patterns << p;
        }
    return patterns;
}

// ---- The session.

class TExercisePrompts;

class TSession {
  public:
    TSession(const TExerciseOptions& opt, const std::string& root)
        : opt_(opt), root_(QFile::decodeName(root.c_str())), rng_(opt.seed) {
        test_ = root_ + "/test";
        pictures_ = test_ + "/pictures";
        outside_ = root_ + "/outside";
    }

    int Run();

    // Prompt answers: drawn by `draw` (recorded), or taken from the journal
    // being replayed when it has one of this kind for the current step.
    QStringList Answer(const QString& kind, const std::function<QStringList()>& draw,
                       const QStringList& fallback);
    std::mt19937_64& Rng() { return rng_; }
    int Pick(int n) { return n <= 0 ? 0 : int(rng_() % uint64_t(n)); }
    bool Chance(int percent) { return Pick(100) < percent; }
    QString Test() const { return test_; }
    QString Pictures() const { return pictures_; }
    QStringList ExistingFiles() const;
    QStringList ExistingFolders() const;
    QString DrawText() { return Texts()[Pick(int(Texts().size()))]; }
    int ExecDialog(QDialog* d);
    void Visited(const QString& window) {
        windowsVisited_.insert(window);
        windowsKnown_.insert(window);
    }
    TJournal& Journal() { return journal_; }

  private:
    struct TStep {
        QStringList fields; // kind first
        std::deque<QStringList> answers;
    };

    bool Setup();
    TStep Draw();
    void Perform(const TStep& s);
    void Settle(int ms);
    bool Check(QString* why);
    void Guard();
    void NoteCommands();
    void Report(double seconds, int steps);
    bool LoadReplay();
    QWidget* FindWindow(const QString& name) const;
    QWidget* PickWindow();
    QPoint PointIn(QWidget* w, double fx, double fy) const;

    // Files: path -> (size, mtime, inode) seen last, and contents known good.
    struct TStat {
        qint64 size, mtime, ino;
        bool operator==(const TStat&) const = default;
    };
    std::map<QByteArray, TStat> Scan(const QString& folder) const;
    bool CheckPicture(const QByteArray& path, QString* why);

    TExerciseOptions opt_;
    QString root_, test_, pictures_, outside_;
    std::mt19937_64 rng_;
    TJournal journal_;
    TForm1* form_ = nullptr;
    std::deque<TStep> replay_;
    TStep current_; // the step running (its answers serve the prompts until the next)
    bool replaying_ = false;
    std::deque<QStringList>* answers_ = nullptr; // the replayed step's answers
    bool diverged_ = false;
    int stepNo_ = 0;

    std::map<QByteArray, TStat> testFiles_, outsideFiles_;
    std::set<size_t> knownContents_;
    std::map<QString, int> triggered_; // "window\tpath" -> times
    std::set<QString> knownCommands_;
    std::set<QString> windowsVisited_, windowsKnown_;
    bool inPerform_ = false;
    QPointer<QWidget> performWindow_;
    int64_t performStart_ = 0;
};

QStringList TSession::Answer(const QString& kind, const std::function<QStringList()>& draw,
                             const QStringList& fallback) {
    QStringList a;
    if (replaying_) {
        if (answers_ && !answers_->empty() && answers_->front().value(0) == kind) {
            a = answers_->front().mid(1);
            answers_->pop_front();
        } else {
            if (!diverged_)
                std::cerr << "exerciser: replay differs at step " << stepNo_ << ": a " << kind.toStdString()
                          << " prompt that the journal does not answer\n";
            diverged_ = true;
            a = fallback;
        }
    } else {
        a = draw();
    }
    journal_.Line(QStringList{"answer", kind} + a);
    return a;
}

QStringList TSession::ExistingFiles() const {
    QStringList r;
    for (const QString& folder : {pictures_, pictures_ + "/sub dir"})
        for (const QString& n : QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name))
            if (!n.contains(QChar(0xFFFD))) r << QDir(test_).relativeFilePath(folder + "/" + n);
    return r;
}

QStringList TSession::ExistingFolders() const {
    QStringList r = {"pictures"};
    for (const QString& n : QDir(pictures_).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name))
        r << "pictures/" + n;
    return r;
}

// ---- The prompts service of the session.

class TExercisePrompts : public TPrompts {
  public:
    explicit TExercisePrompts(TSession* s) : s_(s) {}

    QMessageBox::StandardButton MessageBox(QWidget*, const QString&, const QString&,
                                           QMessageBox::StandardButtons buttons,
                                           QMessageBox::Icon) override {
        std::vector<int> present;
        for (unsigned bit = 1; bit; bit <<= 1)
            if (buttons & bit) present.push_back(int(bit));
        const int fallback = (buttons & QMessageBox::Cancel) ? int(QMessageBox::Cancel)
                             : present.empty()               ? int(QMessageBox::NoButton)
                                                             : present.front();
        const QStringList a = s_->Answer(
            "message",
            [&] {
                return QStringList{QString::number(
                    present.empty() ? 0 : present[size_t(s_->Pick(int(present.size())))])};
            },
            {QString::number(fallback)});
        const int b = a.value(0).toInt();
        return (buttons & b) ? QMessageBox::StandardButton(b) : QMessageBox::StandardButton(fallback);
    }

    std::optional<QColor> ChooseColor(QWidget*, const QColor&, bool) override {
        const QStringList a = s_->Answer(
            "color",
            [&] {
                if (s_->Chance(25)) return QStringList{"cancel"};
                return QStringList{QColor(s_->Pick(256), s_->Pick(256), s_->Pick(256)).name()};
            },
            {"cancel"});
        if (a.value(0) == "cancel") return std::nullopt;
        return QColor(a.value(0));
    }

    std::optional<QFont> ChooseFont(QWidget*, const QFont& initial) override {
        static const int sizes[] = {1, 6, 12, 36, 200};
        const QStringList a = s_->Answer(
            "font",
            [&] {
                if (s_->Chance(30)) return QStringList{"cancel"};
                return QStringList{QString::number(sizes[s_->Pick(5)]), s_->Chance(50) ? "bold" : ""};
            },
            {"cancel"});
        if (a.value(0) == "cancel") return std::nullopt;
        QFont f = initial;
        f.setPointSize(std::max(1, a.value(0).toInt()));
        f.setBold(a.value(1) == "bold");
        return f;
    }

    // Names the user picks: existing files, or for a save new names too. A
    // save picks among the names its filter shows, as a user in the real
    // dialog would (and confirms replacing an existing one).
    QStringList Files(const QString& kind, int most, const QString& filter = {}) {
        const QStringList a = s_->Answer(
            kind,
            [&] {
                QStringList r;
                if (s_->Chance(20)) return r;
                if (kind == "dir") {
                    const QStringList d = s_->ExistingFolders();
                    return QStringList{d[s_->Pick(int(d.size()))]};
                }
                QStringList existing = s_->ExistingFiles();
                if (kind == "save") {
                    const QStringList patterns = FilterPatterns(filter);
                    const auto shown = [&](const QString& rel) {
                        return patterns.isEmpty() || QDir::match(patterns, QFileInfo(rel).fileName());
                    };
                    QStringList names;
                    for (const QString& n : SaveNames())
                        if (shown(n)) names << "pictures/" + n;
                    if (names.isEmpty())
                        names << "pictures/named by the exerciser" + patterns.front().mid(1);
                    existing.removeIf([&](const QString& rel) { return !shown(rel); });
                    if (existing.isEmpty() || s_->Chance(60))
                        return QStringList{names[s_->Pick(int(names.size()))]};
                }
                const int n = 1 + s_->Pick(most);
                for (int i = 0; i < n && !existing.isEmpty(); ++i)
                    r << existing[s_->Pick(int(existing.size()))];
                return r;
            },
            {});
        QStringList r;
        for (const QString& rel : a)
            if (!rel.isEmpty()) r << s_->Test() + "/" + rel;
        return r;
    }

    QString OpenFileName(QWidget*, const TFileDialogRequest& r, QString* sel) override {
        if (sel) *sel = r.selectedFilter;
        return Files("open", 1).value(0);
    }
    QStringList OpenFileNames(QWidget*, const TFileDialogRequest&) override {
        return Files("opens", 4);
    }
    QString SaveFileName(QWidget*, const TFileDialogRequest& r, QString* sel) override {
        if (sel) *sel = r.selectedFilter;
        return Files("save", 1, r.filter).value(0);
    }
    QString ExistingDirectory(QWidget*, const QString&, const QString&) override {
        return Files("dir", 1).value(0);
    }

    // A confirmed printer prints into a PDF file inside the test folder:
    // never to a real printer.
    bool Printer(const QString& kind, QPrinter* printer) {
        const QStringList a = s_->Answer(
            kind, [&] { return QStringList{s_->Chance(50) ? "ok" : "cancel"}; }, {"cancel"});
        if (a.value(0) != "ok") return false;
        ToPdf(printer);
        return true;
    }
    void ToPdf(QPrinter* printer) {
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(s_->Test() + "/tmp/printed.pdf");
    }
    bool PrintDialog(QWidget*, QPrinter* p) override { return Printer("print", p); }
    bool PageSetupDialog(QWidget*, QPrinter* p) override { return Printer("pagesetup", p); }
    void PrintPreview(QWidget*, QPrinter* printer,
                      const std::function<void(QPrinter*)>& paint) override {
        s_->Answer("preview", [] { return QStringList{"paint"}; }, {"paint"});
        ToPdf(printer);
        if (paint) paint(printer);
    }

    int ChooseItem(QWidget*, const QString&, const QStringList& items, int) override {
        const QStringList a = s_->Answer(
            "list",
            [&] {
                return QStringList{QString::number(s_->Chance(25) ? -1 : s_->Pick(int(items.size())))};
            },
            {"-1"});
        const int i = a.value(0).toInt();
        return i >= 0 && i < items.size() ? i : -1;
    }

    int ExecDialog(QDialog* d) override { return s_->ExecDialog(d); }

  private:
    TSession* s_;
};

// The program's own modal dialogs: shown, filled in by a few random edits,
// then confirmed through their OK button or cancelled.
int TSession::ExecDialog(QDialog* dialog) {
    QPointer<QDialog> d(dialog);
    Visited(WindowKey(dialog));
    d->setResult(QDialog::Rejected);
    d->show();
    QApplication::processEvents();
    if (!d) return QDialog::Rejected;
    const QStringList ops = Answer(
        "dialog",
        [&] {
            QStringList r{WindowKey(d)};
            const TFields f = FieldsOf(d);
            const int n = Pick(5);
            for (int i = 0; i < n; ++i) {
                switch (Pick(6)) {
                case 0:
                case 1:
                    if (!f.edits.isEmpty())
                        r << "edit:" + QString::number(Pick(int(f.edits.size()))) + ":" + DrawText();
                    break;
                case 2:
                    if (!f.checks.isEmpty()) r << "check:" + QString::number(Pick(int(f.checks.size())));
                    break;
                case 3:
                    if (!f.combos.isEmpty()) {
                        const int c = Pick(int(f.combos.size()));
                        r << "combo:" + QString::number(c) + ":" +
                                 QString::number(Pick(std::max(1, f.combos[c]->count())));
                    }
                    break;
                case 4:
                    if (!f.sliders.isEmpty()) {
                        const int s = Pick(int(f.sliders.size()));
                        QAbstractSlider* sl = f.sliders[s];
                        const int v = Chance(30) ? (Chance(50) ? sl->minimum() : sl->maximum())
                                                 : sl->minimum() + Pick(sl->maximum() - sl->minimum() + 1);
                        r << "slider:" + QString::number(s) + ":" + QString::number(v);
                    }
                    break;
                case 5:
                    if (!f.buttons.isEmpty()) r << "button:" + QString::number(Pick(int(f.buttons.size())));
                    break;
                }
            }
            r << (Chance(60) ? "ok" : "cancel");
            return r;
        },
        {WindowKey(d), "cancel"});
    for (const QString& op : ops.mid(1)) {
        if (!d || !d->isVisible()) break;
        const QStringList p = op.split(':');
        const TFields f = FieldsOf(d);
        const int i = p.value(1).toInt();
        if (p[0] == "edit" && i < f.edits.size()) {
            QWidget* e = EditTarget(f.edits[i]);
            e->setFocus();
            SendKey(e, Qt::Key_A, Qt::ControlModifier);
            SendKey(e, Qt::Key_Delete, Qt::NoModifier);
            TypeText(e, op.section(':', 2));
        } else if (p[0] == "check" && i < f.checks.size()) {
            f.checks[i]->click();
        } else if (p[0] == "combo" && i < f.combos.size()) {
            f.combos[i]->setCurrentIndex(p.value(2).toInt());
        } else if (p[0] == "slider" && i < f.sliders.size()) {
            f.sliders[i]->setValue(p.value(2).toInt());
        } else if (p[0] == "button" && i < f.buttons.size()) {
            f.buttons[i]->click();
        } else if (p[0] == "ok") {
            QAbstractButton* ok = nullptr;
            for (QDialogButtonBox* box : d->findChildren<QDialogButtonBox*>())
                for (QAbstractButton* b : box->buttons())
                    if (!ok && box->buttonRole(b) == QDialogButtonBox::AcceptRole && b->isEnabled()) ok = b;
            if (!ok)
                for (QPushButton* b : d->findChildren<QPushButton*>())
                    if (!ok && b->isDefault() && b->isEnabled()) ok = b;
            if (ok)
                ok->click();
            else
                d->accept();
            // A dialog that refuses what it was given stays open: cancel it.
            if (d && d->isVisible()) d->reject();
        } else if (p[0] == "cancel") {
            d->reject();
        }
        QApplication::processEvents();
    }
    if (!d) return QDialog::Rejected;
    if (d->isVisible()) d->reject();
    d->hide();
    return d->result();
}

QWidget* TSession::FindWindow(const QString& name) const {
    for (const auto& [n, w] : VisibleWindows())
        if (n == name) return w;
    return nullptr;
}

QWidget* TSession::PickWindow() {
    const auto windows = VisibleWindows();
    if (windows.empty()) return nullptr;
    if (Chance(60)) {
        QWidget* active = QApplication::activePopupWidget();
        if (!active) active = QApplication::activeModalWidget();
        if (!active) active = QApplication::activeWindow();
        if (active && Exercisable(active)) return active;
    }
    return windows[size_t(Pick(int(windows.size())))].second;
}

QPoint TSession::PointIn(QWidget* w, double fx, double fy) const {
    return QPoint(int(fx * std::max(1, w->width() - 1)), int(fy * std::max(1, w->height() - 1)));
}

TSession::TStep TSession::Draw() {
    TStep s;
    QWidget* w = PickWindow();
    if (!w) return {{"wait"}, {}};
    QString name;
    for (const auto& [n, win] : VisibleWindows())
        if (win == w) name = n;
    const auto frac = [&] { return QString::number(double(Pick(1000)) / 1000.0, 'f', 3); };
    const int roll = Pick(100);
    if (roll < 40) {
        // Commands of every visible window; half the time one not given yet.
        std::vector<std::pair<QString, QString>> all, fresh;
        for (const auto& [n, win] : VisibleWindows())
            for (const TCommand& c : CommandsOf(win)) {
                if (!c.action->isEnabled() || !c.action->isVisible() || Skipped(WindowKey(win), c.path))
                    continue;
                all.emplace_back(n, c.path);
                if (!triggered_.count(WindowKey(win) + "\t" + c.path)) fresh.emplace_back(n, c.path);
            }
        const auto& from = !fresh.empty() && Chance(50) ? fresh : all;
        if (!from.empty()) {
            const auto& [n, path] = from[size_t(Pick(int(from.size())))];
            return {{"action", n, path}, {}};
        }
    }
    if (roll < 60) {
        const TKey k = Keys()[size_t(Pick(int(Keys().size())))];
        return {{"key", name, QString::number(k.key), QString::number(k.mods)}, {}};
    }
    if (roll < 72) {
        static const int buttons[] = {Qt::LeftButton, Qt::LeftButton, Qt::LeftButton, Qt::RightButton,
                                      Qt::MiddleButton};
        return {{"click", name, frac(), frac(), QString::number(buttons[Pick(5)])}, {}};
    }
    if (roll < 76) return {{"dclick", name, frac(), frac()}, {}};
    if (roll < 81) return {{"drag", name, frac(), frac(), frac(), frac()}, {}};
    if (roll < 84)
        return {{"wheel", name, frac(), frac(), QString::number(Chance(50) ? 120 : -120)}, {}};
    if (roll < 97) {
        const TFields f = FieldsOf(w);
        const int index = f.edits.isEmpty() ? -1 : Pick(int(f.edits.size()));
        return {{"type", name, QString::number(index), Chance(40) ? "replace" : "add",
                 Chance(30) ? "return" : "", DrawText()},
                {}};
    }
    return {{"close", name}, {}};
}

void TSession::Perform(const TStep& s) {
    const QString kind = s.fields.value(0);
    QPointer<QWidget> w = FindWindow(s.fields.value(1));
    performWindow_ = w;
    if (!w || kind == "wait") return;
    Visited(WindowKey(w));
    if (kind == "action") {
        for (const TCommand& c : CommandsOf(w)) {
            if (c.path != s.fields.value(2)) continue;
            if (!c.action->isEnabled() || !c.action->isVisible()) break;
            ++triggered_[WindowKey(w) + "\t" + c.path];
            c.action->trigger();
            break;
        }
    } else if (kind == "key") {
        QWidget* target = w->focusWidget() ? w->focusWidget() : w.data();
        SendKey(target, s.fields.value(2).toInt(), Qt::KeyboardModifiers(s.fields.value(3).toInt()));
    } else if (kind == "click" || kind == "dclick" || kind == "drag" || kind == "wheel") {
        const QPoint p = PointIn(w, s.fields.value(2).toDouble(), s.fields.value(3).toDouble());
        QPointer<QWidget> child = w->childAt(p);
        if (!child) child = w;
        const QPoint local = child->mapFrom(w, p);
        const Qt::MouseButton b =
            kind == "click" ? Qt::MouseButton(s.fields.value(4).toInt()) : Qt::LeftButton;
        if (kind == "wheel") {
            QWheelEvent e(local, child->mapToGlobal(local), QPoint(), QPoint(0, s.fields.value(4).toInt()),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(child, &e);
            return;
        }
        QTest::mousePress(child, b, Qt::NoModifier, local);
        if (kind == "drag") {
            const QPoint to = PointIn(w, s.fields.value(4).toDouble(), s.fields.value(5).toDouble());
            for (int i = 1; i <= 4 && child && w; ++i) {
                const QPoint at = local + (child->mapFrom(w, to) - local) * i / 4;
                QTest::mouseMove(child, at);
            }
            if (child && w) QTest::mouseRelease(child, b, Qt::NoModifier, child->mapFrom(w, to));
            return;
        }
        if (child) QTest::mouseRelease(child, b, Qt::NoModifier, local);
        if (kind == "dclick" && child) {
            QTest::mousePress(child, b, Qt::NoModifier, local);
            if (child) {
                QMouseEvent dbl(QEvent::MouseButtonDblClick, local, child->mapToGlobal(local), b, b,
                                Qt::NoModifier);
                QApplication::sendEvent(child, &dbl);
            }
            if (child) QTest::mouseRelease(child, b, Qt::NoModifier, local);
        }
    } else if (kind == "type") {
        const TFields f = FieldsOf(w);
        const int i = s.fields.value(2).toInt();
        QWidget* target = i >= 0 && i < f.edits.size() ? f.edits[i] : w->focusWidget();
        if (!target) return;
        target = EditTarget(target);
        target->setFocus();
        QPointer<QWidget> t(target);
        if (s.fields.value(3) == "replace") {
            SendKey(t, Qt::Key_A, Qt::ControlModifier);
            SendKey(t, Qt::Key_Backspace, Qt::NoModifier);
        }
        TypeText(t, s.fields.value(5));
        if (t && s.fields.value(4) == "return") SendKey(t, Qt::Key_Return, Qt::NoModifier);
    } else if (kind == "close") {
        if (w != form_) w->close();
    }
}

void TSession::Settle(int ms) {
    const int64_t end = NowNs() + int64_t(ms) * 1000000;
    do {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        Beat();
    } while (NowNs() < end);
}

std::map<QByteArray, TSession::TStat> TSession::Scan(const QString& folder) const {
    static std::map<QByteArray, TStat>* out;
    std::map<QByteArray, TStat> files;
    out = &files;
    ::nftw(QFile::encodeName(folder).constData(),
           [](const char* p, const struct stat* st, int type, FTW*) {
               if (type == FTW_F && S_ISREG(st->st_mode))
                   (*out)[QByteArray(p)] = {qint64(st->st_size),
                                            qint64(st->st_mtim.tv_sec) * 1000000000 + st->st_mtim.tv_nsec,
                                            qint64(st->st_ino)};
               return 0;
           },
           16, FTW_PHYS);
    return files;
}

size_t ContentHash(const QByteArray& bytes) {
    return std::hash<std::string_view>()(std::string_view(bytes.constData(), size_t(bytes.size())));
}

QByteArray ReadFile(const QByteArray& path) {
    QByteArray b;
    if (std::FILE* f = std::fopen(path.constData(), "rb")) {
        char buf[65536];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
            b.append(buf, qsizetype(n));
        std::fclose(f);
    }
    return b;
}

// A new or changed picture file must be a complete picture the library reads
// without a warning, unless its contents were there at the start (damaged
// samples moved or renamed).
bool TSession::CheckPicture(const QByteArray& path, QString* why) {
    const QByteArray bytes = ReadFile(path);
    const size_t h = ContentHash(bytes);
    if (knownContents_.count(h)) return true;
    std::string warning;
    const TPGMessageBoxHandler saved = PGMessageBoxHandler;
    PGMessageBoxHandler = [&](const std::string& text, const std::string&, TPGBoxButtons) {
        if (warning.empty()) warning = text;
        return TPGBoxResult::Cancel;
    };
    try {
        TPixelGraphic pg;
        pg.LoadFromFile(path.toStdString());
        if (pg.GetWidth() <= 0) warning = "no pixels";
    } catch (const std::exception& e) {
        warning = e.what();
    }
    PGMessageBoxHandler = saved;
    if (!warning.empty()) {
        *why = QString("%1 (%2 bytes) is no complete readable picture: %3")
                   .arg(QString::fromLocal8Bit(path))
                   .arg(bytes.size())
                   .arg(QString::fromStdString(warning));
        return false;
    }
    knownContents_.insert(h);
    return true;
}

bool TSession::Check(QString* why) {
    if (Scan(outside_) != outsideFiles_) {
        *why = "a file outside the test folder changed";
        return false;
    }
    auto now = Scan(test_);
    for (const auto& [path, st] : now) {
        auto it = testFiles_.find(path);
        if (it != testFiles_.end() && it->second == st) continue;
        if (IsPictureName(path) && !CheckPicture(path, why)) return false;
    }
    testFiles_ = std::move(now);
    const QString settings = SettingsFilePath();
    if (QFileInfo::exists(settings)) {
        QSettings s(settings, QSettings::IniFormat);
        if (s.status() != QSettings::NoError) {
            *why = "the settings file no longer parses";
            return false;
        }
    }
    return true;
}

// Folder trees that wandered out of the test folder are brought back: every
// later command then works on the test folder's files.
void TSession::Guard() {
    const auto inside = [&](const QString& p) { return p == test_ || p.startsWith(test_ + "/"); };
    for (QWidget* top : QApplication::topLevelWidgets())
        for (TFolderTree* t : top->findChildren<TFolderTree*>()) {
            const QString f = t->SelectedFolder();
            if (!f.isEmpty() && !inside(f)) t->SelectFolder(pictures_);
        }
    if (form_ && !form_->ListedFolder().isEmpty() && !inside(form_->ListedFolder()))
        form_->OpenFolder(pictures_);
    if (form_ && !form_->isVisible()) {
        journal_.Comment("the main window was closed: shown again");
        form_->show();
    }
}

void TSession::NoteCommands() {
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (top->windowType() == Qt::ToolTip || qobject_cast<QMenu*>(top)) continue;
        const QString key = WindowKey(top);
        if (top == form_ || (ToolWindows() && ToolWindows()->Find(key) == top) || top->isVisible())
            windowsKnown_.insert(key);
        for (const TCommand& c : CommandsOf(top))
            if (!Skipped(key, c.path)) knownCommands_.insert(key + "\t" + c.path);
    }
}

void TSession::Report(double seconds, int steps) {
    NoteCommands();
    int reached = 0;
    std::vector<QString> unreached;
    for (const QString& c : knownCommands_) {
        if (triggered_.count(c))
            ++reached;
        else
            unreached.push_back(c);
    }
    for (const auto& [c, n] : triggered_)
        if (!knownCommands_.count(c)) ++reached; // commands of windows gone since
    int visited = 0;
    for (const QString& w : windowsKnown_)
        visited += windowsVisited_.count(w) ? 1 : 0;
    std::printf("exerciser: %d steps in %.1f s (%.1f steps/s), seed %llu\n", steps, seconds,
                seconds > 0 ? steps / seconds : 0.0, (unsigned long long)opt_.seed);
    std::printf("exerciser: commands reached %d of %zu (%.0f%%), windows visited %d of %zu (%.0f%%)\n",
                reached, knownCommands_.size(), 100.0 * reached / std::max<size_t>(1, knownCommands_.size()),
                visited, windowsKnown_.size(), 100.0 * visited / std::max<size_t>(1, windowsKnown_.size()));
    if (opt_.listUnreached) {
        for (const QString& c : unreached)
            std::printf("  not reached: %s\n", qPrintable(QString(c).replace('\t', " | ")));
        for (const QString& w : windowsKnown_)
            if (!windowsVisited_.count(w)) std::printf("  not visited: %s\n", qPrintable(w));
    }
    std::fflush(stdout);
}

bool TSession::LoadReplay() {
    QFile f(QFile::decodeName(opt_.replay.c_str()));
    if (!f.open(QIODevice::ReadOnly)) {
        std::cerr << "exerciser: cannot read " << opt_.replay << "\n";
        return false;
    }
    replay_.push_back({{"start"}, {}}); // answers before the first step
    for (const QByteArray& raw : f.readAll().split('\n')) {
        const QString line = QString::fromUtf8(raw);
        if (line.isEmpty() || line.startsWith('#')) continue;
        QStringList fields;
        for (const QString& p : line.split('\t'))
            fields << Unescape(p);
        if (fields[0] == "seed") opt_.seed = fields.value(1).toULongLong();
        if (fields[0] == "step") replay_.push_back({fields.mid(2), {}});
        if (fields[0] == "answer") replay_.back().answers.push_back(fields.mid(1));
    }
    return true;
}

class TNoWallpaper : public TWallpaperBackend {
  public:
    bool Available() const override { return true; }
    bool Apply(const QString&, const QString&, const QString&) override { return true; }
};

// Web pages and mail links the program opens go nowhere.
class TUrlSink : public QObject {
    Q_OBJECT
  public slots:
    void Open(const QUrl&) {}
};

int TSession::Run() {
    if (!journal_.Open((QFile::encodeName(root_) + "/journal.replay").toStdString())) return 2;
    if (!opt_.replay.empty() && !LoadReplay()) return 2;
    replaying_ = !opt_.replay.empty();
    journal_.Raw("# tavirlo exerciser journal: replay with scripts/exercise --replay FILE");
    journal_.Line({"seed", QString::number(opt_.seed)});
    rng_.seed(opt_.seed);
    if (replaying_) answers_ = &replay_.front().answers;

    QApplication::setApplicationName("Tavirlo");
    InitImageLibrary();
    RegisterMetafileFormats();
    MakeTestPictures(QFile::encodeName(pictures_).toStdString(), true);
    MakeTestPictures(QFile::encodeName(outside_).toStdString(), false);
    RegisterHelpWindows();
    InstallHelpKeys();
    RegisterPrefsWindow();
    RegisterMetaWindows();
    RegisterEditorWindows();
    RegisterThumbsWindows();
    RegisterAlbumWindows();
    RegisterToolsWindows();
    InstallLibraryPrompts();
    SetPrompts(std::make_unique<TExercisePrompts>(this));
    SetWallpaperBackend(std::make_unique<TNoWallpaper>());
    SetUrlOpener([](const QUrl&) { return true; });
    TUrlSink sink;
    for (const char* scheme : {"http", "https", "file", "mailto", "ftp"})
        QDesktopServices::setUrlHandler(scheme, &sink, "Open");

    // Every content there at the start is known: damaged samples may move.
    for (const auto& [path, st] : Scan(test_))
        knownContents_.insert(ContentHash(ReadFile(path)));

    int rc = 0;
    {
        TDDEHandler dde;
        TMacroServer macroServer(&dde);
        macroServer.Listen();
        TForm1 form;
        form_ = &form;
        form.SetNativeArgs({QFile::encodeName(pictures_)});
        dde.SetReceiver([&form](const QStringList& macros) { ShowOpenMacros(&form, macros); });
        RegisterBrowserDialogs();
        TToolWindows tools;
        SetToolWindows(&tools);
        tools.CreateAll();
        form.UpdateToolCommands();
        form.show();

        g_mainThread = pthread_self();
        Beat();
        QTimer beat;
        QObject::connect(&beat, &QTimer::timeout, [] { Beat(); });
        beat.start(50);
        // A step that never returns runs a loop of its own (a drag, a menu):
        // Escape and closing the popup end those as a user would.
        QTimer unstick;
        QObject::connect(&unstick, &QTimer::timeout, [this] {
            if (!inPerform_ || NowNs() - performStart_ < 1000000000) return;
            if (NowNs() - performStart_ > 60000000000) {
                std::fprintf(stderr, "exerciser: step %d has not returned for 60 s: a loop of its "
                                     "own that Escape does not end\n", stepNo_);
                journal_.Comment("failure: the step never returned");
                ::_exit(71);
            }
            if (QWidget* p = QApplication::activePopupWidget()) p->close();
            if (QWidget* f = QApplication::focusWidget()) SendKey(f, Qt::Key_Escape, Qt::NoModifier);
            // Long work that Escape breaks (an album's preview) listens in its own window.
            if (performWindow_ && performWindow_ != QApplication::focusWidget())
                SendKey(performWindow_, Qt::Key_Escape, Qt::NoModifier);
        });
        unstick.start(500);
        std::thread watchdog(Watch, opt_.hangMs, &journal_);

        Settle(400);
        NoteCommands();
        testFiles_ = Scan(test_);
        outsideFiles_ = Scan(outside_);
        QString why;
        if (!Check(&why)) {
            std::cerr << "exerciser: at the start: " << why.toStdString() << "\n";
            rc = 1;
        }
        const int64_t start = NowNs();
        int steps = 0;
        if (!replay_.empty()) replay_.pop_front();
        answers_ = nullptr;
        while (rc == 0) {
            TStep s;
            if (replaying_) {
                if (replay_.empty()) break;
                s = std::move(replay_.front());
                replay_.pop_front();
            } else if (opt_.seconds > 0 ? NowNs() - start >= int64_t(opt_.seconds * 1e9)
                                        : steps >= opt_.steps) {
                break;
            } else {
                s = Draw();
            }
            stepNo_ = ++steps;
            g_stepNo = steps;
            journal_.Line(QStringList{"step", QString::number(steps)} + s.fields);
            current_ = std::move(s);
            answers_ = &current_.answers;
            inPerform_ = true;
            performStart_ = NowNs();
            Beat();
            Perform(current_);
            Beat();
            inPerform_ = false;
            Settle(40);
            if (!Check(&why)) {
                std::cerr << "exerciser: after step " << steps << ": " << why.toStdString() << "\n";
                journal_.Comment("failure: " + why);
                rc = 1;
                break;
            }
            Guard();
            if (steps % 8 == 0) NoteCommands();
        }
        const double seconds = double(NowNs() - start) / 1e9;
        Report(seconds, steps);
        g_watchStop = true;
        watchdog.join();
        // Closing the main window and destroying the tool windows saves
        // their settings, as the end of a real run does.
        form.close();
        Settle(50);
        SetToolWindows(nullptr);
        dde.SetReceiver({});
        form_ = nullptr;
    }
    QString why;
    if (rc == 0 && !Check(&why)) {
        std::cerr << "exerciser: at the end: " << why.toStdString() << "\n";
        rc = 1;
    }
    for (const char* scheme : {"http", "https", "file", "mailto", "ftp"})
        QDesktopServices::unsetUrlHandler(scheme);
    SetPrompts(nullptr);
    return rc;
}

} // namespace

int RunExercise(const TExerciseOptions& opt, const std::string& root) {
    const std::string test = root + "/test", home = test + "/home";
    for (const std::string& d : {test, home, home + "/.config", home + "/.local/share",
                                 home + "/.cache", home + "/runtime", home + "/sane", test + "/tmp",
                                 root + "/outside"})
        QDir().mkpath(QFile::decodeName(d.c_str()));
    ::chmod((home + "/runtime").c_str(), 0700);
    ::setenv("HOME", home.c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (home + "/.config").c_str(), 1);
    ::setenv("XDG_DATA_HOME", (home + "/.local/share").c_str(), 1);
    ::setenv("XDG_CACHE_HOME", (home + "/.cache").c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", (home + "/runtime").c_str(), 1);
    ::setenv("TMPDIR", (test + "/tmp").c_str(), 1);
    // Scanning meets the test scanner only: no probing of real devices.
    std::ofstream(home + "/sane/dll.conf") << "test\n";
    // Kept mapped, so that what the backend keeps for good can be named.
    dlopen("libsane-test.so.1", RTLD_NOW | RTLD_NODELETE);
    dlopen("/usr/lib/x86_64-linux-gnu/sane/libsane-test.so.1", RTLD_NOW | RTLD_NODELETE);
    ::setenv("SANE_CONFIG_DIR", (home + "/sane").c_str(), 1);
    if (!std::getenv("QT_QPA_PLATFORM")) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    if (!ConfineWrites(root))
        std::cerr << "exerciser: note: no private mount namespace here; the rest of the file "
                     "system is not write-protected during the run\n";
    ::chdir((test + "/pictures").c_str());
    QDir().mkpath(QFile::decodeName((test + "/pictures").c_str()));
    ::chdir((test + "/pictures").c_str());
    // The offscreen platform says for every window what it cannot do.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext& ctx, const QString& msg) {
        if (msg.startsWith("This plugin does not support")) return;
        std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, ctx, msg)));
    });
    static char arg0[] = "tavirlo";
    static char* argv[] = {arg0, nullptr};
    static int argc = 1;
    QApplication app(argc, argv);
    TSession session(opt, root);
    return session.Run();
}

#include "exerciser.moc"
