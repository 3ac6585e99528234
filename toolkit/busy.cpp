// Busy while a sequence runs on the link thread: the window paints, the wait cursor shows,
// the operator's input to the panel is dropped, and Cancel is offered; and the waits.
#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QKeyEvent>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QToolTip>
#include <chrono>
#include <memory>

#include "platform/link_thread.h"
#include "toolkit/panel_table.h"

namespace ui {

using namespace detail;

void Delay(double seconds) {
    linkthread::Delay(seconds);
}

namespace {

struct BusyState {
    int panel = 0;
    bool on = false;
    bool cancelAtOnce = false;
    bool dropSaid = false;
    QString droppedText = QStringLiteral("Busy with the decade: input ignored");
    QString cancelText = QStringLiteral("Cancel");
    QPointer<QPushButton> cancel;
    QPointer<QTimer> offer;
    std::unique_ptr<QObject> filter;
};

BusyState& Busy() {
    static BusyState state;
    return state;
}

bool CancelOffered() {
    const BusyState& b = Busy();
    return b.cancel != nullptr && b.cancel->isVisible();
}

// Drops the operator's input to the panel while busy; the Cancel button and Escape pass
// while Cancel is offered.
class BusyFilter : public QObject {
  public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonRelease:
            case QEvent::MouseButtonDblClick:
            case QEvent::KeyPress:
            case QEvent::KeyRelease:
            case QEvent::Wheel:
            case QEvent::ShortcutOverride:
                break;
            default:
                return false;
        }
        BusyState& b = Busy();
        auto* w = qobject_cast<QWidget*>(watched);
        Panel* p = FindPanel(b.panel);
        if (!b.on || w == nullptr || p == nullptr || w->window() != p->window) return false;
        if (CancelOffered() && (w == b.cancel || b.cancel->isAncestorOf(w))) return false;
        // The panel's close control (Exit) ends the program even now.
        const auto close = p->controls.find(p->closeControl);
        if (close != p->controls.end() && w == close->second.widget) return false;
        if (event->type() == QEvent::KeyPress &&
            static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
            if (CancelOffered()) CancelSequence();
            return true;
        }
        if (!b.dropSaid && (event->type() == QEvent::MouseButtonPress ||
                            event->type() == QEvent::KeyPress || event->type() == QEvent::Wheel)) {
            b.dropSaid = true;
            QToolTip::showText(QCursor::pos(), b.droppedText, p->window);
        }
        return true;
    }
};

void OfferCancel(bool on) {
    BusyState& b = Busy();
    Panel* p = FindPanel(b.panel);
    if (p == nullptr) return;
    if (on && b.cancel == nullptr) {
        b.cancel = new QPushButton(b.cancelText, p->window);
        b.cancel->setObjectName(QStringLiteral("linkCancel"));
        b.cancel->setAccessibleName(b.cancelText);
        b.cancel->setCursor(Qt::ArrowCursor);
        QObject::connect(b.cancel, &QPushButton::clicked, b.cancel, [] { CancelSequence(); });
    }
    if (b.cancel == nullptr) return;
    if (on && !b.cancel->isVisible()) {
        b.cancel->setText(b.cancelText);
        b.cancel->adjustSize();
        const QSize room = p->window->size() - b.cancel->size();
        b.cancel->move(room.width() - 8, room.height() - 8);
        b.cancel->raise();
        b.cancel->show();
    } else if (!on) {
        b.cancel->hide();
    }
}

}  // namespace

void SetBusy(int panel, bool busy, bool cancelAtOnce) {
    BusyState& b = Busy();
    if (QApplication::instance() == nullptr) return;
    if (!b.filter) {
        b.filter = std::make_unique<BusyFilter>();
        qApp->installEventFilter(b.filter.get());
    }
    Panel* p = FindPanel(panel);
    if (busy) {
        b.panel = panel;
        b.on = true;
        b.cancelAtOnce = cancelAtOnce;
        b.dropSaid = false;
        if (p != nullptr) p->window->setCursor(Qt::WaitCursor);
        OfferCancel(cancelAtOnce);
        if (b.offer == nullptr) {
            b.offer = new QTimer(qApp);
            b.offer->setInterval(100);
            QObject::connect(b.offer, &QTimer::timeout, [] {
                const BusyState& s = Busy();
                if (!s.on) return;
                const bool offer = s.cancelAtOnce || linkthread::CurrentWait() >
                                                         std::chrono::milliseconds(1000);
                if (offer && !CancelOffered()) OfferCancel(true);
            });
        }
        b.offer->start();
        return;
    }
    b.on = false;
    if (b.offer != nullptr) b.offer->stop();
    OfferCancel(false);
    if (p != nullptr) p->window->unsetCursor();
    if (b.dropSaid) QToolTip::hideText();
}

bool IsBusy() {
    return Busy().on;
}

void SetBusyTexts(const std::string& inputDropped, const std::string& cancelCaption) {
    Busy().droppedText = Q(inputDropped);
    Busy().cancelText = Q(cancelCaption);
}

void CancelSequence() {
    linkthread::Cancel();
    CloseLinkBoxes();
}

QWidget* CancelButton(int panel) {
    const BusyState& b = Busy();
    return b.panel == panel ? b.cancel.data() : nullptr;
}

}  // namespace ui
