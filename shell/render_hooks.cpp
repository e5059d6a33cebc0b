// The renderer's backup hook over the backup copies. Kept apart from the render host, whose
// header names its own backup form.
#include "shell/render_hooks.h"

#include "persistence/backup_copies.h"

namespace qv {

void makeRenderBackup(AppState& app, PictureWriter& pictures, bool deepForm)
{
    makeBackup(app, pictures, deepForm ? BackupForm::deep : BackupForm::standard);
}

std::string renderBackupFolder()
{
    return programFolder() + "backup/";
}

} // namespace qv
