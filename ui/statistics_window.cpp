// StatisticsWindow: the rows of the statistics placed in dialog units, values in blue.
#include "ui/statistics_window.h"

#include "app/statistics.h"

#include <algorithm>

#include <QLabel>
#include <QSysInfo>

namespace qv {

namespace {

QLabel* rowLabel(const std::string& text, const QColor& colour, QWidget* parent)
{
    auto* label = new QLabel(QString::fromStdString(text), parent);
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
    // Labels made while the window shows must be shown themselves.
    if (parent->isVisible()) {
        label->show();
    }
    return label;
}

} // namespace

StatisticsWindow::StatisticsWindow(AppState& app, QWidget* parent)
    : ProgramDialog(app.palette, parent), m_app(app)
{
    setWindowTitle(QStringLiteral("QUORVALIS STATISTICS"));
    setFont(QFont(QStringLiteral("Arial"), 10));
    refill();
}

void StatisticsWindow::refill()
{
    delete m_heading;
    for (const RowLabels& row : m_rows) {
        delete row.label;
        delete row.value;
    }
    m_rows.clear();

    const Statistics stats = statisticsOf(m_app, QSysInfo::prettyProductName().toStdString());
    const DialogUnits du(font());
    m_heading = rowLabel(stats.heading, Qt::black, this);
    const int rowHeight = std::max(du.y(16), m_heading->sizeHint().height());
    m_heading->setGeometry(du.x(20), du.y(20), std::max(du.x(200), m_heading->sizeHint().width()),
                           rowHeight);

    int labelWidth = du.x(120);
    int valueWidth = du.x(80);
    for (const StatisticsRow& row : stats.rows) {
        RowLabels shown;
        shown.label = rowLabel(row.label, Qt::black, this);
        labelWidth = std::max(labelWidth, shown.label->sizeHint().width());
        if (!row.value.empty()) {
            shown.value = rowLabel(row.value, Qt::blue, this);
            valueWidth = std::max(valueWidth, shown.value->sizeHint().width());
        }
        m_rows.push_back(shown);
    }
    // A label or value wider than its column widens the column and the window: nothing is
    // cut.
    const int valueLeft = du.x(20) + labelWidth;
    int bottom = du.y(20) + rowHeight;
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        const int top = du.y(20) + (stats.rows[i].number - 7) * rowHeight;
        m_rows[i].label->setGeometry(du.x(20), top, labelWidth, rowHeight);
        if (m_rows[i].value != nullptr) {
            m_rows[i].value->setGeometry(valueLeft, top, valueWidth, rowHeight);
        }
        bottom = std::max(bottom, top + rowHeight);
    }
    setFixedSize(std::max(du.x(260), valueLeft + valueWidth + du.x(20)),
                 std::max(du.y(220), bottom + du.y(20)));
}

} // namespace qv
