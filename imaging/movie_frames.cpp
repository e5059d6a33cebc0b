// Movie frames through the picture files' encoder.
#include "imaging/movie_frames.h"

#include "imaging/picture_files.h"

namespace qv {

QImage movieFrameImage(const AppState& app)
{
    QImage image = pictureOfIterations(app.iterations, app.palette, app.paletteState.paletteOffset);
    if (!image.isNull()) {
        // A new image takes its density from the screen when there is one.
        image.setDotsPerMeterX(kFrameDotsPerMeter);
        image.setDotsPerMeterY(kFrameDotsPerMeter);
    }
    return image;
}

PictureSaveResult writeMovieFrame(const AppState& app, const std::string& path,
                                  const std::function<void(const QImage&)>& show)
{
    const QImage image = movieFrameImage(app);
    if (image.isNull()) {
        return PictureSaveResult::Failed;
    }
    if (show) {
        show(image);
    }
    return encodeImageByExtension(image, path, jpegQuality(app.settings));
}

} // namespace qv
