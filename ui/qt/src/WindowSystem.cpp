#include "WindowSystem.h"

#include <QGuiApplication>
#include <QWidget>
#include <QtGui/qguiapplication_platform.h>

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>
#include <thread>

namespace kpx::windowsystem {

namespace {

xcb_connection_t *connection()
{
    // Other platforms (the offscreen one among them) may answer for X11 without a connection.
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

template <typename Reply>
using Owned = std::unique_ptr<Reply, decltype(&std::free)>;

} // namespace

void sync()
{
    if (xcb_connection_t *x = connection())
        std::free(xcb_get_input_focus_reply(x, xcb_get_input_focus(x), nullptr));
}

std::uint32_t frameOf(const QWidget &window)
{
    xcb_connection_t *x = connection();
    if (!x || !window.isVisible())
        return 0;
    const Owned<xcb_query_tree_reply_t> tree(
        xcb_query_tree_reply(x, xcb_query_tree(x, static_cast<xcb_window_t>(window.winId())), nullptr), &std::free);
    return tree && tree->parent != tree->root ? tree->parent : 0;
}

void waitUntilGone(std::uint32_t frame, std::chrono::milliseconds atMost)
{
    xcb_connection_t *x = connection();
    if (!x || frame == 0)
        return;
    const auto until = std::chrono::steady_clock::now() + atMost;
    for (;;) {
        const Owned<xcb_get_window_attributes_reply_t> attributes(
            xcb_get_window_attributes_reply(x, xcb_get_window_attributes(x, frame), nullptr), &std::free);
        // Destroyed or unmapped: gone.
        if (!attributes || attributes->map_state != XCB_MAP_STATE_VIEWABLE ||
            std::chrono::steady_clock::now() >= until)
            return;
        std::this_thread::sleep_for(std::chrono::microseconds(250));
    }
}

} // namespace kpx::windowsystem
