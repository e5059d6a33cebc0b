// LocationDialog: "FRACTAL LOCATION", the view as exact text (corners, or centre and
// magnification, or the Julia constant, and the iteration limit), REDRAW and RESET COORDINATES.
#pragma once

#include "app/app_state.h"
#include "app/location.h"
#include "ui/dialog_support.h"

#include <array>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace qv {

class QtProgram;

class LocationDialog : public ProgramDialog
{
    Q_OBJECT

public:
    /// `useCentre` is the program's "Use Center/Magnification" choice, which outlives the
    /// dialog. Fills the controls from the view (see refill).
    LocationDialog(AppState& app, QtProgram& program, bool& useCentre, QWidget* parent);

    /// Shows the view again: the text copies made current, the fields of the current type
    /// with their texts, enabled by the centre choice.
    void refill() override;

    QLineEdit* field(LocationField f) const { return m_fields[static_cast<std::size_t>(f)]; }

    QLabel* label(LocationField f) const { return m_labels[static_cast<std::size_t>(f)]; }

    QCheckBox* useCentreBox() const { return m_useCentreBox; }

    QPushButton* redrawButton() const { return m_redraw; }

    QPushButton* resetButton() const { return m_reset; }

    QGroupBox* coordinatesFrame() const { return m_coordinates; }

    QGroupBox* centreFrame() const { return m_centre; }

    /// The texts of every field as typed.
    LocationTexts typedTexts() const;

private:
    void redraw();
    void resetView();
    void centreToggled(bool on);
    void showTexts(const LocationTexts& texts);
    void showFieldSet();
    void layOut();

    AppState& m_app;
    QtProgram& m_program;
    bool& m_useCentre;
    std::array<QLineEdit*, kLocationFieldCount> m_fields{};
    std::array<QLabel*, kLocationFieldCount> m_labels{};
    QGroupBox* m_coordinates = nullptr;
    QGroupBox* m_centre = nullptr;
    QCheckBox* m_useCentreBox = nullptr;
    QPushButton* m_redraw = nullptr;
    QPushButton* m_reset = nullptr;
};

} // namespace qv
