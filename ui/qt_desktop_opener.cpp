// QtDesktopOpener through Qt's desktop services.
#include "ui/qt_desktop_opener.h"

#include <QDesktopServices>
#include <QString>
#include <QUrl>

namespace qv {

bool QtDesktopOpener::openFile(const std::string& path)
{
    return QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(path)));
}

bool QtDesktopOpener::openAddress(const std::string& address)
{
    return QDesktopServices::openUrl(QUrl(QString::fromStdString(address)));
}

} // namespace qv
