// MenuWindow: the small tool window beside the picture that carries the menu bar.
#pragma once

#include "app/commands.h"

#include <QMainWindow>

class QAction;

namespace qv {

class QtProgram;

class MenuWindow : public QMainWindow
{
    Q_OBJECT

public:
    inline static constexpr int kWidth = 420;
    inline static constexpr int kHeight = 40;        ///< at creation
    inline static constexpr int kResizedHeight = 50; ///< after any resize

    /// Owned by the picture window; every item carries its command id.
    MenuWindow(QtProgram& program, QWidget* owner);

    /// Places the window beside a picture `pictureWidth` wide, at 420 x 40.
    void placeBeside(int pictureWidth);

    /// The action of a command id, or null.
    QAction* action(CommandId id) const;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    QtProgram& m_program;
    bool m_placed = false;
    bool m_snapping = false;
};

} // namespace qv
