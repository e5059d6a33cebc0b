// AboutBox and its home-page label.
#include "ui/about_box.h"

#include <algorithm>

#include <QEnterEvent>
#include <QMouseEvent>
#include <QPixmap>

namespace qv {

namespace {

void setTextColour(QLabel* label, const QColor& colour)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
}

/// Places a label at its place in pixels, grown to its text where that needs more room, and
/// returns its bottom edge.
int placeGrown(QLabel* label, int left, int top, int width, int height)
{
    const QSize hint = label->sizeHint();
    label->setGeometry(left, top, std::max(width, hint.width()), std::max(height, hint.height()));
    return top + label->height();
}

} // namespace

HomePageLabel::HomePageLabel(const QString& text, QWidget* parent) : QLabel(text, parent)
{
    setCursor(Qt::PointingHandCursor);
    showColour();
}

void HomePageLabel::enterEvent(QEnterEvent* event)
{
    m_over = true;
    showColour();
    QLabel::enterEvent(event);
}

void HomePageLabel::leaveEvent(QEvent* event)
{
    m_over = false;
    showColour();
    QLabel::leaveEvent(event);
}

void HomePageLabel::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
        emit clicked();
    }
    QLabel::mouseReleaseEvent(event);
}

void HomePageLabel::showColour()
{
    setTextColour(this, m_over ? Qt::red : Qt::black);
}

AboutBox::AboutBox(const Palette& palette, DesktopOpener& desktop, Prompts& prompts,
                   QWidget* parent)
    : ProgramDialog(palette, parent)
{
    setWindowTitle(QStringLiteral("About Quorvalis"));
    setModal(true);
    setAttribute(Qt::WA_DeleteOnClose);

    m_picture = new QLabel(this);
    m_picture->setPixmap(QPixmap(QStringLiteral(":/quorvalis/about.png")));
    m_picture->setAlignment(Qt::AlignCenter);
    m_picture->setGeometry(15, 5, 186, 150);

    QFont nameFont = font();
    nameFont.setPointSize(14);
    m_name = new QLabel(QStringLiteral("QUORVALIS " QV_VERSION), this);
    m_name->setFont(nameFont);
    setTextColour(m_name, Qt::blue);

    QFont small = font();
    small.setPointSize(9);
    m_info = new QLabel(QStringLiteral("Fractal generator for Linux\n\n"
                                       "Written by the QUORVALIS developers\n\n"
                                       "Built " QV_BUILD_DATE),
                        this);
    m_info->setFont(small);
    setTextColour(m_info, QColor(0x00, 0x80, 0x00));

    m_home = new HomePageLabel(
        QString::fromUtf8(kHomePage.data(), static_cast<qsizetype>(kHomePage.size())), this);
    m_home->setFont(small);
    connect(m_home, &HomePageLabel::clicked, this,
            [&desktop, &prompts] { openHomePage(desktop, prompts); });

    // The places of the design, each pushed down when the one above grew.
    int bottom = placeGrown(m_name, 15, 200, 160, 30);
    bottom = placeGrown(m_info, 15, std::max(240, bottom + 5), 250, 60);
    bottom = placeGrown(m_home, 15, std::max(310, bottom + 5), 240, 20);
    int right = 340;
    for (const QLabel* label : {m_name, m_info, static_cast<QLabel*>(m_home)}) {
        right = std::max(right, label->geometry().right() + 1 + 15);
    }
    setFixedSize(right, std::max(350, bottom + 20));
}

} // namespace qv
