#include "browser/previewcontrols.h"

#include <QFile>
#include <QMovie>
#include <QPainter>
#include <QTimer>

#include "browser/aviheader.h"
#include "browser/clipplayer.h"
#include "core/stream.h"
#include "formats/webp.h"
#include "platform/safeopen.h"

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

TGIFImage::TGIFImage(QWidget* parent) : QWidget(parent), webpTimer_(new QTimer(this)) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    webpTimer_->setSingleShot(true);
    connect(webpTimer_, &QTimer::timeout, this, [this] {
        try {
            NextWebPFrame();
        } catch (const std::exception&) {
            // A damaged frame ends the play on the last good one.
            playing_ = false;
        }
    });
}

TGIFImage::~TGIFImage() = default;

bool TGIFImage::Load(const QString& path) {
    return Load(NativePathOf(path));
}

bool TGIFImage::Load(const QByteArray& nativePath) {
    movie_.reset();
    file_.reset();
    webpTimer_->stop();
    playing_ = false;
    webp_.reset();
    webpFrame_ = QImage();
    size_ = {};
    frames_ = 0;
    if (IsAnimatedWebPFile(nativePath.toStdString())) return LoadWebP(nativePath);
    // QMovie opening a name itself would block on a FIFO and open the wrong
    // file for a name that is no valid text: it gets the open file instead.
    auto file = std::make_unique<QFile>();
    if (!OpenRegularQFile(*file, nativePath, QIODevice::ReadOnly)) {
        update();
        return false;
    }
    auto m = std::make_unique<QMovie>(file.get(), QByteArray("gif"));
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
    file_ = std::move(file);
    update();
    return true;
}

bool TGIFImage::LoadWebP(const QByteArray& nativePath) {
    try {
        TFileStream file(nativePath.toStdString(), TFileStream::OpenRead);
        webp_ = std::make_unique<TWebPAnimation>(file);
        NextWebPFrame();
    } catch (const std::exception&) {
        webp_.reset();
        webpFrame_ = QImage();
        update();
        return false;
    }
    size_ = webpFrame_.size();
    frames_ = std::max(1, webp_->FrameCount());
    update();
    return true;
}

void TGIFImage::NextWebPFrame() {
    if (!webp_) return;
    int duration = 0;
    const uint8_t* canvas = webp_->NextFrame(duration);
    webpFrame_ = QImage(canvas, webp_->Width(), webp_->Height(), webp_->Width() * 4,
                        QImage::Format_RGBA8888)
                     .copy();
    // Frames that ask for (almost) no time show as web browsers show them,
    // for a tenth of a second, instead of spinning the processor.
    webpDelay_ = duration <= 10 ? 100 : duration;
    update();
    if (playing_) webpTimer_->start(webpDelay_);
}

bool TGIFImage::Animate() const {
    if (webp_) return playing_;
    return movie_ && movie_->state() == QMovie::Running;
}

void TGIFImage::SetAnimate(bool on) {
    if (webp_) {
        playing_ = on && frames_ > 1;
        if (playing_)
            webpTimer_->start(webpDelay_);
        else
            webpTimer_->stop();
        return;
    }
    if (!movie_ || on == Animate()) return;
    if (on)
        movie_->start();
    else
        movie_->setPaused(true);
}

void TGIFImage::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QImage img = webp_ ? webpFrame_ : movie_ ? movie_->currentImage() : QImage();
    // Transparent pixels show the pane's colour.
    if (img.isNull() || (webp_ && img.hasAlphaChannel())) p.fillRect(rect(), palette().color(QPalette::Window));
    if (!img.isNull()) p.drawImage(rect(), img);
}

TAVIPlayer::TAVIPlayer(QWidget* parent) : QWidget(parent), player_(new TClipPlayer(this)) {
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::black);
    setPalette(pal);
    setAutoFillBackground(true);
    connect(player_, &TClipPlayer::FrameChanged, this, qOverload<>(&QWidget::update));
}

bool TAVIPlayer::Open(const QString& path) {
    return Open(NativePathOf(path));
}

bool TAVIPlayer::Open(const QByteArray& nativePath) {
    Stop();
    fileName_.clear();
    frame_ = {};
    const auto s = ReadAviFrameSize(nativePath);
    if (!s) return false;
    fileName_ = DisplayPath(nativePath);
    native_ = nativePath;
    frame_ = *s;
    return true;
}

void TAVIPlayer::Play() {
    playing_ = !fileName_.isEmpty();
    // Frames we cannot decode leave the black box of the clip's size.
    if (playing_ && player_->Open(native_)) player_->Start();
}

void TAVIPlayer::Stop() {
    playing_ = false;
    player_->Stop();
    update();
}

void TAVIPlayer::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Qt::black);
    if (!player_->CurrentFrame().isNull()) p.drawImage(rect(), player_->CurrentFrame());
}

QImage TGIFImage::CurrentFrame() const {
    if (webp_) return webpFrame_;
    return movie_ ? movie_->currentImage() : QImage();
}
