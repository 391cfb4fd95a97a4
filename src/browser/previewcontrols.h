#pragma once
// The preview's display controls besides the image view control: the plain
// picture box (Image1, icons and metafiles), the animation control
// (GIFImage1: GIF and animated WebP files) and the clip player (AVIPlay1). Each stretches what it shows
// to its own size.

#include <QImage>
#include <QString>
#include <QWidget>
#include <memory>

class QFile;
class QMovie;
class QTimer;
class TWebPAnimation;

// Shows one bitmap stretched to the control, without smoothing.
class TImageBox : public QWidget {
    Q_OBJECT
  public:
    explicit TImageBox(QWidget* parent = nullptr);
    void SetPicture(const QImage& image);
    const QImage& Picture() const { return image_; }

  protected:
    void paintEvent(QPaintEvent* e) override;

  private:
    QImage image_;
};

// Plays a GIF or animated WebP file's frames with their delays, looping for
// ever while its animation is on; with the animation off it shows the
// current frame.
class TGIFImage : public QWidget {
    Q_OBJECT
  public:
    explicit TGIFImage(QWidget* parent = nullptr);
    ~TGIFImage() override;
    // Opens `path` and shows its first frame; false when it is no GIF or
    // animated WebP that can be shown (the control then shows nothing).
    bool Load(const QString& path);
    // The same for a file named by its file-system bytes; only a regular
    // file is opened, and the control reads from that open file.
    bool Load(const QByteArray& nativePath);
    QSize PictureSize() const { return size_; }
    int FrameCount() const { return frames_; }
    // The frame on screen now (null when nothing is shown).
    QImage CurrentFrame() const;
    bool Animate() const;
    void SetAnimate(bool on);

  protected:
    void paintEvent(QPaintEvent* e) override;

  private:
    bool LoadWebP(const QByteArray& nativePath);
    // Shows the next frame of the WebP animation and times the one after.
    void NextWebPFrame();

    std::unique_ptr<QFile> file_; // what movie_ reads from; outlives it
    std::unique_ptr<QMovie> movie_;
    std::unique_ptr<TWebPAnimation> webp_;
    QTimer* webpTimer_;
    QImage webpFrame_;
    int webpDelay_ = 0; // how long webpFrame_ shows, ms
    bool playing_ = false;
    QSize size_;
    int frames_ = 0;
};

// The clip player. The clip's frame size comes from its header; without a
// media back end the player is a black box of that size.
class TClipPlayer;

// Plays a clip stretched to the control on black, looping while shown; a
// clip whose frames we cannot decode stays a black box of its size.
class TAVIPlayer : public QWidget {
    Q_OBJECT
  public:
    explicit TAVIPlayer(QWidget* parent = nullptr);
    // Opens `path`; false when it has no readable AVI header.
    bool Open(const QString& path);
    bool Open(const QByteArray& nativePath);
    // The player of the frames (for the checks).
    TClipPlayer* Player() const { return player_; }
    QSize FrameSize() const { return frame_; }
    const QString& FileName() const { return fileName_; }
    void Play();
    void Stop();
    bool Playing() const { return playing_; }

  private:
    void paintEvent(QPaintEvent* e) override;

    QString fileName_;
    QByteArray native_; // the clip's path as the file system has it
    QSize frame_;
    bool playing_ = false;
    TClipPlayer* player_;
};
