#pragma once
// A status bar of fixed-width text panels, with the load indicator.

#include <QLabel>
#include <QStatusBar>
#include <vector>

// The small red lamp lit while the preview loads a file.
class TLed : public QWidget {
    Q_OBJECT
  public:
    explicit TLed(QWidget* parent = nullptr);
    bool Lit() const { return lit_; }
    void SetLit(bool on);
    QSize sizeHint() const override { return {14, 14}; }

  protected:
    void paintEvent(QPaintEvent*) override;

  private:
    bool lit_ = false;
};

class TPanelStatusBar : public QStatusBar {
    Q_OBJECT
  public:
    struct Panel {
        int width; // 0 = takes the rest
        Qt::Alignment align;
    };
    TPanelStatusBar(const std::vector<Panel>& panels, QWidget* parent = nullptr);

    int PanelCount() const { return int(labels_.size()); }
    QLabel* PanelLabel(int i) const { return labels_.at(i); }
    QString PanelText(int i) const { return labels_.at(i)->text(); }
    void SetPanelText(int i, const QString& text);

  private:
    std::vector<QLabel*> labels_;
};
