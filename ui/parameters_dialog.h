// ParametersDialog: the modeless "Fractal parameters" dialog, the editor of the render settings
// and of the view's iteration limit, bailout and pot value.
#pragma once

#include "app/app_state.h"
#include "app/parameter_settings.h"
#include "ui/dialog_support.h"

#include <map>

#include <QString>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace qv {

class QtProgram;

class ParametersDialog : public ProgramDialog
{
    Q_OBJECT

public:
    /// Builds every control from the settings in force. `owner` is the window the dialog stays
    /// above; it does not share the owner's disabling during renders, so that input given
    /// meanwhile waits for the render's end instead of being lost.
    ParametersDialog(AppState& app, QtProgram& program, QWidget* owner);

    /// Every control shows the settings in force again; typed text not yet applied is lost,
    /// as when the dialog is opened anew.
    void refill() override;

    /// The "Iter max:" and "Pot value:" fields show this text.
    void showIterMax(const QString& text);
    void showPotValue(const QString& text);

    /// The box shows this state ("Multi-threaded" also enables or disables "Threads:").
    void showOption(OptionBox box, bool ticked);

    // The controls, for the program's tests.
    QLineEdit* iterMaxField() const { return m_iterMax; }

    QLineEdit* bailoutField() const { return m_bailout; }

    QLineEdit* potValueField() const { return m_potValue; }

    QLineEdit* unzoomField() const { return m_unzoom; }

    /// Null on a one-processor machine, like the "Threads:" label.
    QLineEdit* threadsField() const { return m_threads; }

    QComboBox* sizeList() const { return m_sizeList; }

    QComboBox* formatList() const { return m_formatList; }

    QComboBox* textureList() const { return m_textureList; }

    /// Null for "Multi-threaded" on a one-processor machine.
    QCheckBox* optionBox(OptionBox box) const;

    QPushButton* applyButton() const { return m_apply; }

    QPushButton* redrawButton() const { return m_redraw; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void build();
    void layOut();
    void showFields();
    void showBoxesAndLists();
    TypedFields typedFields() const;
    void optionClicked(OptionBox box);
    void sizeChosen(int entry);
    void textureChosen(int entry);
    void applyAndExit();
    void redraw();

    AppState& m_app;
    QtProgram& m_program;
    QLabel* m_picture = nullptr;
    std::map<QWidget*, QLabel*> m_labels; ///< the caption of each field and list
    QLineEdit* m_iterMax = nullptr;
    QLineEdit* m_bailout = nullptr;
    QLineEdit* m_potValue = nullptr;
    QLineEdit* m_unzoom = nullptr;
    QLineEdit* m_threads = nullptr;
    QLabel* m_threadsLabel = nullptr;
    QComboBox* m_sizeList = nullptr;
    QComboBox* m_formatList = nullptr;
    QComboBox* m_textureList = nullptr;
    QGroupBox* m_options = nullptr;
    std::map<OptionBox, QCheckBox*> m_boxes;
    QPushButton* m_apply = nullptr;
    QPushButton* m_redraw = nullptr;
};

} // namespace qv
