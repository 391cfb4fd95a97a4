#include "album/qt/pubwizard.h"

#include <QWidgetAction>

#include <QToolButton>

#include <QMenu>

#include <QGridLayout>

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QDesktopServices>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "album/qt/albumform.h"
#include "browser/help.h"
#include "browser/helptopics.h"
#include "platform/prompts.h"
#include "platform/waitcursor.h"
#include "thumbs/outfolder.h"

namespace {

QWidget* Page(QStackedWidget* pages, const QString& explanation, QLayout*& body) {
    auto* w = new QWidget(pages);
    auto* v = new QVBoxLayout(w);
    auto* text = new QLabel(explanation, w);
    text->setWordWrap(true);
    v->addWidget(text);
    auto* inner = new QFormLayout;
    v->addLayout(inner);
    v->addStretch();
    pages->addWidget(w);
    body = inner;
    return w;
}

QSpinBox* Spin(QWidget* parent, int lo, int hi, int step, int value, bool readOnly = false) {
    auto* s = new QSpinBox(parent);
    s->setRange(lo, hi);
    s->setSingleStep(step);
    s->setValue(value);
    // Read-only edits: the arrows change the value.
    if (readOnly) s->findChild<QLineEdit*>()->setReadOnly(true);
    return s;
}

} // namespace

std::function<void(const QUrl&)>& TfrmPubWizard::Opener() {
    static std::function<void(const QUrl&)> open = [](const QUrl& u) {
        QDesktopServices::openUrl(u);
    };
    return open;
}

TfrmPubWizard::TfrmPubWizard(QWidget* parent) : QDialog(parent) {
    setObjectName("frmPubWizard");
    setWindowTitle("TavAlbum Web Publishing Wizard");
    auto* box = new QVBoxLayout(this);
    Pages = new QStackedWidget(this);
    box->addWidget(Pages, 1);
    QLayout* l = nullptr;

    QWidget* p1 = Page(Pages,
                       "Choose the size of the thumbnails, how many go on each page, and the "
                       "largest size of the pictures they link to.",
                       l);
    auto* f1 = static_cast<QFormLayout*>(l);
    ThumbnailSize = Spin(p1, 32, 256, 4, 96);
    Columns = Spin(p1, 1, 100, 1, 3);
    Rows = Spin(p1, 1, 100, 1, 2);
    MaxSize = Spin(p1, 40, 2000, 10, 2000);
    ShowFrames = new QCheckBox("Show Frames", p1);
    PageCount = new QLabel(p1);
    PageCount->setObjectName("PageCount");
    f1->addRow("Thumbnail Size", ThumbnailSize);
    f1->addRow("Columns", Columns);
    f1->addRow("Rows", Rows);
    f1->addRow("Max Size", MaxSize);
    f1->addRow(ShowFrames);
    f1->addRow(PageCount);

    QWidget* p2 = Page(Pages,
                       "Choose the quality of the pictures written, and whether resized "
                       "pictures are sharpened.",
                       l);
    auto* f2 = static_cast<QFormLayout*>(l);
    Quality = new QSlider(Qt::Horizontal, p2);
    Quality->setRange(10, 100);
    auto* qrow = new QHBoxLayout;
    qrow->addWidget(new QLabel("Lowest", p2));
    qrow->addWidget(Quality);
    qrow->addWidget(new QLabel("Highest", p2));
    f2->addRow("Image Quality", qrow);
    AutoSharpen = new QCheckBox("Auto Sharpen", p2);
    AutoSharpen->setChecked(true);
    SharpenAmount = new QSlider(Qt::Horizontal, p2);
    SharpenAmount->setRange(40, 80);
    Progressive = new QCheckBox("Progressive Display", p2);
    Progressive->setChecked(true);
    f2->addRow(AutoSharpen);
    f2->addRow("Sharpening Amount", SharpenAmount);
    f2->addRow(Progressive);
    WebP = new QCheckBox("WebP Thumbnails (JPEG for older browsers)", p2);
    WebP->setObjectName("WebP");
    WebP->setToolTip("Thumbnails are also written as smaller WebP files; browsers that "
                     "cannot show them get the JPEG ones");
    f2->addRow(WebP);
    connect(AutoSharpen, &QCheckBox::toggled, SharpenAmount, &QWidget::setEnabled);

    QWidget* p3 = Page(Pages,
                       "Choose the text under each thumbnail and the folder that receives "
                       "the pages and pictures; upload that folder to your web site.",
                       l);
    auto* f3 = static_cast<QFormLayout*>(l);
    auto* captions = new QGroupBox("Caption Options", p3);
    auto* cl = new QHBoxLayout(captions);
    const char* names[3] = {"None", "Filename", "Caption"};
    for (int i = 0; i < 3; ++i) {
        Caption[i] = new QRadioButton(names[i], captions);
        cl->addWidget(Caption[i]);
        connect(Caption[i], &QRadioButton::clicked, this, [this, i] {
            if (prefs_) prefs_->CaptionOptions->button(i)->setChecked(true);
        });
    }
    Caption[0]->setChecked(true);
    f3->addRow(captions);
    OutputFolder = new QLineEdit(QDir(QDir::homePath()).filePath("MyAlbum"), p3);
    OutputFolder->setObjectName("OutputFolder");
    auto* browse = new QPushButton("...", p3);
    auto* frow = new QHBoxLayout;
    frow->addWidget(OutputFolder, 1);
    frow->addWidget(browse);
    f3->addRow(frow);
    connect(browse, &QPushButton::clicked, this, [this] {
        const QString d = Prompts().ExistingDirectory(this, "Output folder", OutputFolder->text());
        if (!d.isEmpty()) OutputFolder->setText(d);
    });
    connect(OutputFolder, &QLineEdit::editingFinished, this, [this] { MakeFolder(false); });

    QWidget* p4 = Page(Pages, "Name the page and give it a title, a heading and a footer.", l);
    auto* f4 = static_cast<QFormLayout*>(l);
    PageName = new QLineEdit("myphotos.html", p4);
    PageName->setObjectName("PageName");
    Title = new QLineEdit(p4);
    Header = new QLineEdit(p4);
    Footer = new QLineEdit(p4);
    f4->addRow("Page Name", PageName);
    f4->addRow("Title :", Title);
    f4->addRow("Header :", Header);
    f4->addRow("Footer :", Footer);

    QWidget* p5 = Page(Pages, "Choose the page's colours, or a picture to tile behind it.", l);
    auto* f5 = static_cast<QFormLayout*>(l);
    BackgroundColor = new QPushButton(p5);
    TextColor = new QPushButton(p5);
    BackgroundColor->setObjectName("BackgroundColor");
    TextColor->setObjectName("TextColor");
    f5->addRow("Background Color", BackgroundColor);
    f5->addRow("Text Color", TextColor);
    SetColour(BackgroundColor, background_);
    SetColour(TextColor, text_);
    AttachPalette(BackgroundColor, &background_);
    AttachPalette(TextColor, &text_);
    BackgroundImage = new QLineEdit(p5);
    auto* pick = new QPushButton("...", p5);
    auto* brow = new QHBoxLayout;
    brow->addWidget(BackgroundImage, 1);
    brow->addWidget(pick);
    f5->addRow(brow);
    UseBackgroundImage = new QCheckBox("Use Background Image File", p5);
    f5->addRow(UseBackgroundImage);
    connect(pick, &QPushButton::clicked, this, [this] {
        TFileDialogRequest q;
        q.caption = "Background";
        q.filter = "JPG - JPEG (JFIF compliant) (*.jpg);;GIF - Graphic Interchange Format (*.gif);;"
                   "PNG - Portable Network Graphics (*.png)";
        const QString f = Prompts().OpenFileName(this, q, nullptr);
        if (!f.isEmpty()) BackgroundImage->setText(f);
    });

    QWidget* p6 = Page(Pages, "Congratulations! Click Next to make the album.", l);
    auto* f6 = static_cast<QFormLayout*>(l);
    DisplayResults = new QCheckBox("Display results in your Web Browser when finished", p6);
    DisplayResults->setChecked(true);
    Progress = new QProgressBar(p6);
    f6->addRow(DisplayResults);
    f6->addRow(Progress);

    auto* buttons = new QHBoxLayout;
    HelpBtn = new QPushButton("Help", this);
    BackBtn = new QPushButton("<&Back", this);
    BackBtn->setObjectName("BackBtn");
    NextBtn = new QPushButton("&Next>", this);
    NextBtn->setObjectName("NextBtn");
    CloseBtn = new QPushButton("Close", this);
    CloseBtn->setObjectName("CloseBtn");
    buttons->addWidget(HelpBtn);
    buttons->addStretch();
    buttons->addWidget(BackBtn);
    buttons->addWidget(NextBtn);
    buttons->addWidget(CloseBtn);
    box->addLayout(buttons);
    connect(HelpBtn, &QPushButton::clicked, this, [] { ShowHelpContext(hcPublishing); });
    connect(BackBtn, &QPushButton::clicked, this, [this] { Back(); });
    connect(NextBtn, &QPushButton::clicked, this, [this] { Next(); });
    connect(CloseBtn, &QPushButton::clicked, this, &QDialog::reject);
    for (QSpinBox* s : {Columns, Rows})
        connect(s, &QSpinBox::valueChanged, this, [this] {
            if (prefs_) {
                // The album's own controls keep at most 6.
                prefs_->Cols->setValue(Columns->value());
                prefs_->Rows->setValue(Rows->value());
            }
            UpdatePageCount();
        });
    connect(ShowFrames, &QCheckBox::clicked, this, [this](bool on) {
        if (prefs_) prefs_->PrintFrames->setChecked(on);
    });
}

// The colour buttons drop down 4 rows of 5 fixed colours (the 20 colours a
// display always has) and "&Other" for any colour.
void TfrmPubWizard::AttachPalette(QPushButton* button, TRGB* colour) {
    static const TRGB kColours[20] = {
        RGB(0, 0, 0),       RGB(128, 0, 0),     RGB(0, 128, 0),   RGB(128, 128, 0),
        RGB(0, 0, 128),     RGB(128, 0, 128),   RGB(0, 128, 128), RGB(192, 192, 192),
        RGB(192, 220, 192), RGB(166, 202, 240), RGB(255, 251, 240), RGB(160, 160, 164),
        RGB(128, 128, 128), RGB(255, 0, 0),     RGB(0, 255, 0),   RGB(255, 255, 0),
        RGB(0, 0, 255),     RGB(255, 0, 255),   RGB(0, 255, 255), RGB(255, 255, 255)};
    auto* menu = new QMenu(button);
    menu->setObjectName(button->objectName() + "Palette");
    auto* grid = new QWidget(menu);
    auto* g = new QGridLayout(grid);
    g->setSpacing(2);
    g->setContentsMargins(4, 4, 4, 4);
    for (int i = 0; i < 20; ++i) {
        const TRGB c = kColours[i];
        auto* swatch = new QToolButton(grid);
        swatch->setObjectName(QString("Colour%1").arg(i));
        swatch->setFixedSize(20, 20);
        swatch->setAutoRaise(false);
        swatch->setToolTip("#" + PublishColor(c));
        swatch->setStyleSheet(
            QString("QToolButton { background-color: #%1; border: 1px solid #808080; }"
                    "QToolButton:hover { border: 2px solid palette(highlight); }")
                .arg(PublishColor(c)));
        connect(swatch, &QToolButton::clicked, this, [this, menu, button, colour, c] {
            *colour = c;
            SetColour(button, c);
            menu->close();
        });
        g->addWidget(swatch, i / 5, i % 5);
    }
    auto* palette = new QWidgetAction(menu);
    palette->setDefaultWidget(grid);
    menu->addAction(palette);
    menu->addSeparator();
    QAction* other = menu->addAction("&Other");
    other->setObjectName(button->objectName() + "Other");
    connect(other, &QAction::triggered, this, [this, button, colour] {
        if (auto c = Prompts().ChooseColor(
                this, QColor(GetRValue(*colour), GetGValue(*colour), GetBValue(*colour)), true)) {
            *colour = RGB(c->red(), c->green(), c->blue());
            SetColour(button, *colour);
        }
    });
    button->setMenu(menu);
}

void TfrmPubWizard::SetColour(QPushButton* b, TRGB c) {
    b->setStyleSheet(QString("background-color: #%1;").arg(PublishColor(c)));
}

int TfrmPubWizard::Run(const std::vector<TAlbumEntry>& entries, TfAPrefs* prefs) {
    entries_ = entries;
    prefs_ = prefs;
    Pages->setCurrentIndex(0);
    if (prefs_) {
        const QSignalBlocker b1(Columns), b2(Rows);
        Columns->setValue(prefs_->Cols->value());
        Rows->setValue(prefs_->Rows->value());
        ShowFrames->setChecked(prefs_->PrintFrames->isChecked());
        Caption[std::clamp(prefs_->CaptionOptions->checkedId(), 0, 2)]->setChecked(true);
    }
    Quality->setValue(80);
    SharpenAmount->setValue(60);
    BackBtn->setEnabled(true);
    NextBtn->setEnabled(true);
    UpdatePageCount();
    return ExecDialog(this);
}

void TfrmPubWizard::UpdatePageCount() {
    PageCount->setText(PublishPageCountText(
        PublishPageCount(int(entries_.size()), Columns->value(), Rows->value())));
}

bool TfrmPubWizard::MakeFolder(bool quiet) {
    folderProblem_ = OutputFolderProblem(OutputFolder->text(), true);
    if (folderProblem_.isEmpty()) return true;
    if (!quiet) {
        ShowMessage(folderProblem_, this);
        OutputFolder->setFocus();
    }
    return false;
}

TPublishSettings TfrmPubWizard::Settings() const {
    TPublishSettings s;
    s.thumbnailSize = ThumbnailSize->value();
    s.columns = Columns->value();
    s.rows = Rows->value();
    s.maxSize = MaxSize->value();
    s.showFrames = ShowFrames->isChecked();
    s.quality = Quality->value();
    s.autoSharpen = AutoSharpen->isChecked();
    s.sharpenAmount = SharpenAmount->value();
    s.progressive = Progressive->isChecked();
    s.webp = WebP->isChecked();
    for (int i = 0; i < 3; ++i)
        if (Caption[i]->isChecked()) s.captionOption = i;
    s.folder = OutputFolder->text();
    s.pageName = PageName->text();
    s.title = Title->text();
    s.header = Header->text();
    s.footer = Footer->text();
    s.background = background_;
    s.text = text_;
    s.backgroundImage = BackgroundImage->text();
    s.useBackgroundImage = UseBackgroundImage->isChecked();
    return s;
}

void TfrmPubWizard::Back() {
    if (Pages->currentIndex() > 0) Pages->setCurrentIndex(Pages->currentIndex() - 1);
}

void TfrmPubWizard::Next() {
    const int page = Pages->currentIndex();
    if (page == 2) {
        if (MakeFolder(false)) Pages->setCurrentIndex(3);
        return;
    }
    if (page == 3 && PublishPageBase(PageName->text()).isEmpty()) {
        ShowMessage("Invalid page name", this);
        return;
    }
    if (page < 5) {
        Pages->setCurrentIndex(page + 1);
        return;
    }
    PublishNow();
}

void TfrmPubWizard::PublishNow() {
    BackBtn->setEnabled(false);
    NextBtn->setEnabled(false);
    if (entries_.empty()) {
        ShowMessage("You need to have some image files added to the Album list!", this);
        QDialog::reject();
        return;
    }
    if (!MakeFolder(true)) {
        ShowMessage(folderProblem_, this);
        BackBtn->setEnabled(true);
        NextBtn->setEnabled(true);
        Pages->setCurrentIndex(2);
        return;
    }
    // A snapshot of entries and settings: nothing may change under the run.
    const std::vector<TAlbumEntry> entries = entries_;
    const TPublishSettings settings = Settings();
    Progress->setRange(0, int(entries.size()));
    Progress->setValue(0);
    running_ = true;
    cancel_ = false;
    TWaitCursor wait;
    const TPublishResult r = Publish(entries, settings, [this](int done) {
        Progress->setValue(done);
        Progress->repaint();
        // Close and Esc stay live: they stop the run after this picture.
        QCoreApplication::processEvents();
        return !cancel_;
    });
    wait.Restore();
    running_ = false;
    // A finished run leaves the bar full.
    if (!r.cancelled) Progress->setValue(Progress->maximum());
    // Everything that went wrong in one message, never one box per picture.
    if (!r.messages.isEmpty()) {
        QStringList shown = r.messages.mid(0, 10);
        if (r.messages.size() > 10)
            shown << QString("... and %1 more").arg(r.messages.size() - 10);
        ShowMessage(shown.join("\n"), this);
    }
    if (!r.cancelled && !r.firstPage.isEmpty() && DisplayResults->isChecked())
        Opener()(QUrl::fromLocalFile(r.firstPage));
    BackBtn->setEnabled(true);
    NextBtn->setEnabled(true);
    if (cancel_) QDialog::reject();
}

void TfrmPubWizard::reject() {
    if (running_) {
        cancel_ = true; // closes once the picture being written is done
        return;
    }
    QDialog::reject();
}
