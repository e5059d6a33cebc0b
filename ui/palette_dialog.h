// PaletteDialog: "PALETTE SETUP", where the palette's parameters, options and offset are edited,
// generated, drawn at random, saved and loaded, and the picture recoloured at once.
#pragma once

#include "app/app_state.h"
#include "app/palette_setup.h"
#include "ui/dialog_support.h"

#include <array>
#include <functional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;

namespace qv {

class QtProgram;

/// The dialog's buttons.
enum class PaletteButton { Generate, Random, Save, Load, Exit };

class PaletteDialog : public ProgramDialog
{
    Q_OBJECT

public:
    /// Builds the dialog over the program's settings; `owner` is the picture window.
    PaletteDialog(AppState& app, QtProgram& program, QWidget* owner);

    /// Opens the dialog, creating it on first use; an open dialog only comes to the front.
    static PaletteDialog* open(PaletteDialog* existing, AppState& app, QtProgram& program,
                               QWidget* owner);

    /// Shows the settings in force: labels, fields, boxes and the slider at offset + 1 (without
    /// moving the offset). Waits while one of the dialog's own actions is still to run, so that
    /// what the person did last is not overwritten.
    void refill() override;

    /// The nine parameter fields (starts, steps, stops of channels 1..3) and their labels.
    QLineEdit* parameterField(int i) const { return m_fields[static_cast<std::size_t>(i)]; }

    QLabel* parameterLabel(int i) const { return m_labels[static_cast<std::size_t>(i)]; }

    QLineEdit* maxColourStepField() const { return m_maxStep; }

    QPushButton* button(PaletteButton which) const
    {
        return m_buttons[static_cast<std::size_t>(which)];
    }

    QCheckBox* optionBox(PaletteOption which) const
    {
        return m_boxes[static_cast<std::size_t>(which)];
    }

    QSlider* offsetSlider() const { return m_slider; }

private:
    void build();
    void connectActions();
    void act(std::function<void()> action, bool fromSlider = false);
    void showSettings();
    void showLabels();
    void showFields(const PaletteFields& fields);
    PaletteFields shownFields() const;
    void generate();
    void drawRandom();
    void load();
    void exitDialog();
    void optionClicked(PaletteOption option, bool on);
    void sliderMoved(int position);

    AppState& m_app;
    QtProgram& m_program;
    std::array<QLabel*, 9> m_labels{};
    std::array<QLineEdit*, 9> m_fields{};
    QLineEdit* m_maxStep = nullptr;
    std::array<QPushButton*, 5> m_buttons{};
    std::array<QCheckBox*, 5> m_boxes{};
    QSlider* m_slider = nullptr;
    /// Actions handed to the program that have not run yet (a render was running).
    int m_waiting = 0;
    bool m_sliderWaiting = false;
    bool m_refillDue = false;
    /// The title shows the offset once the slider was moved.
    bool m_offsetInTitle = false;
};

} // namespace qv
