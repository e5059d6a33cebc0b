// Picture files through Qt's image codecs: the picture of the iteration buffer, the displayed
// picture and its thumbnail, each encoded by the file name's extension and written whole.
#pragma once

#include "app/app_state.h"
#include "engine/iteration_buffer.h"
#include "engine/picture_buffer.h"
#include "palette/palette.h"
#include "persistence/picture_writer.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include <QImage>

namespace qv {

/// The picture as "Save Picture" writes it: width x height of the buffer, row 0 (the row at
/// ymin) on top. A positive value is palette entry offset + value; zero and negative values are
/// the negated colour, so that 0 is black (the window shows palette entry 0 there).
QImage pictureOfIterations(const IterationBuffer& iterations, const Palette& palette,
                           std::int32_t paletteOffset);

/// The displayed picture as an image of its own; a null image before the first picture.
QImage imageOfPicture(const PictureBuffer& picture);

/// The image scaled to exactly 176 x 144, its aspect not kept.
QImage thumbnailOf(const QImage& image);

/// Whether an encoder for the format the path's extension names (pictureMimeType) is installed.
bool pictureEncoderInstalled(std::string_view path);

/// The bytes of the image encoded by the extension of `path` (pictureMimeType), JPEG at
/// `jpegQuality`; empty for a name without a format, a missing encoder or a failed encoding.
std::vector<std::byte> encodeImage(const QImage& image, std::string_view path,
                                   std::int32_t jpegQuality);

/// Encodes the image by the extension of `path` (pictureMimeType) and replaces the file only
/// once the encoded bytes are complete. JPEG files get `jpegQuality`; other encoders ignore
/// it. Names whose extension writes nothing give nothingWritten; a missing encoder or a failed
/// write gives failed.
PictureSaveResult encodeImageByExtension(const QImage& image, const std::string& path,
                                         std::int32_t jpegQuality);

/// The program's picture writer over its records. JPEG quality follows "Autosave parameter" at
/// each save.
class QtPictureWriter : public PictureWriter
{
public:
    explicit QtPictureWriter(const AppState& app) : m_app(app) {}

    /// Called with each picture savePicture writes, before it is encoded, so that the picture
    /// window can show it.
    void setPictureShown(std::function<void(const QImage&)> show) { m_show = std::move(show); }

    PictureSaveResult savePicture(const std::string& path) override;
    PictureSaveResult saveDisplayedPicture(const std::string& path) override;
    PictureSaveResult saveThumbnail(const std::string& path) override;

private:
    const AppState& m_app;
    std::function<void(const QImage&)> m_show;
};

} // namespace qv
