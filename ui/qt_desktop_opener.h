// QtDesktopOpener: files and addresses opened with the desktop's viewer for them.
#pragma once

#include "app/help.h"

namespace qv {

class QtDesktopOpener : public DesktopOpener
{
public:
    bool openFile(const std::string& path) override;
    bool openAddress(const std::string& address) override;
};

} // namespace qv
