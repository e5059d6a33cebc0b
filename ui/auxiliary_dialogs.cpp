// AuxiliaryDialogs: opening the windows of the menu's location, statistics and help items.
#include "ui/auxiliary_dialogs.h"

#include "ui/about_box.h"
#include "ui/location_dialog.h"
#include "ui/qt_desktop_opener.h"
#include "ui/qt_program.h"
#include "ui/statistics_window.h"

#include <QCoreApplication>
#include <QDir>

namespace qv {

namespace {

void bringUp(QWidget* window)
{
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace

AuxiliaryDialogs::AuxiliaryDialogs(AppState& app, QtProgram& program, Prompts& prompts)
    : m_app(app), m_program(program), m_prompts(prompts),
      m_qtDesktop(std::make_unique<QtDesktopOpener>()),
      m_desktop(m_qtDesktop.get()), m_helpPlaces{
                                        QCoreApplication::applicationDirPath().toStdString(),
                                        QDir::cleanPath(QCoreApplication::applicationDirPath() +
                                                        QStringLiteral("/" QV_DOC_FROM_PROGRAM))
                                            .toStdString()}
{
}

AuxiliaryDialogs::~AuxiliaryDialogs()
{
    // The windows belong to the menu window; the ones still open go with this object, whose
    // state they use.
    delete m_location.data();
    delete m_statistics.data();
    delete m_about.data();
}

void AuxiliaryDialogs::openLocation(QWidget* owner)
{
    if (m_location == nullptr) {
        m_location = new LocationDialog(m_app, m_program, m_useCentre, owner);
        m_program.adoptDialog(m_location);
        const DialogUnits du(m_location->font());
        m_location->move(du.x(40), du.y(40));
    } else if (!m_location->isVisible()) {
        m_location->refill();
    }
    bringUp(m_location);
}

void AuxiliaryDialogs::showStatistics(QWidget* owner)
{
    if (m_statistics == nullptr) {
        m_statistics = new StatisticsWindow(m_app, owner);
        m_program.adoptDialog(m_statistics);
        const DialogUnits du(m_statistics->font());
        m_statistics->move(du.x(100), du.y(100));
    } else {
        m_statistics->refill();
    }
    bringUp(m_statistics);
}

void AuxiliaryDialogs::showAbout(QWidget* owner)
{
    if (m_about == nullptr) {
        m_about = new AboutBox(m_app.palette, *m_desktop, m_prompts, owner);
        m_program.adoptDialog(m_about);
        m_about->move(320, 40);
    }
    bringUp(m_about);
}

void AuxiliaryDialogs::openHelp()
{
    qv::openHelp(m_helpPlaces, *m_desktop, m_prompts);
}

void AuxiliaryDialogs::refreshLocationFields()
{
    if (m_location != nullptr && m_location->isVisible()) {
        m_location->refill();
    }
}

} // namespace qv
