#include "browser/toolwindows.h"

namespace {

std::map<QString, TToolWindowFactory>& Factories() {
    static std::map<QString, TToolWindowFactory> f;
    return f;
}

TToolWindows* g_tools = nullptr;

// The window that stands in for a tool not built yet: it has the tool's
// class name and caption so the rest of the program can find it.
class TPendingToolWindow : public QWidget {
  public:
    TPendingToolWindow() : QWidget(nullptr, Qt::Window) {}
};

} // namespace

const std::vector<TToolWindowInfo>& ToolWindowOrder() {
    static const std::vector<TToolWindowInfo> order = {
        {"TfSelectFiles", "TavMover"},
        {"TfAbout", "About Tavirlo"},
        {"TfPrefs", "Preferences"},
        {"TfRename", "Rename File"},
        {"TFileAttrForm", "File attributes"},
        {"TfDirAdd", "Add New Folder"},
        {"TfSearch", "File Search"},
        {"TfAPrefs", "Frame Setup"},
        {"TfBMEdit", "Edit Bookmarks"},
        {"TfAlbum", "Tavirlo TavAlbum Maker"},
        {"TfrmEdit", "Caption"},
        {"TfrmAcquire", "Tavirlo Image Editor"},
        {"TfrmFileSaveOptions", "File Save Options"},
        {"TfRotate", "Rotate Degrees"},
        {"TfrmBorder", "Border Options"},
        {"TfrmColorRez", "Color Resolution"},
        {"TfrmFileProp", "Image Properties"},
        {"TfrmResize", "Resize"},
        {"TfrmNewEFX", "Effects"},
        {"TfrmConvert", "TavConverter- Original Size Mode"},
        {"TfrmGIFTrans", "GIF Transparency Selector"},
        {"TfrmThumbnails", "Thumbnail Explorer"},
        {"TfrmSaveThumbnail", "Save Thumbnail"},
        {"TfrmThumbTavOptions", "ThumbTav Options"},
        {"TfrmThumbEdit", "ThumbTav Creator"},
        {"TfrmSelectFolder", "Select Folder"},
        {"TfrmPubWizard", "TavAlbum Web Publishing Wizard"},
        {"TfrmRedEyeReduction", "Red Eye Reduction"},
        {"TfrmBarrel", "Radial Adjustment (Barrel Distortion)"},
        {"TfrmIncRename", "Incremental File Rename"},
        {"TfrmEXIF", "EXIF Data"},
    };
    return order;
}

TToolWindows::~TToolWindows() {
    if (g_tools == this) g_tools = nullptr;
    for (QWidget* w : windows_)
        delete w;
}

void TToolWindows::RegisterFactory(const QString& className, TToolWindowFactory f) {
    Factories()[className] = std::move(f);
}

bool TToolWindows::HasFactory(const QString& className) {
    return Factories().count(className) != 0;
}

void TToolWindows::CreateAll() {
    for (const TToolWindowInfo& info : ToolWindowOrder()) {
        const QString name = info.className;
        if (byName_.count(name)) continue;
        QWidget* w = nullptr;
        if (auto it = Factories().find(name); it != Factories().end()) w = it->second();
        if (!w) {
            w = new TPendingToolWindow;
            w->setWindowTitle(info.caption);
        }
        w->setObjectName(name);
        // Tool windows never keep the program alive: closing the main window ends it.
        w->setAttribute(Qt::WA_QuitOnClose, false);
        w->hide();
        windows_.push_back(w);
        byName_[name] = w;
    }
}

QWidget* TToolWindows::Find(const QString& className) const {
    auto it = byName_.find(className);
    return it == byName_.end() ? nullptr : it->second;
}

bool TToolWindows::IsReal(const QString& className) const {
    QWidget* w = Find(className);
    return w && !dynamic_cast<TPendingToolWindow*>(w);
}

TToolWindows* ToolWindows() {
    return g_tools;
}
void SetToolWindows(TToolWindows* t) {
    g_tools = t;
}
