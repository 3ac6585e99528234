// Message boxes, and the wait cursor that a box must not hide behind.
#include <dlfcn.h>

#include <QApplication>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPointer>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/link_thread.h"
#include "toolkit/gui_thread.h"
#include "toolkit/panel_table.h"

namespace ui {

using namespace detail;

namespace {

MessagePopupHandler& PopupHandler() {
    static MessagePopupHandler handler;
    return handler;
}

bool waitCursorOn = false;

// Boxes shown for a sequence on the link thread; a cancel closes them.
std::vector<QPointer<QMessageBox>>& LinkBoxes() {
    static std::vector<QPointer<QMessageBox>> boxes;
    return boxes;
}

// A box for the link thread, on the GUI thread: shown without a loop of its own (modal to
// the panel), finished() called once the operator has closed it.
void ShowLinkBox(const std::string& title, const std::string& text, const std::string& detail,
                 const std::function<void()>& finished) {
    if (PopupHandler()) {
        PopupHandler()(title, text, detail);
        finished();
        return;
    }
    QWidget* parent = QApplication::activeWindow();
    if (parent == nullptr && !Panels().empty() && Panels().front()) {
        parent = Panels().front()->window;
    }
    auto* box = new QMessageBox(QMessageBox::NoIcon, Q(title), Q(text), QMessageBox::Ok, parent);
    box->setTextFormat(Qt::PlainText);  // the text may carry what a decade or a file said
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::ApplicationModal);
    if (!detail.empty()) box->setDetailedText(Q(detail));
    QObject::connect(box, &QDialog::finished, box, [finished] { finished(); });
    LinkBoxes().emplace_back(box);
    box->open();
}

}  // namespace

int MessagePopup(const std::string& title, const std::string& text, const std::string& detail) {
    if (OffGuiThread()) {
        // The link thread waits until the box is closed or the sequence is cancelled; the
        // GUI thread keeps running its one event loop meanwhile.
        if (linkthread::Abandoned()) return kBadPanel;
        struct Closed {
            std::mutex mutex;
            std::condition_variable changed;
            bool done = false;
        };
        auto closed = std::make_shared<Closed>();
        linkthread::RunQueued(QCoreApplication::instance(), [title, text, detail, closed] {
            ShowLinkBox(title, text, detail, [closed] {
                {
                    const std::lock_guard lock(closed->mutex);
                    closed->done = true;
                }
                closed->changed.notify_all();
            });
        });
        std::unique_lock lock(closed->mutex);
        while (!closed->done && !linkthread::CancelRequested() && !linkthread::Abandoned()) {
            closed->changed.wait_for(lock, std::chrono::milliseconds(50));
        }
        return 0;
    }
    if (PopupHandler()) {
        PopupHandler()(title, text, detail);
        return 0;
    }
    if (QApplication::instance() == nullptr) return kBadPanel;
    QMessageBox box(QMessageBox::NoIcon, Q(title), Q(text), QMessageBox::Ok,
                    QApplication::activeWindow());
    box.setTextFormat(Qt::PlainText);  // the detail is plain text already
    if (!detail.empty()) box.setDetailedText(Q(detail));
    // The operator must see the message even while the wait cursor is on.
    const bool cursor = waitCursorOn;
    if (cursor) QApplication::restoreOverrideCursor();
    box.exec();
    if (cursor) QApplication::setOverrideCursor(Qt::WaitCursor);
    return 0;
}

void SetMessagePopupHandler(MessagePopupHandler handler) {
    PopupHandler() = std::move(handler);
}

namespace {

// A cursor change is a request queued on the X connection; the event loop flushes it, but
// the wait cursor goes on right before a blocking open that keeps the loop from running.
// Flushing the connection shows it at once without processing any event.
void FlushWindowSystem() {
    auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    if (x11 == nullptr || x11->connection() == nullptr) return;
    void* xcb = dlopen("libxcb.so.1", RTLD_LAZY | RTLD_NOLOAD);  // already loaded by Qt
    if (xcb == nullptr) return;
    using FlushFn = int (*)(xcb_connection_t*);
    if (auto flush = reinterpret_cast<FlushFn>(dlsym(xcb, "xcb_flush"))) flush(x11->connection());
    dlclose(xcb);
}

}  // namespace

void SetWaitCursor(int on) {
    ON_GUI_THREAD(SetWaitCursor(on));
    if (QApplication::instance() == nullptr || (on != 0) == waitCursorOn) return;
    waitCursorOn = on != 0;
    if (waitCursorOn) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        FlushWindowSystem();
    } else {
        QApplication::restoreOverrideCursor();
    }
}

void detail::CloseLinkBoxes() {
    for (const QPointer<QMessageBox>& box : LinkBoxes()) {
        if (box != nullptr) box->done(QMessageBox::Ok);
    }
    LinkBoxes().clear();
}

}  // namespace ui
