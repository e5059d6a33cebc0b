// EscapeWatcher: the program-wide Esc latch.
#include "ui/qt_escape_watcher.h"

#include <QEvent>
#include <QKeyEvent>

namespace qv {

EscapeWatcher::EscapeWatcher(QObject* parent) : QObject(parent)
{
}

bool EscapeWatcher::takePress()
{
    const bool pressed = m_pressed;
    m_pressed = false;
    return pressed;
}

void EscapeWatcher::forget()
{
    m_pressed = false;
}

bool EscapeWatcher::eventFilter(QObject* watched, QEvent* event)
{
    // One key press is offered to several objects on its way (window, widget, parents); a
    // latch makes that harmless. A held key repeats its presses, so no key-up state is kept:
    // a release lost to a focus change must not stop every later render.
    if (event->type() == QEvent::KeyPress &&
        static_cast<const QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        m_pressed = true;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace qv
