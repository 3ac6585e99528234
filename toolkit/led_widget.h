// A small round indicator: lit or dark. Its accessible description says "on" or "off".
#pragma once

#include <QWidget>

namespace ombrastel {

class Led : public QWidget {
    Q_OBJECT
    Q_PROPERTY(bool lit READ lit WRITE setLit)
    Q_PROPERTY(QColor onColor READ onColor WRITE setOnColor)

  public:
    explicit Led(QWidget* parent = nullptr);

    bool lit() const { return lit_; }
    void setLit(bool lit);
    QColor onColor() const { return onColor_; }
    void setOnColor(const QColor& color);

    QSize sizeHint() const override { return {16, 16}; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    bool lit_ = false;
    QColor onColor_{40, 200, 40};
};

}  // namespace ombrastel
