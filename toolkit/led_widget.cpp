#include "toolkit/led_widget.h"

#include <QPainter>
#include <QRadialGradient>

namespace ombrastel {

Led::Led(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::NoFocus);
    setAccessibleDescription(QStringLiteral("off"));
}

void Led::setLit(bool lit) {
    if (lit == lit_) return;
    lit_ = lit;
    setAccessibleDescription(lit_ ? QStringLiteral("on") : QStringLiteral("off"));
    update();
}

void Led::setOnColor(const QColor& color) {
    onColor_ = color;
    update();
}

void Led::paintEvent(QPaintEvent* /*event*/) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const int side = std::min(width(), height()) - 2;
    const QRectF r((width() - side) / 2.0, (height() - side) / 2.0, side, side);
    const QColor base = lit_ ? onColor_ : QColor(60, 70, 60);
    QRadialGradient g(r.center() - QPointF(side / 5.0, side / 5.0), side * 0.7);
    g.setColorAt(0.0, base.lighter(lit_ ? 170 : 130));
    g.setColorAt(1.0, base);
    p.setPen(QPen(QColor(40, 40, 40), 1.0));
    p.setBrush(g);
    p.drawEllipse(r);
}

}  // namespace ombrastel
