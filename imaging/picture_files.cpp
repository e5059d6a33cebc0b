// Encoding pictures with Qt's image writers.
#include "imaging/picture_files.h"

#include "base/file_io.h"

#include <span>
#include <string_view>

#include <QBuffer>
#include <QByteArray>
#include <QImageWriter>
#include <QList>

namespace qv {
namespace {

/// Format_RGB32 keeps 0xffRRGGBB: the top byte of every pixel is set.
constexpr std::uint32_t kOpaque = 0xFF000000u;
constexpr std::uint32_t kColourBits = 0x00FFFFFFu;

/// An RGB32 image of width x height to fill, or a null image when the size is empty, when fewer
/// than width x height values are available, or when it cannot be allocated.
QImage blankPicture(std::int32_t width, std::int32_t height, std::size_t available)
{
    const auto used = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    if (width <= 0 || height <= 0 || available < used) {
        return {};
    }
    return QImage(width, height, QImage::Format_RGB32);
}

} // namespace

QImage pictureOfIterations(const IterationBuffer& iterations, const Palette& palette,
                           std::int32_t paletteOffset)
{
    const std::int32_t width = iterations.width;
    const std::int32_t height = iterations.height;
    QImage image = blankPicture(width, height, iterations.counts.size());
    if (image.isNull()) {
        return image;
    }
    for (std::int32_t j = 0; j < height; ++j) {
        auto* row = reinterpret_cast<std::uint32_t*>(image.scanLine(j));
        for (std::int32_t i = 0; i < width; ++i) {
            const std::int32_t v = iterations.counts[iterations.at(i, j)];
            // The negation in unsigned arithmetic: defined for every stored value.
            const std::uint32_t colour =
                v > 0 ? palette.colourAt(static_cast<std::int64_t>(paletteOffset) + v)
                      : 0u - static_cast<std::uint32_t>(v);
            row[i] = kOpaque | (colour & kColourBits);
        }
    }
    return image;
}

QImage imageOfPicture(const PictureBuffer& picture)
{
    const std::int32_t width = picture.width;
    const std::int32_t height = picture.height;
    QImage image = blankPicture(width, height, picture.pixels.size());
    if (image.isNull()) {
        return image;
    }
    for (std::int32_t j = 0; j < height; ++j) {
        auto* row = reinterpret_cast<std::uint32_t*>(image.scanLine(j));
        const std::size_t first = static_cast<std::size_t>(j) * static_cast<std::size_t>(width);
        for (std::int32_t i = 0; i < width; ++i) {
            row[i] = kOpaque | (picture.pixels[first + static_cast<std::size_t>(i)] & kColourBits);
        }
    }
    return image;
}

QImage thumbnailOf(const QImage& image)
{
    return image.scaled(kThumbnailWidth, kThumbnailHeight, Qt::IgnoreAspectRatio,
                        Qt::SmoothTransformation);
}

namespace {

/// The installed writers for a MIME type; EMF, WMF and GIF have none.
QList<QByteArray> writersFor(std::string_view mimeType)
{
    return QImageWriter::imageFormatsForMimeType(
        QByteArray(mimeType.data(), static_cast<qsizetype>(mimeType.size())));
}

} // namespace

bool pictureEncoderInstalled(std::string_view path)
{
    const std::string_view mimeType = pictureMimeType(path);
    return !mimeType.empty() && !writersFor(mimeType).isEmpty();
}

std::vector<std::byte> encodeImage(const QImage& image, std::string_view path,
                                   std::int32_t jpegQuality)
{
    const std::string_view mimeType = pictureMimeType(path);
    const QList<QByteArray> formats = mimeType.empty() ? QList<QByteArray>() : writersFor(mimeType);
    if (formats.isEmpty() || image.isNull()) {
        return {};
    }
    QByteArray encoded;
    QBuffer buffer(&encoded);
    if (!buffer.open(QIODevice::WriteOnly)) {
        return {};
    }
    QImageWriter writer(&buffer, formats.front());
    if (mimeType == "image/jpeg") {
        writer.setQuality(jpegQuality);
    }
    if (!writer.write(image)) {
        return {};
    }
    buffer.close();
    const auto* first = reinterpret_cast<const std::byte*>(encoded.constData());
    return std::vector<std::byte>(first, first + encoded.size());
}

PictureSaveResult encodeImageByExtension(const QImage& image, const std::string& path,
                                         std::int32_t jpegQuality)
{
    if (pictureMimeType(path).empty()) {
        return PictureSaveResult::NothingWritten;
    }
    const std::vector<std::byte> bytes = encodeImage(image, path, jpegQuality);
    if (bytes.empty()) {
        return PictureSaveResult::Failed;
    }
    return replaceFile(path, bytes) ? PictureSaveResult::Written : PictureSaveResult::Failed;
}

PictureSaveResult QtPictureWriter::savePicture(const std::string& path)
{
    const QImage image =
        pictureOfIterations(m_app.iterations, m_app.palette, m_app.paletteState.paletteOffset);
    if (image.isNull()) {
        return PictureSaveResult::NothingWritten;
    }
    if (m_show) {
        m_show(image);
    }
    return encodeImageByExtension(image, path, jpegQuality(m_app.settings));
}

PictureSaveResult QtPictureWriter::saveDisplayedPicture(const std::string& path)
{
    const QImage image = imageOfPicture(m_app.picture);
    if (image.isNull()) {
        return PictureSaveResult::NothingWritten;
    }
    return encodeImageByExtension(image, path, jpegQuality(m_app.settings));
}

PictureSaveResult QtPictureWriter::saveThumbnail(const std::string& path)
{
    const QImage image = imageOfPicture(m_app.picture);
    if (image.isNull()) {
        return PictureSaveResult::NothingWritten;
    }
    return encodeImageByExtension(thumbnailOf(image), path, jpegQuality(m_app.settings));
}

} // namespace qv
