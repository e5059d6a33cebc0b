// The fractal browser: "Browse fractals" asks for a folder of parameter files and opens a window
// that lists them with a thumbnail, the fractal type and the precision of the selected one, and
// makes missing thumbnails by rendering at thumbnail size.
#pragma once

#include "app/app_state.h"
#include "persistence/parameter_browsing.h"
#include "ui/dialog_support.h"

#include <cstdint>
#include <string>
#include <vector>

#include <QImage>
#include <QPointer>
#include <QWidget>

class QLabel;
class QListWidget;
class QPushButton;

namespace qv {

class FractalBrowser;
class QtProgram;

/// The picture box of the browser: white, with a thumbnail at its top-left corner.
class ThumbnailBox : public QWidget
{
    Q_OBJECT

public:
    explicit ThumbnailBox(QWidget* parent);

    /// Shows a picture file: a picture larger than 176 x 144 in either direction is scaled to
    /// exactly that, a smaller one is drawn unscaled. A file that cannot be read leaves white.
    void showFile(const std::string& path);

    /// White again.
    void clear();

    /// What the box shows over its white, for the tests.
    const QImage& image() const { return m_image; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage m_image;
};

/// What outlives one browser window: the picture size put aside for thumbnail renders and
/// whether the picture window stands at its thumbnail place; and the command itself.
class FractalBrowsing
{
public:
    FractalBrowsing(AppState& app, QtProgram& program);

    /// "Browse fractals": closes an open browser, asks for a folder (starting in the gallery)
    /// and opens a browser on its parameter files, or says that there are none.
    void browse();

    /// The open browser, or null.
    FractalBrowser* window() const { return m_window; }

    /// Moves the picture window to its thumbnail place beside the browser, or back to its usual
    /// place.
    void placePictureAtThumbnail();
    void placePictureAtHome();

    bool pictureAtThumbnailPlace() const { return m_atThumbnailPlace; }

    SavedPictureSize savedSize;

private:
    AppState& m_app;
    QtProgram& m_program;
    QPointer<FractalBrowser> m_window;
    bool m_atThumbnailPlace = false;
};

/// The browser window "BROWSE FRACTAL PARAMETER FILES". Its actions wait while a render runs;
/// of several selections made meanwhile only the latest is carried out.
class FractalBrowser : public ProgramDialog
{
    Q_OBJECT

public:
    FractalBrowser(AppState& app, QtProgram& program, FractalBrowsing& browsing,
                   std::vector<std::string> files, QWidget* owner);

    /// The background follows the palette; nothing else here depends on other windows.
    void refill() override;

    const std::vector<std::string>& files() const { return m_files; }

    /// The selected file (the browser's current parameter file), or "".
    const std::string& currentFile() const { return m_current; }

    QListWidget& list() { return *m_list; }

    QPushButton& redrawButton() { return *m_redraw; }

    QPushButton& makeThumbnailButton() { return *m_make; }

    QLabel& information() { return *m_info; }

    ThumbnailBox& thumbnail() { return *m_thumbnail; }

private:
    void selectFile(int index);
    void makeThumbnail();
    void redrawAtFullSize();
    void showHeader(const std::string& path);
    void renderThumbnail(const std::string& path);
    bool showWithImage(const std::string& path);
    void saveThumbnailShown(const std::string& path);
    void layOut();

    AppState& m_app;
    QtProgram& m_program;
    FractalBrowsing& m_browsing;
    std::vector<std::string> m_files;
    std::string m_current;
    /// Counts the browser's steps, so that a step whose render let a later one run does not
    /// finish after it.
    std::uint32_t m_step = 0;
    ThumbnailBox* m_thumbnail = nullptr;
    QListWidget* m_list = nullptr;
    QPushButton* m_redraw = nullptr;
    QPushButton* m_make = nullptr;
    QLabel* m_info = nullptr;
};

} // namespace qv
