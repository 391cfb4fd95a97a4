#include "browser/statusbar.h"

#include <QHBoxLayout>
#include <QPainter>

#include "platform/plaintext.h"

TLed::TLed(QWidget* parent) : QWidget(parent) {
    setFixedSize(14, 14);
}

void TLed::SetLit(bool on) {
    if (lit_ == on) return;
    lit_ = on;
    update();
}

void TLed::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QColor(80, 0, 0));
    p.setBrush(lit_ ? QColor(255, 0, 0) : QColor(96, 24, 24));
    p.drawEllipse(QRectF(1.5, 1.5, width() - 3, height() - 3));
}

TPanelStatusBar::TPanelStatusBar(const std::vector<Panel>& panels, QWidget* parent)
    : QStatusBar(parent) {
    setSizeGripEnabled(true);
    for (const Panel& p : panels) {
        auto* l = new QLabel(this);
        // Panels show file names: as written, never as markup.
        MakePlainText(l);
        l->setFrameShape(QFrame::StyledPanel);
        l->setFrameShadow(QFrame::Sunken);
        l->setAlignment(p.align | Qt::AlignVCenter);
        if (p.width > 0) l->setFixedWidth(p.width);
        addWidget(l, p.width > 0 ? 0 : 1);
        labels_.push_back(l);
    }
}

void TPanelStatusBar::SetPanelText(int i, const QString& text) {
    SetPlainText(labels_.at(i), text);
}
