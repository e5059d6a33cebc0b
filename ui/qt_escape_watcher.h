// EscapeWatcher: notes Esc presses anywhere in the program, even while its windows are
// disabled, for the render loops that poll it.
#pragma once

#include <QObject>

namespace qv {

/// Installed on the application object, so that it sees key events before any widget does:
/// disabled widgets drop key events before their own handlers would run.
class EscapeWatcher : public QObject
{
    Q_OBJECT

public:
    explicit EscapeWatcher(QObject* parent = nullptr);

    /// True when Esc was pressed since the last call (a held key repeats its presses); clears
    /// the press.
    bool takePress();

    /// Forgets a press made before now (a render that starts must not stop at an old press).
    void forget();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool m_pressed = false;
};

} // namespace qv
