// LocationDialog: its controls, their places in dialog units, and its three actions.
#include "ui/location_dialog.h"

#include "app/startup.h"
#include "engine/view_state.h"
#include "ui/qt_program.h"

#include <algorithm>
#include <limits>
#include <string>

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>

namespace qv {

namespace {

QString qs(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

constexpr std::array kCoordinateRows = {LocationField::Xmin, LocationField::Xmax,
                                        LocationField::Ymin, LocationField::Ymax};
constexpr std::array kCentreRows = {LocationField::CentreRe, LocationField::CentreIm,
                                    LocationField::Magnification};

/// The row of the upper frame a coordinate field takes: the Julia pair takes the rows of
/// Imagmin and Imagmax.
int coordinateRow(LocationField f)
{
    switch (f) {
    case LocationField::Xmin:
        return 0;
    case LocationField::Xmax:
        return 1;
    case LocationField::Ymin:
    case LocationField::JuliaRe:
        return 2;
    default:
        return 3;
    }
}

} // namespace

LocationDialog::LocationDialog(AppState& app, QtProgram& program, bool& useCentre, QWidget* parent)
    : ProgramDialog(app.palette, parent), m_app(app), m_program(program), m_useCentre(useCentre)
{
    setWindowTitle(QStringLiteral("FRACTAL LOCATION"));
    setFont(QFont(QStringLiteral("Arial"), 10));
    m_coordinates = new QGroupBox(QStringLiteral("Fractal coordinates"), this);
    m_centre = new QGroupBox(QStringLiteral("Center/Magnification"), this);
    m_useCentreBox = new QCheckBox(QStringLiteral("Use Center/Magnification"), this);
    for (std::size_t i = 0; i < kLocationFieldCount; ++i) {
        const auto f = static_cast<LocationField>(i);
        m_labels[i] = new QLabel(qs(locationLabel(f)), this);
        m_fields[i] = new QLineEdit(this);
        // Deep locations are typed or pasted whole: no cut that could drop an exponent.
        m_fields[i]->setMaxLength(std::numeric_limits<int>::max());
        m_fields[i]->setAccessibleName(qs(locationLabel(f)));
    }
    m_redraw = new QPushButton(QStringLiteral("REDRAW"), this);
    m_reset = new QPushButton(QStringLiteral("RESET COORDINATES"), this);
    m_redraw->setDefault(true);
    connect(m_redraw, &QPushButton::clicked, this, &LocationDialog::redraw);
    connect(m_reset, &QPushButton::clicked, this, &LocationDialog::resetView);
    connect(m_useCentreBox, &QCheckBox::clicked, this, &LocationDialog::centreToggled);
    layOut();
    refill();
}

void LocationDialog::refill()
{
    showTexts(openLocation(m_app, m_program));
    showFieldSet();
}

LocationTexts LocationDialog::typedTexts() const
{
    LocationTexts texts;
    for (std::size_t i = 0; i < kLocationFieldCount; ++i) {
        texts.text[i] = m_fields[i]->text().toStdString();
    }
    return texts;
}

void LocationDialog::showTexts(const LocationTexts& texts)
{
    for (std::size_t i = 0; i < kLocationFieldCount; ++i) {
        m_fields[i]->setText(qs(texts.text[i]));
        m_fields[i]->setCursorPosition(0);
    }
}

void LocationDialog::showFieldSet()
{
    const bool mandelbrot = isMandelbrot(m_app.view);
    for (std::size_t i = 0; i < kLocationFieldCount; ++i) {
        const auto f = static_cast<LocationField>(i);
        const bool shown = locationFieldShown(f, mandelbrot);
        m_labels[i]->setVisible(shown);
        m_fields[i]->setVisible(shown);
        m_fields[i]->setEnabled(locationFieldEnabled(f, mandelbrot, m_useCentre));
    }
    m_useCentreBox->setVisible(mandelbrot);
    m_useCentreBox->setChecked(m_useCentre);
    m_centre->setVisible(mandelbrot);
}

void LocationDialog::redraw()
{
    const LocationTexts typed = typedTexts();
    const QPointer<LocationDialog> self(this);
    // The action may run after a render, when the dialog could be gone: it holds on to what
    // outlives the dialog.
    AppState& app = m_app;
    QtProgram& program = m_program;
    bool& useCentre = m_useCentre;
    m_program.whenIdle([&app, &program, &useCentre, self, typed] {
        if (!applyLocation(app, program, program.services().prompts, typed, useCentre)) {
            // A refill after a render may have replaced what was typed: show it again.
            if (self) {
                self->showTexts(typed);
            }
            return;
        }
        if (self) {
            self->close();
        }
        program.renderNow();
    });
}

void LocationDialog::resetView()
{
    // The fields keep their text until the picture is done; its end refills them.
    AppState& app = m_app;
    QtProgram& program = m_program;
    m_program.whenIdle([&app, &program] { resetCoordinates(app, program); });
}

void LocationDialog::centreToggled(bool on)
{
    const QPointer<LocationDialog> self(this);
    AppState& app = m_app;
    QtProgram& program = m_program;
    bool& useCentre = m_useCentre;
    m_program.whenIdle(
        [&app, &program, &useCentre, self, on] {
            setUseCentre(app, program, useCentre, on);
            if (!self) {
                return;
            }
            const LocationTexts texts = locationTexts(app.view);
            for (const LocationField f : kCentreRows) {
                self->field(f)->setText(qs(texts[f]));
                self->field(f)->setCursorPosition(0);
            }
            self->showFieldSet();
        },
        &m_useCentre);
}

void LocationDialog::layOut()
{
    const DialogUnits du(font());
    const auto grown = [](QWidget* w, int width, int height) {
        const QSize hint = w->sizeHint();
        return QSize(std::max(width, hint.width()), std::max(height, hint.height()));
    };
    const int frameLeft = du.x(8);
    const int labelLeft = du.x(18);
    int labelWidth = du.x(60);
    for (QLabel* l : m_labels) {
        labelWidth = std::max(labelWidth, l->sizeHint().width());
    }
    const int fieldLeft = labelLeft + labelWidth + du.x(6);
    const int fieldWidth = std::max(du.x(280), du.x(442) - fieldLeft);
    const int rowHeight = std::max(du.y(14), m_fields[0]->sizeHint().height());
    const int rowStep = rowHeight + du.y(6);
    const int frameWidth = fieldLeft + fieldWidth + du.x(10) - frameLeft;

    auto placeRow = [&](LocationField f, int top) {
        QLabel* l = label(f);
        const QSize size = grown(l, labelWidth, du.y(12));
        l->setGeometry(labelLeft, top + (rowHeight - size.height()) / 2, size.width(),
                       size.height());
        field(f)->setGeometry(fieldLeft, top, fieldWidth, rowHeight);
    };

    int y = du.y(6);
    const int coordinatesTop = y;
    y += std::max(du.y(14), m_coordinates->fontMetrics().height() + du.y(4));
    const QSize box = grown(m_useCentreBox, du.x(200), du.y(12));
    m_useCentreBox->setGeometry(labelLeft, y, box.width(), box.height());
    y += box.height() + du.y(6);
    const int firstRow = y;
    for (std::size_t i = 0; i < kLocationFieldCount; ++i) {
        const auto f = static_cast<LocationField>(i);
        if (f == LocationField::IterMax || f == LocationField::CentreRe ||
            f == LocationField::CentreIm || f == LocationField::Magnification) {
            continue;
        }
        placeRow(f, firstRow + coordinateRow(f) * rowStep);
    }
    y = firstRow + static_cast<int>(kCoordinateRows.size()) * rowStep;
    m_coordinates->setGeometry(frameLeft, coordinatesTop, frameWidth, y - coordinatesTop);

    y += du.y(6);
    const int centreTop = y;
    y += std::max(du.y(14), m_centre->fontMetrics().height() + du.y(4));
    for (const LocationField f : kCentreRows) {
        placeRow(f, y);
        y += rowStep;
    }
    m_centre->setGeometry(frameLeft, centreTop, frameWidth, y - centreTop);

    // The bottom row: "Iter max: ", its field, REDRAW and RESET COORDINATES.
    y += du.y(10);
    QLabel* iterLabel = label(LocationField::IterMax);
    const QSize iterSize = grown(iterLabel, du.x(40), du.y(12));
    const QSize redrawSize = grown(m_redraw, du.x(100), du.y(18));
    const QSize resetSize = grown(m_reset, du.x(140), du.y(18));
    const int buttonHeight = std::max({redrawSize.height(), resetSize.height(), rowHeight});
    // The bottom row stays at the bottom of the dialog's least height.
    y = std::max(y, du.y(300) - du.y(10) - buttonHeight);
    iterLabel->setGeometry(frameLeft, y + (buttonHeight - iterSize.height()) / 2, iterSize.width(),
                           iterSize.height());
    const int iterFieldLeft = frameLeft + iterSize.width() + du.x(4);
    field(LocationField::IterMax)
        ->setGeometry(iterFieldLeft, y + (buttonHeight - rowHeight) / 2, du.x(70), rowHeight);
    const int right = frameLeft + frameWidth;
    const int resetLeft = right - resetSize.width();
    const int redrawLeft =
        std::max(resetLeft - du.x(10) - redrawSize.width(), iterFieldLeft + du.x(80));
    m_redraw->setGeometry(redrawLeft, y, redrawSize.width(), buttonHeight);
    m_reset->setGeometry(std::max(resetLeft, redrawLeft + redrawSize.width() + du.x(10)), y,
                         resetSize.width(), buttonHeight);
    y += buttonHeight;

    int width = du.x(460);
    for (QWidget* w : {static_cast<QWidget*>(m_coordinates), static_cast<QWidget*>(m_reset)}) {
        width = std::max(width, w->geometry().right() + 1 + du.x(8));
    }
    setFixedSize(width, std::max(du.y(300), y + du.y(10)));
}

} // namespace qv
