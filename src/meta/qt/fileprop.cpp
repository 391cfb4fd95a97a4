#include "meta/qt/fileprop.h"

#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

#include "browser/toolwindows.h"
#include "core/exceptions.h"
#include "meta/exif/exiffile.h"
#include "meta/exif/orientation.h"
#include "platform/prompts.h"
#include "platform/settings.h"
#include "platform/windowplace.h"
#include "view/pgimage.h"

namespace {

constexpr int kClientWidth = 364, kClientHeight = 254;
constexpr int kCaptionLeft = 21, kValueLeft = 95;
constexpr int kRowTop = 6, kRowStep = 18, kRowHeight = 16;
constexpr int kPreviewLeft = 248, kPreviewTop = 128, kPreviewWidth = 105, kPreviewHeight = 121;

QLabel* MakeLabel(QWidget* parent, int left, int top, int width) {
    auto* l = new QLabel(parent);
    // File names and texts from the file are never markup.
    l->setTextFormat(Qt::PlainText);
    l->setGeometry(left, top, width, kRowHeight);
    // The rows were laid out for a small dialog font: "GraphicCount" has to
    // fit in front of the values.
    QFont f = l->font();
    f.setPixelSize(10);
    l->setFont(f);
    QPalette pal = l->palette();
    pal.setColor(QPalette::WindowText, Qt::white);
    l->setPalette(pal);
    return l;
}

} // namespace

TfrmFileProp::TfrmFileProp(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setObjectName("TfrmFileProp");
    setWindowTitle("Image Properties");
    setFixedSize(kClientWidth, kClientHeight);

    // The background is made once: every column one colour.
    Background = new TPGImage(this);
    Background->setObjectName("PGImage1");
    Background->SetBorderStyle(bsNone);
    Background->SetStretch(sAlways);
    Background->setGeometry(0, 0, kClientWidth, kClientHeight);
    Background->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Background->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto gradient = std::make_unique<TPixelGraphic>();
    PaintFilePropBackground(*gradient, kClientWidth, kClientHeight);
    Background->TakePixelGraphic(std::move(gradient));

    const QStringList& captions = FilePropertyCaptions();
    for (int i = 0; i < captions.size(); ++i) {
        const int top = kRowTop + i * kRowStep;
        MakeLabel(this, kCaptionLeft, top, kValueLeft - kCaptionLeft)->setText(captions[i]);
        // Rows level with the preview stop short of it.
        const int right = top + kRowHeight > kPreviewTop ? kPreviewLeft - 4 : kClientWidth - 8;
        QLabel* v = MakeLabel(this, kValueLeft, top, right - kValueLeft);
        v->setObjectName(captions[i]);
        Values.push_back(v);
    }

    Preview = new TPGImage(this);
    Preview->setObjectName("PGImage2");
    Preview->SetBorderStyle(bsNone);
    Preview->SetColor(Qt::black);
    Preview->SetStretch(sAlwaysKAR);
    Preview->SetCenter(true);
    Preview->SetReadWarningAction(pgwaIgnore);
    Preview->setGeometry(kPreviewLeft, kPreviewTop, kPreviewWidth, kPreviewHeight);
    Preview->hide();

    OKButton = new QPushButton("OK", this);
    OKButton->setObjectName("OKButton");
    OKButton->setDefault(true);
    OKButton->setGeometry(kCaptionLeft, kClientHeight - 33, 75, 25);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
}

void TfrmFileProp::Fill() {
    shown_ = FileProperties(filePath_);
    const QStringList values = FilePropertyValues(shown_);
    for (size_t i = 0; i < Values.size(); ++i) {
        QLabel* l = Values[i];
        QString text = values[int(i)];
        // A long path keeps its start and its file name.
        if (i == 0) text = l->fontMetrics().elidedText(text, Qt::ElideMiddle, l->width());
        l->setText(text);
    }
    LoadPreview();
}

void TfrmFileProp::LoadPreview() {
    Preview->hide();
    if (!shown_.ShowPreview) return;
    try {
        Preview->LoadFromFile(QFile::encodeName(filePath_).toStdString());
    } catch (const Exception&) {
        // The control would keep the picture of the file before: no preview
        // rather than the wrong one. The facts above stay.
        return;
    } catch (const std::bad_alloc&) {
        return;
    }
    // Opt-in: pictures turned upright as the camera recorded them.
    if (ReadSetting("EXIF Orientation", "0") == "1") {
        const int o = ExifOrientation(QFile::encodeName(filePath_).toStdString());
        if (o != 1) {
            std::unique_ptr<TPixelGraphic> p = Preview->CopyPixelGraphic();
            ApplyExifOrientation(p, o);
            Preview->TakePixelGraphic(std::move(p));
        }
    }
    Preview->show();
}

void TfrmFileProp::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    // Callers set the path and show the dialog; the facts are read now.
    Fill();
    CentreOnScreen(this);
}

void TfrmFileProp::ShowFile(const QString& fileName) {
    SetFilePath(fileName);
    ExecDialog(this);
}

void ShowImageProperties(QWidget* parent, const QString& fileName) {
    if (TToolWindows* tools = ToolWindows())
        if (auto* d = qobject_cast<TfrmFileProp*>(tools->Find("TfrmFileProp"))) {
            d->ShowFile(fileName);
            return;
        }
    TfrmFileProp d(parent);
    d.ShowFile(fileName);
}
