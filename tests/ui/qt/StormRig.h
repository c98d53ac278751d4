#pragma once

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTest>
#include <QWidget>
#include <QWindow>

namespace kpx::test {

// How an input reaches a window: handed straight to the widget, or through the window system, which
// picks the receiver itself (focus, hit test, mouse grab, double clicks) as it does for a real device.
enum class Route { Widget, WindowSystem };

// One key press or release, auto-repeated or fresh. The window-system route needs a shown window.
inline void sendKey(QWidget *window, Route route, QEvent::Type type, Qt::Key key, Qt::KeyboardModifiers modifiers,
                    bool autoRepeat)
{
    const QString text = key == Qt::Key_Space ? QStringLiteral(" ") : QString();
    if (route == Route::WindowSystem && window->windowHandle()) {
        qt_handleKeyEvent(window->windowHandle(), type, key, modifiers, text, autoRepeat);
        return;
    }
    QKeyEvent event(type, key, modifiers, text, autoRepeat);
    QCoreApplication::sendEvent(window, &event);
}

// One mouse press, release or double click at a point of `target`. `buttons` is the state after the event.
// Through the window system the event lands on whatever is at that point of the window; the timestamp
// decides, as on a real desktop, whether two presses make a double click.
inline void sendMouse(QWidget *target, Route route, QEvent::Type type, Qt::MouseButton button,
                      Qt::MouseButtons buttons, QPoint where, Qt::KeyboardModifiers modifiers, int timestamp)
{
    QWidget *window = target->window();
    if (route == Route::WindowSystem && window->windowHandle()) {
        const QPoint local = target == window ? where : target->mapTo(window, where);
        // The window system reports the first press of a pair as a press; Qt makes the double click itself.
        const QEvent::Type raw = type == QEvent::MouseButtonDblClick ? QEvent::MouseButtonPress : type;
        qt_handleMouseEvent(window->windowHandle(), local, window->mapToGlobal(local), buttons, button, raw,
                            modifiers, timestamp);
        return;
    }
    QMouseEvent event(type, where, target->mapToGlobal(where), button, buttons, modifiers);
    event.setTimestamp(timestamp);
    QCoreApplication::sendEvent(target, &event);
}

} // namespace kpx::test
