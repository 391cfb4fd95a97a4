#include "browser/bookmarks.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QSaveFile>
#include <QVBoxLayout>

#include "browser/fileopsdialogs.h"
#include "browser/mainform.h"
#include "browser/toolwindows.h"
#include "platform/dialogbuttons.h"
#include "platform/prompts.h"
#include "platform/settings.h"

namespace {

constexpr qint64 kMaxFileBytes = 4 * 1024 * 1024;
constexpr qsizetype kMaxLineBytes = 4096;

QMenu* BookmarkMenu(TForm1& f) {
    QAction* a = f.Command(TCommandId::BookmarksMenu);
    return a ? a->menu() : nullptr;
}

QString Caption(const QString& folder) {
    QString c = folder;
    return c.replace('&', "&&");
}

void AddItem(TForm1& f, QMenu* menu, const QString& folder) {
    QAction* a = menu->addAction(Caption(folder));
    a->setData(folder);
    QObject::connect(a, &QAction::triggered, &f, [&f, folder] {
        // A folder that is gone leaves everything as it is.
        if (QFileInfo(folder).isDir()) f.OpenFolder(folder);
    });
}

TfBMEdit* EditDialog() {
    if (TToolWindows* tools = ToolWindows())
        if (auto* d = qobject_cast<TfBMEdit*>(tools->Find("TfBMEdit"))) return d;
    static QPointer<TfBMEdit> local;
    if (!local) local = new TfBMEdit;
    return local;
}

QString TreeFolder(const TForm1& f) {
    const QString s = f.STV1->SelectedFolder();
    return QDir::cleanPath(s.isEmpty() ? f.ListedFolder() : s);
}

} // namespace

QString BookmarkFilePath() {
    return QFileInfo(SettingsFilePath()).absolutePath() + "/bookmrks.dat";
}

QStringList ParseBookmarks(const QByteArray& data) {
    QByteArray d = data;
    if (d.startsWith("\xEF\xBB\xBF")) d.remove(0, 3);
    QStringList r;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= d.size(); ++i) {
        if (i < d.size() && d[i] != '\n' && d[i] != '\r') continue;
        const qsizetype len = i - start;
        if (len > 0 && len <= kMaxLineBytes) {
            const QByteArray line = d.mid(start, len);
            if (!line.contains('\0') && !line.trimmed().isEmpty())
                r << QDir::cleanPath(QString::fromUtf8(line));
        }
        start = i + 1;
    }
    return r;
}

QByteArray FormatBookmarks(const QStringList& folders) {
    QByteArray out;
    for (const QString& f : folders)
        out += f.toUtf8() + "\r\n";
    return out;
}

TBookmarkRead ReadBookmarks(const QString& path, QStringList& folders, QString* error) {
    folders.clear();
    QFile file(path);
    if (!QFileInfo(path).exists() && !QFileInfo(path).isSymLink()) return TBookmarkRead::Missing;
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly)) {
        if (error) *error = "Cannot open file " + path;
        return TBookmarkRead::Unreadable;
    }
    QByteArray data = file.read(kMaxFileBytes + 1);
    if (file.error() != QFileDevice::NoError) {
        if (error) *error = "Cannot open file " + path;
        return TBookmarkRead::Unreadable;
    }
    if (data.size() > kMaxFileBytes) {
        // Cut at the last whole line: half a path is no bookmark.
        data.truncate(kMaxFileBytes);
        const qsizetype end = std::max(data.lastIndexOf('\n'), data.lastIndexOf('\r'));
        data.truncate(end < 0 ? 0 : end);
        folders = ParseBookmarks(data);
        if (error) *error = "Cannot open file " + path;
        return TBookmarkRead::TooLarge;
    }
    folders = ParseBookmarks(data);
    return TBookmarkRead::Ok;
}

bool SaveBookmarks(const QString& path, const QStringList& folders, QString* error) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    const QByteArray data = FormatBookmarks(folders);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size() || !file.commit()) {
        if (error) *error = "Cannot create file " + path;
        return false;
    }
    return true;
}

// ---- editor

TfBMEdit::TfBMEdit(QWidget* parent) : QDialog(parent) {
    setObjectName("TfBMEdit");
    setWindowTitle("Edit Bookmarks");
    auto* outer = new QVBoxLayout(this);
    auto* h = new QHBoxLayout;
    outer->addLayout(h, 1);
    ListBox1 = new QListWidget(this);
    ListBox1->setObjectName("ListBox1");
    ListBox1->setSelectionMode(QAbstractItemView::SingleSelection);
    h->addWidget(ListBox1, 1);
    auto* v = new QVBoxLayout;
    auto button = [&](const char* name, const char* caption) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(name);
        b->setAutoDefault(false);
        v->addWidget(b);
        return b;
    };
    connect(button("Up", "Up"), &QPushButton::clicked, this, &TfBMEdit::Up);
    connect(button("Down", "Down"), &QPushButton::clicked, this, &TfBMEdit::Down);
    connect(button("Delete", "Delete"), &QPushButton::clicked, this, &TfBMEdit::Delete);
    v->addStretch(1);
    h->addLayout(v);
    outer->addLayout(OkCancelRow(this));
    resize(480, 300);
}

void TfBMEdit::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    QStringList folders;
    loadError_.clear();
    const TBookmarkRead read = ReadBookmarks(BookmarkFilePath(), folders, &loadError_);
    loadFailed_ = read == TBookmarkRead::Unreadable || read == TBookmarkRead::TooLarge;
    ListBox1->clear();
    ListBox1->addItems(folders);
    if (ListBox1->count() > 0) ListBox1->setCurrentRow(0);
}

QStringList TfBMEdit::Entries() const {
    QStringList r;
    for (int i = 0; i < ListBox1->count(); ++i)
        r << ListBox1->item(i)->text();
    return r;
}

void TfBMEdit::Up() {
    const int i = ListBox1->currentRow();
    if (i <= 0) return;
    ListBox1->insertItem(i - 1, ListBox1->takeItem(i));
    ListBox1->setCurrentRow(i - 1);
}

void TfBMEdit::Down() {
    const int i = ListBox1->currentRow();
    if (i < 0 || i >= ListBox1->count() - 1) return;
    ListBox1->insertItem(i + 1, ListBox1->takeItem(i));
    ListBox1->setCurrentRow(i + 1);
}

void TfBMEdit::Delete() {
    const int i = ListBox1->currentRow();
    if (i < 0) return;
    delete ListBox1->takeItem(i);
    if (ListBox1->count() > 0) ListBox1->setCurrentRow(0);
}

// ---- menu

void RebuildBookmarkMenu(TForm1& f) {
    QMenu* menu = BookmarkMenu(f);
    if (!menu) return;
    const QList<QAction*> items = menu->actions();
    for (int i = 3; i < items.size(); ++i) {
        menu->removeAction(items[i]);
        delete items[i];
    }
    ReadBookmarks(BookmarkFilePath(), f.BookmarkList);
    for (const QString& folder : f.BookmarkList)
        AddItem(f, menu, folder);
}

void AddBookmark(TForm1& f) {
    const QString folder = TreeFolder(f);
    if (folder.isEmpty() || folder == ".") return;
    const QString path = BookmarkFilePath();
    QString error;
    QStringList list;
    const TBookmarkRead read = ReadBookmarks(path, list, &error);
    if (read == TBookmarkRead::Unreadable || read == TBookmarkRead::TooLarge) {
        // Only a missing file starts empty: writing now would lose the
        // bookmarks it may still hold.
        ShowMessage(error, &f);
        return;
    }
    f.BookmarkList = list;
    if (list.contains(folder)) {
        ShowMessage(folder + " is already bookmarked!", &f);
        return;
    }
    list << folder;
    if (!SaveBookmarks(path, list, &error)) {
        ShowMessage(error, &f);
        return;
    }
    f.BookmarkList = list;
    if (QMenu* menu = BookmarkMenu(f)) AddItem(f, menu, folder);
}

void EditBookmarks(TForm1& f) {
    TfBMEdit* d = EditDialog();
    if (ExecDialog(d) != QDialog::Accepted) return;
    if (d->LoadFailed()) {
        ShowMessage(d->LoadError(), &f);
        return;
    }
    const QStringList entries = d->Entries();
    QString error;
    if (!SaveBookmarks(BookmarkFilePath(), entries, &error)) {
        ShowMessage(error, &f);
        return;
    }
    f.BookmarkList = entries;
    RebuildBookmarkMenu(f);
}

void InstallBookmarks(TForm1& f) {
    f.OnCommand(TCommandId::AddBookmark, [&f] { AddBookmark(f); });
    f.OnCommand(TCommandId::EditBookmarks, [&f] { EditBookmarks(f); });
    RebuildBookmarkMenu(f);
}
