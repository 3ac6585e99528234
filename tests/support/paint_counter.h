// Counts the paint events a widget receives, for measuring how soon a window repaints.
#pragma once

#include <QEvent>
#include <QObject>
#include <QWidget>

class PaintCounter : public QObject {
  public:
    explicit PaintCounter(QWidget* w) : widget_(w) { w->installEventFilter(this); }
    ~PaintCounter() override { widget_->removeEventFilter(this); }
    PaintCounter(const PaintCounter&) = delete;
    PaintCounter& operator=(const PaintCounter&) = delete;
    int count() const { return count_; }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == widget_ && event->type() == QEvent::Paint) ++count_;
        return false;
    }

  private:
    QWidget* widget_;
    int count_ = 0;
};
