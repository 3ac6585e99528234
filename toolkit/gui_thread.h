// The thread hand-over of the toolkit: the panel belongs to the GUI thread. An operation
// called on another thread (the link thread) runs on the GUI thread while the caller waits
// for its result; once the link thread is abandoned at the program's end, its calls are
// refused. For the toolkit's own files.
#pragma once

#include <QCoreApplication>
#include <QThread>
#include <condition_variable>
#include <mutex>
#include <type_traits>
#include <utility>

#include "platform/link_thread.h"
#include "toolkit/panel_table.h"

namespace ui::detail {

inline bool OffGuiThread() {
    const QCoreApplication* app = QCoreApplication::instance();
    return app != nullptr && QThread::currentThread() != app->thread();
}

template <typename R>
R Refused() {
    if constexpr (std::is_same_v<R, int>) {
        return kBadPanel;
    } else {
        return R{};
    }
}

template <typename F>
auto RunOnGui(F&& operation) -> decltype(operation()) {
    using R = decltype(operation());
    struct Result {
        std::mutex mutex;
        std::condition_variable ready;
        bool done = false;
        std::conditional_t<std::is_void_v<R>, int, R> value = Refused<decltype(value)>();
    } result;
    if (linkthread::Abandoned()) return static_cast<R>(result.value);
    linkthread::RunQueued(QCoreApplication::instance(), [&operation, &result] {
        if (!linkthread::Abandoned()) {
            if constexpr (std::is_void_v<R>) {
                operation();
            } else {
                result.value = operation();
            }
        }
        const std::lock_guard lock(result.mutex);
        result.done = true;
        result.ready.notify_one();  // under the lock: the caller's result outlives this
    });
    std::unique_lock lock(result.mutex);
    result.ready.wait(lock, [&result] { return result.done; });
    return static_cast<R>(std::move(result.value));
}

}  // namespace ui::detail

// The first line of every operation: called off the GUI thread, the operation is carried
// out there and its result returned.
#define ON_GUI_THREAD(call) \
    if (::ui::detail::OffGuiThread()) return ::ui::detail::RunOnGui([&] { return call; })
