#include "thumbs/qt/thumbtav.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QVBoxLayout>

#include "browser/toolwindows.h"
#include "platform/prompts.h"
#include "thumbs/thumbmaker.h"
#include "thumbs/thumbrules.h"
#include "view/pgimage.h"

TfrmThumbTav::TfrmThumbTav(QWidget* owner) : QWidget(owner, Qt::Window | Qt::WindowStaysOnTopHint) {
    setObjectName("TfrmThumbTav");
    setAttribute(Qt::WA_DeleteOnClose);
    resize(415, 449);
    auto* lay = new QVBoxLayout(this);
    lay->setContentsMargins(0, 0, 0, 0);
    PGImage1 = new TPGImage(this);
    PGImage1->setObjectName("PGImage1");
    PGImage1->SetCenter(true);
    PGImage1->SetStretch(sAlwaysKAR);
    lay->addWidget(PGImage1);
}

bool TfrmThumbTav::Open(const QString& path, int margin) {
    try {
        CheckRegularFile(path.toStdString());
        PGImage1->LoadFromFile(path.toStdString());
    } catch (const std::exception&) {
        ShowMessage("Error reading image file " + path, this);
        return false;
    }
    setWindowTitle(QFileInfo(path).fileName());
    const QSize pic(PGImage1->ImageWidth(), PGImage1->ImageHeight());
    // The fitted size the view gives the picture at the window's first size.
    const int f = 2 * PGImage1->frameWidth();
    const QSize box = QSize(415 - f, 449 - f);
    QSize fitted = pic.scaled(box, Qt::KeepAspectRatio);
    if (fitted.isEmpty()) fitted = box;
    QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
    const QRect avail = s ? s->availableGeometry() : QRect(0, 0, 1024, 768);
    resize(ViewImageClientSize(pic, fitted, avail.size(), margin));
    move(avail.center() - rect().center());
    return true;
}

TfrmThumbTav* ShowViewImage(const QString& path, int margin, QWidget* owner) {
    if (!owner && ToolWindows()) owner = ToolWindows()->Find("TfrmThumbnails");
    auto* w = new TfrmThumbTav(owner);
    if (!w->Open(path, margin)) {
        delete w;
        return nullptr;
    }
    w->show();
    w->raise();
    return w;
}
