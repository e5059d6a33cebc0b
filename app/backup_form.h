// BackupForm: the two forms of a backup copy of a finished picture.
#pragma once

namespace qv {

/// Standard form after an extended-precision render (a .fra file), deep form after a deep
/// render (a .fdz file).
enum class BackupForm { Standard, Deep };

} // namespace qv
