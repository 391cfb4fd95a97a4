#pragma once
// The start-up picture: borderless, on top, centred, 596 x 147. It closes
// itself two seconds after the event loop starts, so it covers the creation
// of every window and a moment more.

#include <QWidget>

class TSplash : public QWidget {
    Q_OBJECT
  public:
    TSplash();
    // Shows the splash and paints it before anything else is created, then
    // arms the close timer to start with the event loop.
    void ShowNow();
    static constexpr int kDelayMs = 2000;

  protected:
    void paintEvent(QPaintEvent*) override;
};
