// AboutBox: "About Quorvalis", the program's picture, name, version and build, and the home
// page, which turns red under the pointer and opens on a click.
#pragma once

#include "app/help.h"
#include "base/prompts.h"
#include "palette/palette.h"
#include "ui/dialog_support.h"

#include <QLabel>

namespace qv {

/// A label that reports clicks and shows its text red while the pointer is over it.
class HomePageLabel : public QLabel
{
    Q_OBJECT

public:
    HomePageLabel(const QString& text, QWidget* parent);

    bool pointerOver() const { return m_over; }

signals:
    void clicked();

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void showColour();

    bool m_over = false;
};

class AboutBox : public ProgramDialog
{
    Q_OBJECT

public:
    AboutBox(const Palette& palette, DesktopOpener& desktop, Prompts& prompts, QWidget* parent);

    /// Nothing in the box follows the settings; the background follows the palette.
    void refill() override { update(); }

    QLabel* picture() const { return m_picture; }

    QLabel* nameLine() const { return m_name; }

    QLabel* infoLines() const { return m_info; }

    HomePageLabel* homePage() const { return m_home; }

private:
    QLabel* m_picture = nullptr;
    QLabel* m_name = nullptr;
    QLabel* m_info = nullptr;
    HomePageLabel* m_home = nullptr;
};

} // namespace qv
