#include "browser/mainform.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenuBar>
#include <QPainter>
#include <QScreen>
#include <QSpinBox>
#include <QSplitter>
#include <QToolBar>
#include <QVBoxLayout>
#include <sys/stat.h>
#include <unistd.h>

#include "browser/drawnicon.h"
#include "browser/commandids.h"
#include "browser/filecommands.h"
#include "browser/fileops_ui.h"
#include "browser/form1.h"
#include "browser/handovertable.h"
#include "browser/help.h"
#include "browser/preview.h"
#include "browser/toolwindows.h"
#include "browser/turncommands.h"
#include "platform/convert.h"
#include "platform/paths.h"
#include "platform/prompts.h"
#include "platform/safeopen.h"
#include "platform/settings.h"
#include "platform/waitcursor.h"
#include "platform/windowplace.h"

namespace {

TForm1::TPreviewHook& PreviewHook() {
    static TForm1::TPreviewHook h;
    return h;
}

// The slide-show delay: typed numbers only through the arrows.
class TSecondsBox : public QSpinBox {
  public:
    explicit TSecondsBox(QWidget* parent) : QSpinBox(parent) { lineEdit()->setReadOnly(true); }
};

// Toolbar glyphs, drawn so the program needs no image files at run time,
// at the size and device pixel ratio they are shown at.
QIcon Glyph(const QString& text, QColor c) {
    return DrawnIcon([text, c](QPainter& p) {
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(c.darker(160));
        p.setBrush(c);
        p.drawRoundedRect(QRectF(1.5, 1.5, 21, 21), 4, 4);
        p.setPen(Qt::white);
        QFont f;
        f.setPixelSize(text.size() > 1 ? 10 : 14);
        f.setBold(true);
        p.setFont(f);
        p.drawText(QRect(0, 0, 24, 24), Qt::AlignCenter, text);
    });
}

QColor ColorFromValue(int v) {
    return QColor(v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF);
}
int ValueFromColor(const QColor& c) {
    return c.red() | (c.green() << 8) | (c.blue() << 16);
}

} // namespace

QString PlainCaption(const QString& text) {
    QString r;
    const qsizetype tab = text.indexOf('\t');
    const QString shown = tab < 0 ? text : text.left(tab);
    r.reserve(shown.size());
    for (qsizetype i = 0; i < shown.size(); ++i) {
        // "&&" is a real ampersand; a single one marks the accelerator.
        if (shown[i] != '&')
            r += shown[i];
        else if (i + 1 < shown.size() && shown[i + 1] == '&')
            r += shown[++i];
    }
    return r;
}

TForm1::TForm1(const QStringList& args, QWidget* parent) : QMainWindow(parent) {
    for (const QString& a : args)
        nativeArgs_ << NativePathOf(a);
    if (char* cwd = ::getcwd(nullptr, 0)) {
        startFolder_ = cwd;
        std::free(cwd);
    }
    setObjectName("Form1");
    setWindowTitle(QStringLiteral("Tavirlo 7.8") + " by Ambertide Software");
    BuildLayout();
    BuildToolBar();
    BuildPopups();
    BuildMenus();
    Preview = new TPreview(this);
    ConnectFileCommands(this);
    ConnectTurnCommands(this);
    SLV1->SortColumn = 0;
    SLV1->SortAscending = true;
    ReadSettings();
    InstallFileOperations(*this);
    UpdateToolCommands();
    if (!Form1()) SetForm1(this);
}

TForm1::~TForm1() {
    if (Form1() == this) SetForm1(nullptr);
    // The preview watches the application's events: it goes before the
    // controls it looks at.
    delete Preview;
}

// ---- layout

void TForm1::BuildLayout() {
    Splitter1 = new QSplitter(Qt::Horizontal, this);
    Splitter1->setObjectName("Splitter1");
    Splitter1->setHandleWidth(3);
    Splitter1->setChildrenCollapsible(false);

    LeftMain = new QWidget(Splitter1);
    LeftMain->setObjectName("LeftMain");
    auto* lm = new QVBoxLayout(LeftMain);
    lm->setContentsMargins(4, 4, 4, 4);
    Splitter2 = new QSplitter(Qt::Vertical, LeftMain);
    Splitter2->setObjectName("Splitter2");
    Splitter2->setHandleWidth(3);
    Splitter2->setChildrenCollapsible(false);
    lm->addWidget(Splitter2);

    LeftTop = new QWidget(Splitter2);
    LeftTop->setObjectName("LeftTop");
    auto* lt = new QVBoxLayout(LeftTop);
    lt->setContentsMargins(0, 0, 0, 0);
    STV1 = new TFolderTree(LeftTop);
    STV1->setObjectName("STV1");
    lt->addWidget(STV1);

    LeftBottom = new QWidget(Splitter2);
    LeftBottom->setObjectName("LeftBottom");
    auto* lb = new QVBoxLayout(LeftBottom);
    lb->setContentsMargins(0, 0, 0, 0);
    SLV1 = new TFileListView(LeftBottom);
    SLV1->setObjectName("SLV1");
    SLV1->Model()->Tag = 1;
    SLV1->setContextMenuPolicy(Qt::CustomContextMenu);
    lb->addWidget(SLV1);
    Splitter2->setStretchFactor(0, 0);
    Splitter2->setStretchFactor(1, 1);

    RightMain = new QFrame(Splitter1);
    RightMain->setObjectName("RightMain");
    RightMain->setFrameShape(QFrame::NoFrame);
    RightMain->setAutoFillBackground(true);
    RightMain->setContextMenuPolicy(Qt::CustomContextMenu);
    Splitter1->setStretchFactor(0, 0);
    Splitter1->setStretchFactor(1, 1);
    setCentralWidget(Splitter1);

    SB1 = new TPanelStatusBar({{25, Qt::AlignLeft},
                               {80, Qt::AlignHCenter},
                               {60, Qt::AlignHCenter},
                               {250, Qt::AlignLeft},
                               {50, Qt::AlignLeft}},
                              this);
    SB1->setObjectName("SB1");
    ALed1 = new TLed(SB1->PanelLabel(0));
    ALed1->setObjectName("ALed1");
    auto* ledBox = new QHBoxLayout(SB1->PanelLabel(0));
    ledBox->setContentsMargins(2, 0, 2, 0);
    ledBox->addWidget(ALed1, 0, Qt::AlignCenter);
    setStatusBar(SB1);

    connect(STV1, &TFolderTree::FolderChanged, this, [this](const QString& path) {
        // A tree node that is no folder (any more) leaves the list as it was.
        if (!QFileInfo(path).isDir()) return;
        ListFolderOrSay(path);
    });
}

void TForm1::Register(TCommandId id, QAction* a, bool byName) {
    byId_[size_t(id)] << a;
    if (!byName) return;
    const QString key = CommandObjectName(id) ? QString(CommandObjectName(id))
                                              : PlainCaption(CommandCaption(id));
    if (!commands_.count(key)) commands_[key] = a;
}

QAction* TForm1::Add(QMenu* menu, TCommandId id, bool available) {
    QAction* a = menu->addAction(CommandCaption(id));
    a->setEnabled(available);
    if (available) available_.insert(a);
    Register(id, a);
    return a;
}

QMenu* TForm1::AddMenu(QWidget* parent, TCommandId id) {
    QMenu* m = nullptr;
    if (auto* bar = qobject_cast<QMenuBar*>(parent))
        m = bar->addMenu(CommandCaption(id));
    else
        m = static_cast<QMenu*>(parent)->addMenu(CommandCaption(id));
    Register(id, m->menuAction(), false);
    return m;
}

QAction* TForm1::Command(const QString& key) const {
    auto it = commands_.find(key);
    return it == commands_.end() ? nullptr : it->second;
}

QAction* TForm1::Command(TCommandId id) const {
    const QList<QAction*>& all = byId_[size_t(id)];
    return all.isEmpty() ? nullptr : all.front();
}

const QList<QAction*>& TForm1::Commands(TCommandId id) const {
    return byId_[size_t(id)];
}

void TForm1::OnCommand(TCommandId id, const std::function<void()>& run,
                       Qt::ConnectionType type) {
    for (QAction* a : byId_[size_t(id)]) {
        connect(a, &QAction::triggered, this, run, type);
        MakeAvailable(a);
    }
}

void TForm1::BuildToolBar() {
    ToolBar1 = addToolBar("ToolBar1");
    ToolBar1->setObjectName("ToolBar1");
    ToolBar1->setIconSize(QSize(24, 24));
    ToolBar1->setMovable(false);
    ToolBar1->setFloatable(false);
    ToolBar1->setContextMenuPolicy(Qt::PreventContextMenu);
    auto button = [this](TCommandId id, const QIcon& icon, const QString& tool = {},
                         bool toggle = false) {
        const QString hint = CommandCaption(id);
        QAction* a = ToolBar1->addAction(icon, hint);
        a->setObjectName(CommandObjectName(id));
        a->setToolTip(hint);
        a->setCheckable(toggle);
        a->setEnabled(false);
        Register(id, a);
        if (!tool.isEmpty()) toolCommands_.push_back({a, tool});
        return a;
    };
    const QStyle* st = style();
    button(TCommandId::PreviousImage, st->standardIcon(QStyle::SP_ArrowLeft));
    button(TCommandId::NextImage, st->standardIcon(QStyle::SP_ArrowRight));
    Seconds = new TSecondsBox(ToolBar1);
    Seconds->setObjectName("Seconds");
    Seconds->setRange(1, 60);
    Seconds->setValue(4);
    Seconds->setWrapping(false);
    Seconds->setFixedWidth(48);
    ToolBar1->addWidget(Seconds);
    button(TCommandId::SlideShow, st->standardIcon(QStyle::SP_MediaPlay), {}, true);
    ToolBar1->addSeparator();
    button(TCommandId::MoverButton, Glyph("M", QColor(70, 120, 180)), "TfSelectFiles");
    button(TCommandId::EditorButton, Glyph("E", QColor(180, 90, 60)), "TfrmAcquire");
    button(TCommandId::AlbumsButton, Glyph("A", QColor(90, 150, 80)), "TfAlbum");
    button(TCommandId::ConverterButton, Glyph("C", QColor(150, 100, 170)), "TfrmConvert");
    button(TCommandId::SearchButton, Glyph("S", QColor(60, 140, 150)), "TfSearch");
    button(TCommandId::ThumbnailsButton, Glyph("T", QColor(200, 140, 40)), "TfrmThumbnails");
    button(TCommandId::ThumbCreatorButton, Glyph("TC", QColor(160, 120, 60)), "TfrmThumbEdit");
    ToolBar1->addSeparator();
    QAction* setColor = button(TCommandId::SetColorButton, Glyph("", QColor(120, 120, 120)));
    // A swatch of colours says "background colour" without words.
    setColor->setIcon(DrawnIcon([](QPainter& p) {
        const QColor cs[4] = {Qt::red, Qt::green, Qt::blue, Qt::yellow};
        for (int i = 0; i < 4; ++i)
            p.fillRect(2 + (i % 2) * 10, 2 + (i / 2) * 10, 10, 10, cs[i]);
        p.setPen(Qt::darkGray);
        p.drawRect(2, 2, 19, 19);
    }));
    setColor->setEnabled(true);
    connect(setColor, &QAction::triggered, this, &TForm1::ChooseBackgroundColor);
    button(TCommandId::AutoZoom, st->standardIcon(QStyle::SP_TitleBarMaxButton), {}, true);
    button(TCommandId::CopyButton, st->standardIcon(QStyle::SP_FileDialogDetailedView));
}

// Every menu and command has an accelerator (Alt+letter opens a menu, the
// letter then runs the command), and the keys that run a command are shown
// beside it. Keys the preview's key handling serves (Del, F2, F3, F8)
// are only shown here, after a tab: a second binding would run the command
// twice or where the handler deliberately does not.
void TForm1::BuildMenus() {
    QMenuBar* mb = menuBar();
    using C = TCommandId;
    QMenu* file = AddMenu(mb, C::FileMenu);
    toolCommands_.push_back({Add(file, C::MoveFiles), "TfSelectFiles"});
    QMenu* editFile = AddMenu(file, C::EditFileMenu);
    Add(editFile, C::EditInTavirlo);
    Add(editFile, C::EditInExternalEditor);
    Add(file, C::RenameFile);
    Add(file, C::DeleteFile);
    Add(file, C::FileAttributes);
    toolCommands_.push_back({Add(file, C::SearchFiles), "TfSearch"});
    file->addSeparator();
    Add(file, C::PageSetup);
    Add(file, C::PrintListings)->setShortcut(QKeySequence::Print);
    file->addSeparator();
    toolCommands_.push_back({Add(file, C::Preferences), "TfPrefs"});
    connect(Add(file, C::SetColor, true), &QAction::triggered, this,
            &TForm1::ChooseBackgroundColor);
    file->addSeparator();
    QAction* quit = Add(file, C::Quit, true);
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    connect(quit, &QAction::triggered, this, &QWidget::close);

    QMenu* edit = AddMenu(mb, C::EditMenu);
    Add(edit, C::OpenTavirloEditor);
    Add(edit, C::OpenExternalEditor);
    Add(edit, C::CopyToClipboard)->setShortcut(QKeySequence::Copy);
    edit->addSeparator();
    for (TCommandId c : kTurnCommands) Add(edit, c);

    QMenu* bookmarks = AddMenu(mb, C::BookmarksMenu);
    Add(bookmarks, C::AddBookmark)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_D));
    Add(bookmarks, C::EditBookmarks);
    bookmarks->addSeparator();

    QMenu* tools = AddMenu(mb, C::ToolsMenu);
    const std::pair<TCommandId, const char*> toolItems[] = {
        {C::ToolMover, "TfSelectFiles"},       {C::ToolEditor, "TfrmAcquire"},
        {C::ToolAlbums, "TfAlbum"},            {C::ToolConverter, "TfrmConvert"},
        {C::ToolSearch, "TfSearch"},           {C::ToolThumbnails, "TfrmThumbnails"},
        {C::ToolThumbCreator, "TfrmThumbEdit"}};
    for (const auto& [id, cls] : toolItems)
        toolCommands_.push_back({Add(tools, id), cls});

    QMenu* help = AddMenu(mb, C::HelpMenu);
    THelpMenuActions h;
    h.contents = Add(help, C::HelpContents, true); // F1, set by the help
    h.search = Add(help, C::HelpSearch, true);
    h.search->setVisible(false);
    h.overview = Add(help, C::HelpOverview, true);
    h.howTo = Add(help, C::HelpHowTo, true);
    QMenu* contact = AddMenu(help, C::ContactMenu);
    h.contactMenu = contact->menuAction();
    h.webSite = Add(contact, C::HelpWebSite, true);
    h.email = Add(contact, C::HelpEmail, true);
    ConnectHelpMenu(h, this);
    help->addSeparator();
    toolCommands_.push_back({Add(help, C::About), "TfAbout"});

    for (const auto& [action, cls] : toolCommands_) {
        const QString c = cls;
        connect(action, &QAction::triggered, this, [this, c] { ShowTool(c); });
    }
}

void TForm1::BuildPopups() {
    using C = TCommandId;
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName("PopupMenu1");
    needOne_ << Add(PopupMenu1, C::PopupEditInTavirlo) << Add(PopupMenu1, C::PopupEditExternal);
    QAction* convert = Add(PopupMenu1, C::PopupConvert);
    needOne_ << convert;
    toolCommands_.push_back({convert, "TfrmConvert"});
    PopupMenu1->addSeparator();
    needOne_ << Add(PopupMenu1, C::PopupRename);
    needSome_ << Add(PopupMenu1, C::PopupDelete);
    toolCommands_.push_back({Add(PopupMenu1, C::IncrementalRename), "TfrmIncRename"});
    PopupMenu1->addSeparator();
    for (TCommandId c : kTurnCommands) needSome_ << Add(PopupMenu1, c);
    PopupMenu1->addSeparator();
    QAction* exif = Add(PopupMenu1, C::ExifData);
    QAction* props = Add(PopupMenu1, C::ImageProperties);
    toolCommands_.push_back({exif, "TfrmEXIF"});
    toolCommands_.push_back({props, "TfrmFileProp"});
    needOne_ << exif << props << Add(PopupMenu1, C::FileAttributes);
    needOne_ << AddMenu(PopupMenu1, C::SetAsWallpaper)->menuAction();
    Add(PopupMenu1, C::RemoveWallpaper);
    PopupMenu1->addSeparator();
    viewAll_ = Add(PopupMenu1, C::ViewAllFiles, true);
    viewAll_->setCheckable(true);
    connect(viewAll_, &QAction::toggled, this, &TForm1::SetViewAllFiles);
    QAction* refresh = Add(PopupMenu1, C::RefreshList, true);
    refresh->setShortcut(Qt::Key_F5);
    refresh->setShortcutContext(Qt::WindowShortcut);
    addAction(refresh); // F5 works with the menu closed
    connect(refresh, &QAction::triggered, this, &TForm1::RefreshList);
    connect(PopupMenu1, &QMenu::aboutToShow, this, &TForm1::UpdatePopupMenu1);
    auto popup1 = [this](QWidget* w) {
        connect(w, &QWidget::customContextMenuRequested, this,
                [this, w](const QPoint& p) { PopupMenu1->popup(w->mapToGlobal(p)); });
    };
    popup1(SLV1);
    popup1(RightMain);

    PopupMenu2 = new QMenu(this);
    PopupMenu2->setObjectName("PopupMenu2");
    Add(PopupMenu2, C::AddFolder);
    QAction* deleteFolder = Add(PopupMenu2, C::DeleteFolder);
    // The root and the home folder are never offered for deletion.
    connect(PopupMenu2, &QMenu::aboutToShow, this, [this, deleteFolder] {
        deleteFolder->setEnabled(available_.contains(deleteFolder) &&
                                 !IsUndeletableFolder(STV1->SelectedFolder()));
    });
    connect(Add(PopupMenu2, C::RefreshFolders, true), &QAction::triggered, this, [this] {
        TWaitCursor wait;
        STV1->Refresh();
    });
    connect(STV1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& p) { PopupMenu2->popup(STV1->viewport()->mapToGlobal(p)); });
}

void TForm1::UpdatePopupMenu1() {
    const int sel = SLV1->SelCount();
    for (QAction* a : needOne_)
        a->setEnabled(available_.contains(a) && sel == 1);
    for (QAction* a : needSome_)
        a->setEnabled(available_.contains(a) && sel >= 1);
}

void TForm1::MakeAvailable(QAction* a) {
    available_.insert(a);
    a->setEnabled(!needOne_.contains(a) && !needSome_.contains(a));
}

void TForm1::UpdateToolCommands() {
    TToolWindows* tools = ToolWindows();
    // Editing in the program needs its editor.
    if (tools && tools->IsReal("TfrmAcquire"))
        for (TCommandId id : {TCommandId::EditInTavirlo, TCommandId::PopupEditInTavirlo,
                              TCommandId::OpenTavirloEditor})
            for (QAction* a : Commands(id)) MakeAvailable(a);
    for (const auto& [action, cls] : toolCommands_) {
        const bool real = tools && tools->IsReal(cls);
        action->setEnabled(real);
        if (real) available_.insert(action);
    }
}

void TForm1::ShowTool(const QString& className) {
    // What each tool receives is table data (handovertable.cpp).
    const int r = RunToolCommand(this, className);
    if (className == "TfPrefs" && r == QDialog::Accepted) {
        // The checked types may have changed: list the folder anew.
        FileMask = BuildFileMask();
        if (!ListedFolder().isEmpty()) OpenFolder(ListedFolder());
    }
}

// ---- settings

int TForm1::ReadIntSetting(const QString& name, const QString& def) {
    const QString value = ReadSetting(name, def);
    try {
        return StrToInt(value);
    } catch (const EConvertError&) {
        // One bad value must not cost the rest of the start-up: its default
        // is used and one box at the first show names all of them. The box
        // quotes a long value in part only.
        const QString shown = value.size() > 40 ? value.left(40) + "..." : value;
        NoteSettingReset(name, QString("'%1' is not a valid integer value").arg(shown));
        return StrToInt(def);
    }
}

void TForm1::ReadSettings() {
    DeletionMode = ReadIntSetting("Deletions", "0");
    // No saved place at all: the first window is sized to the screen it
    // opens on, not to a size chosen for the screens of long ago.
    placeStored_ = false;
    for (const char* key : {"Left", "Top", "Width", "Height"})
        if (!ReadSetting(key, "").isEmpty()) placeStored_ = true;
    const int l = ReadIntSetting("Left", "0");
    const int t = ReadIntSetting("Top", "0");
    int w = ReadIntSetting("Width", "620");
    int h = ReadIntSetting("Height", "460");
    leftWidth_ = std::max(0, ReadIntSetting("LeftWidth", "180"));
    leftHeight_ = std::max(0, ReadIntSetting("LeftHeight", "120"));
    Seconds->setValue(std::clamp(StrToIntDef(ReadSetting("Seconds", "4"), 4), 1, 60));
    ConfirmDeletions = ReadSetting("Confirm Deletions", "1") == "1";
    const int bg = ReadIntSetting("BG Color", "-1");
    if (bg >= 0 && bg <= 0xFFFFFF) {
        QPalette pal = RightMain->palette();
        pal.setColor(QPalette::Window, ColorFromValue(bg));
        RightMain->setPalette(pal);
    }

    // Keep the window inside a screen that exists now, no larger than it:
    // a position saved on a monitor since unplugged would open the window
    // out of reach, and an absurd stored size would ask for a window
    // surface of gigabytes.
    QRect stored = StoredWindowRect(l, t, w, h);
    if (!placeStored_) {
        if (const QScreen* screen = QGuiApplication::primaryScreen())
            stored = FirstWindowRect(screen->availableGeometry(), QSize(w, h));
        if (ReadSetting("LeftWidth", "").isEmpty()) leftWidth_ = -1;
        if (ReadSetting("LeftHeight", "").isEmpty()) leftHeight_ = -1;
    }
    const QRect r = FitWindowRect(stored, AvailableAreaFor(stored));
    move(r.topLeft());
    resize(r.size());
}

void TForm1::showEvent(QShowEvent* e) {
    QMainWindow::showEvent(e);
    if (firstShown_) return;
    firstShown_ = true;
    // The frame is known only now: the whole window, frame and all, goes
    // inside the screen.
    const QRect frame = frameGeometry();
    const QRect area = AvailableAreaFor(frame);
    if (!area.isEmpty() && !area.contains(frame)) {
        const QRect fitted = FitWindowRect(frame, area);
        resize(fitted.size() - (frame.size() - size()));
        move(fitted.topLeft());
    }
    // Pane sizes need the window's final size, known only now.
    // Stored sizes stay inside the window: neither pane is squeezed away.
    // A stored size that leaves the other pane almost nothing is no choice
    // anyone made: the default is used.
    const int total = Splitter1->width() - Splitter1->handleWidth();
    // Unsaved pane sizes grow with a first window sized to the screen: the
    // tree and the list get a fair share of it.
    if (leftWidth_ < 0) leftWidth_ = std::max(180, total * 28 / 100);
    const int lw = FitSplitterPos(leftWidth_ > total - 40 ? 180 : leftWidth_, total, 20, 40);
    Splitter1->setSizes({lw, std::max(0, total - lw)});
    const int totalH = Splitter2->height() - Splitter2->handleWidth();
    if (leftHeight_ < 0) leftHeight_ = std::max(120, totalH * 2 / 5);
    const int lh = FitSplitterPos(leftHeight_ > totalH - 20 ? 120 : leftHeight_, totalH, 20, 20);
    Splitter2->setSizes({lh, std::max(0, totalH - lh)});
    FirstShow();
    // Every bad setting met while the window and its tools were made, in
    // one box.
    if (!PendingSettingResets().isEmpty())
        QMetaObject::invokeMethod(
            this, [this] { ShowSettingsResets(this); }, Qt::QueuedConnection);
}

void TForm1::FirstShow() {
    FileMask = BuildFileMask();
    if (nativeArgs_.size() == 1) {
        // A relative argument means the folder we were started in, not
        // whatever folder the list makes current. The argument stays bytes:
        // a name that is no valid text must still name its own file.
        QByteArray file = nativeArgs_[0];
        if (!file.startsWith('/')) file = startFolder_ + '/' + file;
        if (IsQStringSafe(file)) file = NativePathOf(QDir::cleanPath(DisplayPath(file)));
        struct stat st;
        const bool isDir = ::stat(file.constData(), &st) == 0 && S_ISDIR(st.st_mode);
        while (file.size() > 1 && file.endsWith('/'))
            file.chop(1);
        const qsizetype slash = file.lastIndexOf('/');
        const QByteArray folder = isDir ? file : slash <= 0 ? QByteArray("/") : file.left(slash);
        // The tree and the list know folders by text; one whose name does
        // not survive that would stand for another folder (or none).
        if (!IsQStringSafe(folder)) {
            MessageDlg(DisplayPath(folder) +
                           ": the folder's name is not valid text here, so it cannot be opened",
                       QMessageBox::Critical, QMessageBox::Ok, this);
            return;
        }
        // A folder given on the command line (as by scripts and file
        // managers) is opened itself, with nothing to show yet; the tree
        // shows it too, so that every command that works on "the folder"
        // (refresh, add folder, the tools, the folder saved at exit) means
        // this one.
        if (isDir) {
            SelectInTree(DisplayPath(folder));
            ListFolderOrSay(DisplayPath(folder));
            return;
        }
        // A folder that cannot be listed still lets its readable file show.
        ShowFileInBrowser(file);
        return;
    }
    const QString dir = ReadSetting("Directory", QDir::homePath());
    if (QFileInfo(dir).isDir()) OpenFolder(dir);
}

void TForm1::SelectInTree(const QString& folder) {
    // The caller lists it; the tree's own signal would list twice.
    const QSignalBlocker block(STV1);
    STV1->SelectFolder(folder);
}

void TForm1::ShowFileInBrowser(const QByteArray& nativePath) {
    const qsizetype slash = nativePath.lastIndexOf('/');
    const QByteArray folder = slash <= 0 ? QByteArray("/") : nativePath.left(slash);
    // Listed anew even when it is the folder shown: the file may be new.
    if (IsQStringSafe(folder)) {
        SelectInTree(DisplayPath(folder));
        ListFolderOrSay(DisplayPath(folder));
    }
    int row = -1;
    if (ListedFolder() == DisplayPath(folder))
        for (int i = 0; i < SLV1->Count() && row < 0; ++i)
            if (SLV1->NativePath(i) == nativePath) row = i;
    if (row < 0) {
        SLV1->ClearSelectionAll();
    } else {
        const QModelIndex i = SLV1->Model()->index(row, 0);
        SLV1->selectionModel()->setCurrentIndex(i, QItemSelectionModel::ClearAndSelect |
                                                       QItemSelectionModel::Rows);
        SLV1->scrollTo(i, QAbstractItemView::EnsureVisible);
    }
    // The selection shows its file; this covers a row that was selected
    // already, and a file without a row.
    if (PendingNative != nativePath || !Preview->LoadQueued()) ShowNativeInPreview(nativePath);
}

bool TForm1::OpenFolder(const QString& folder) {
    SelectInTree(folder);
    try {
        FillFileList(SLV1, folder, SB1, FileMask);
    } catch (const std::exception&) {
        return false;
    }
    SLV1->SortItems();
    return true;
}

bool TForm1::ListFolderOrSay(const QString& folder) {
    try {
        FillFileList(SLV1, folder, SB1, FileMask);
    } catch (const std::exception& e) {
        // The list must not go on naming another folder's files under this
        // folder's highlight.
        SLV1->Model()->SetItems({});
        SB1->SetPanelText(1, "0 files");
        MessageDlg(QString::fromStdString(e.what()), QMessageBox::Critical, QMessageBox::Ok, this);
        return false;
    }
    SLV1->SortItems();
    return true;
}

QStringList TForm1::ListedNames() const {
    QStringList names;
    names.reserve(SLV1->Count());
    for (int i = 0; i < SLV1->Count(); ++i) names << SLV1->Caption(i);
    return names;
}

QByteArray TForm1::SelectRow(int row) {
    SLV1->ClearSelectionAll();
    if (row < 0 || row >= SLV1->Count()) return {};
    const QModelIndex target = SLV1->model()->index(row, 0);
    QItemSelectionModel* sm = SLV1->selectionModel();
    sm->setCurrentIndex(target, QItemSelectionModel::NoUpdate);
    sm->select(target, QItemSelectionModel::Select | QItemSelectionModel::Rows);
    SLV1->scrollTo(target);
    return SLV1->NativePath(row);
}

QMetaObject::Connection TForm1::WatchSelection(QObject* receiver, std::function<void()> onChange) {
    return connect(SLV1->selectionModel(), &QItemSelectionModel::selectionChanged, receiver,
                   [onChange = std::move(onChange)] { onChange(); });
}

void TForm1::RefreshList() {
    SLV1->SortColumn = 0;
    QString folder = STV1->SelectedFolder();
    if (folder.isEmpty()) folder = ListedFolder();
    if (folder.isEmpty()) return;
    try {
        FillFileList(SLV1, folder, SB1, FileMask);
    } catch (const std::exception& e) {
        MessageDlg(QString::fromStdString(e.what()), QMessageBox::Critical, QMessageBox::Ok, this);
        return;
    }
    SLV1->SortItems();
}

void TForm1::SetViewAllFiles(bool on) {
    if (viewAll_->isChecked() != on) {
        viewAll_->setChecked(on); // re-enters through toggled
        return;
    }
    ViewAllFiles = on;
    SLV1->Model()->SetNameCaption(on ? "Name (All)" : "Name (Images)");
    RefreshList();
}

void TForm1::ChooseBackgroundColor() {
    const auto c = Prompts().ChooseColor(this, RightMain->palette().color(QPalette::Window), true);
    if (!c) return;
    QPalette pal = RightMain->palette();
    pal.setColor(QPalette::Window, *c);
    RightMain->setPalette(pal);
    ColorChanged = true;
}

int TForm1::BackgroundColorValue() const {
    return ValueFromColor(RightMain->palette().color(QPalette::Window));
}

void TForm1::ShowInPreview(const QString& fileName) {
    ShowNativeInPreview(NativePathOf(fileName));
}

void TForm1::ShowNativeInPreview(const QByteArray& nativePath) {
    PendingNative = nativePath;
    PendingFile = DisplayPath(nativePath);
    if (PreviewHook()) PreviewHook()(this, PendingFile);
    Preview->RequestLoad();
}

void TForm1::FitToPane() {
    Preview->FitToPane();
}

void TForm1::SetPreviewHook(TPreviewHook hook) {
    PreviewHook() = std::move(hook);
}

void TForm1::SaveSettings() {
    WriteSetting("LeftWidth", QString::number(LeftMain->width()));
    WriteSetting("LeftHeight", QString::number(LeftTop->height()));
    WriteSetting("Seconds", QString::number(Seconds->value()));
    QString dir = STV1->SelectedFolder();
    if (dir.isEmpty()) dir = ListedFolder();
    if (!dir.isEmpty()) WriteSetting("Directory", dir);
    WriteSetting("Left", QString::number(x()));
    WriteSetting("Top", QString::number(y()));
    WriteSetting("Width", QString::number(width()));
    WriteSetting("Height", QString::number(height()));
    if (ColorChanged) WriteSetting("BG Color", QString::number(BackgroundColorValue()));
}

void TForm1::closeEvent(QCloseEvent* e) {
    Preview->StopSlideShow();
    if (SLV1->SelCount() > 0) SLV1->ClearSelectionAll();
    SaveSettings();
    e->accept();
    if (QuitOnClose) QCoreApplication::quit();
}
