#include "browser/previewcontrols.h"

#include <QMovie>
#include <QPainter>

#include "browser/aviheader.h"

TImageBox::TImageBox(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TImageBox::SetPicture(const QImage& image) {
    image_ = image;
    update();
}

void TImageBox::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (image_.isNull())
        p.fillRect(rect(), palette().color(QPalette::Window));
    else
        p.drawImage(rect(), image_);
}

TGIFImage::TGIFImage(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

TGIFImage::~TGIFImage() = default;

bool TGIFImage::Load(const QString& path) {
    movie_.reset();
    size_ = {};
    frames_ = 0;
    auto m = std::make_unique<QMovie>(path, QByteArray("gif"));
    if (!m->isValid() || !m->jumpToFrame(0) || m->currentImage().isNull()) {
        update();
        return false;
    }
    size_ = m->currentImage().size();
    frames_ = std::max(1, m->frameCount());
    m->setCacheMode(QMovie::CacheNone);
    connect(m.get(), &QMovie::frameChanged, this, [this] { update(); });
    // Endless loop, whatever loop count the file asks for.
    connect(m.get(), &QMovie::finished, this, [this] {
        if (movie_) movie_->start();
    });
    movie_ = std::move(m);
    update();
    return true;
}

bool TGIFImage::Animate() const {
    return movie_ && movie_->state() == QMovie::Running;
}

void TGIFImage::SetAnimate(bool on) {
    if (!movie_ || on == Animate()) return;
    if (on)
        movie_->start();
    else
        movie_->setPaused(true);
}

void TGIFImage::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QImage img = movie_ ? movie_->currentImage() : QImage();
    if (img.isNull())
        p.fillRect(rect(), palette().color(QPalette::Window));
    else
        p.drawImage(rect(), img);
}

TAVIPlayer::TAVIPlayer(QWidget* parent) : QWidget(parent) {
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::black);
    setPalette(pal);
    setAutoFillBackground(true);
}

bool TAVIPlayer::Open(const QString& path) {
    Stop();
    fileName_.clear();
    frame_ = {};
    const auto s = ReadAviFrameSize(path);
    if (!s) return false;
    fileName_ = path;
    frame_ = *s;
    return true;
}

void TAVIPlayer::Play() {
    playing_ = !fileName_.isEmpty();
}

void TAVIPlayer::Stop() {
    playing_ = false;
}

QImage TGIFImage::CurrentFrame() const {
    return movie_ ? movie_->currentImage() : QImage();
}
