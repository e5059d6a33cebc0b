// MenuWindow: the menu bar of the program in a small tool window.
#include "ui/menu_window.h"

#include "ui/qt_program.h"

#include <QAction>
#include <QCloseEvent>
#include <QMenu>
#include <QMenuBar>
#include <QResizeEvent>

namespace qv {

namespace {

QString qs(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

MenuWindow::MenuWindow(QtProgram& program, QWidget* owner)
    : QMainWindow(owner, Qt::Tool), m_program(program)
{
    for (const MenuColumn& column : menuTable()) {
        QMenu* menu = menuBar()->addMenu(qs(column.title));
        for (const MenuItem& item : column.items) {
            QAction* action = nullptr;
            if (item.id == CommandId::Separator) {
                action = menu->addSeparator();
            } else {
                action = menu->addAction(qs(item.caption));
                action->setEnabled(commandAvailable(item.id));
                const CommandId id = item.id;
                connect(action, &QAction::triggered, this,
                        [this, id] { m_program.dispatchCommand(id); });
            }
            action->setData(static_cast<int>(item.id));
        }
    }
    // The menu bar stays in the window, also where the desktop would take it elsewhere.
    menuBar()->setNativeMenuBar(false);
}

void MenuWindow::placeBeside(int pictureWidth)
{
    resize(kWidth, kHeight);
    move(pictureWidth + 20, 20);
}

QAction* MenuWindow::action(CommandId id) const
{
    for (QAction* menuAction : menuBar()->actions()) {
        if (QMenu* menu = menuAction->menu()) {
            for (QAction* a : menu->actions()) {
                if (a->data().toInt() == static_cast<int>(id)) {
                    return a;
                }
            }
        }
    }
    return nullptr;
}

void MenuWindow::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    const QSize created(kWidth, kHeight);
    const QSize resized(kWidth, kResizedHeight);
    if (m_snapping || event->size() == created || event->size() == resized) {
        return;
    }
    // Any resize gives the window its fixed size of 420 x 50.
    m_snapping = true;
    resize(resized);
    m_snapping = false;
}

void MenuWindow::closeEvent(QCloseEvent* event)
{
    event->accept();
    m_program.quit();
}

} // namespace qv
