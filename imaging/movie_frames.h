// The frames of a movie to disk as files: the windows' movie and the headless renderer write
// them through here, so that the same frame is the same file.
#pragma once

#include "app/app_state.h"
#include "persistence/picture_writer.h"

#include <functional>
#include <string>

#include <QImage>

namespace qv {

/// Pixels per metre written into every frame (96 per inch), so that a frame's bytes do not
/// depend on the screen of the program that made it.
inline constexpr int kFrameDotsPerMeter = 3780;

/// The picture of a frame as writeMovieFrame encodes it; a null image when there is none.
QImage movieFrameImage(const AppState& app);

/// Writes the picture as "Save Picture" does (JPEG at the quality of the settings) to `path`,
/// complete under a temporary name before it takes its own. `show` sees the picture first.
PictureSaveResult writeMovieFrame(const AppState& app, const std::string& path,
                                  const std::function<void(const QImage&)>& show = {});

} // namespace qv
