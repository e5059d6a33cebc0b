// StatisticsWindow: "QUORVALIS STATISTICS", the current picture and the last render in rows of
// labels and values.
#pragma once

#include "app/app_state.h"
#include "ui/dialog_support.h"

#include <vector>

class QLabel;

namespace qv {

class StatisticsWindow : public ProgramDialog
{
    Q_OBJECT

public:
    StatisticsWindow(AppState& app, QWidget* parent);

    /// Builds the rows again from the values of this moment.
    void refill() override;

    /// The heading (" MANDELBROT" or " JULIA").
    QLabel* heading() const { return m_heading; }

    /// The labels and values shown, in order (a row without a value has a null value).
    struct RowLabels
    {
        QLabel* label = nullptr;
        QLabel* value = nullptr;
    };

    const std::vector<RowLabels>& rows() const { return m_rows; }

private:
    AppState& m_app;
    QLabel* m_heading = nullptr;
    std::vector<RowLabels> m_rows;
};

} // namespace qv
