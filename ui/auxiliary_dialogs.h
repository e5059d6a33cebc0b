// AuxiliaryDialogs: the location dialog, the statistics window, the about box and the manual,
// as the menu opens them; at most one of each window exists.
#pragma once

#include "app/app_state.h"
#include "app/help.h"
#include "base/prompts.h"
#include "ui/about_box.h"
#include "ui/location_dialog.h"
#include "ui/statistics_window.h"

#include <memory>

#include <QPointer>

class QWidget;

namespace qv {

class QtProgram;

class AuxiliaryDialogs
{
public:
    /// The manual is looked for beside the program, then in the installed documentation
    /// folder; the desktop opens it.
    AuxiliaryDialogs(AppState& app, QtProgram& program, Prompts& prompts);
    ~AuxiliaryDialogs();

    AuxiliaryDialogs(const AuxiliaryDialogs&) = delete;
    AuxiliaryDialogs& operator=(const AuxiliaryDialogs&) = delete;

    /// "Location": opens the dialog, or brings the open one to the front.
    void openLocation(QWidget* owner);

    /// "Statistics": opens the window with the values of this moment, or refills and raises the
    /// open one.
    void showStatistics(QWidget* owner);

    /// "Info": the about box, modal.
    void showAbout(QWidget* owner);

    /// "Open helpfile".
    void openHelp();

    /// The open location dialog's fields take the view's text copies again.
    void refreshLocationFields();

    /// The open windows, or null.
    LocationDialog* location() const { return m_location; }

    StatisticsWindow* statistics() const { return m_statistics; }

    AboutBox* about() const { return m_about; }

    /// "Use Center/Magnification", kept for the life of the program.
    bool useCentre() const { return m_useCentre; }

    /// Replaces the desktop (tests record what it is asked to open).
    void setDesktop(DesktopOpener& desktop) { m_desktop = &desktop; }

    /// Replaces the places where the manual is looked for.
    void setHelpPlaces(HelpPlaces places) { m_helpPlaces = std::move(places); }

private:
    AppState& m_app;
    QtProgram& m_program;
    Prompts& m_prompts;
    std::unique_ptr<DesktopOpener> m_qtDesktop;
    DesktopOpener* m_desktop = nullptr;
    HelpPlaces m_helpPlaces;
    bool m_useCentre = false;
    QPointer<LocationDialog> m_location;
    QPointer<StatisticsWindow> m_statistics;
    QPointer<AboutBox> m_about;
};

} // namespace qv
