// The zoom movies without a window: the zoom-out step, the frames of a movie to disk and their
// names, the view list of the real-time zoom, the size rules, the refusals, the frame folder
// and the elapsed-time text.
#pragma once

#include "app/app_state.h"
#include "app/shell_observer.h"
#include "app/startup.h"
#include "base/mp_float.h"
#include "engine/view_observer.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

/// The highest frame counter of a movie to disk; "Unzoom video" off names it 0000000.jpg.
inline constexpr std::int32_t kLastFrameCounter = 9999999;
/// The unzoom ends once a step started from a half-width above this: the whole set is in view.
inline constexpr double kWholeSetHalfWidth = 8.0;
/// Entries of the real-time zoom's view list at most.
inline constexpr std::size_t kViewListCap = 10000;
inline constexpr std::int32_t kMovieMaxWidth = 1920;
inline constexpr std::int32_t kMovieMaxHeight = 1080;
inline constexpr std::int32_t kAnimationWidth = 640;
inline constexpr std::int32_t kAnimationHeight = 480;

inline constexpr std::string_view kMovieTooLarge =
    "Current image size is\ntoo large for video creation!\n"
    "Please adjust picsize to maximum 1920 x 1080.";
inline constexpr std::string_view kMovieQuestion =
    "Do you want to make zoom movie by starting unzooming with current picture?";
inline constexpr std::string_view kMovieInterrupted = "Movie creation interrupted!";
inline constexpr std::string_view kMovieInterruptedSave =
    "Movie creation interrupted!\nYou can save current parameters.";
inline constexpr std::string_view kProcessingVideoTitle =
    "QUORVALIS- Please wait! Processing video...";
inline constexpr std::string_view kVideoFilter = "Video Files (*.avi)|*.AVI|";
inline constexpr std::string_view kUnzoomQuestionTitle = "Quorvalis";
inline constexpr std::string_view kUnzoomQuestion =
    "Want to make unzoom with current parameters?\n\nYou may want to try with small image size.";
inline constexpr std::string_view kAutoUnzoomTitle = "Quorvalis Auto Unzoom - Stop with esc key";
inline constexpr std::string_view kAnimationTitle =
    "QUORVALIS - animation looping - Stop with Esc key";
inline constexpr std::string_view kNotAvailableDeep = "Not available with\ndeep zoom";
inline constexpr std::string_view kFactorWarning =
    "Values less than 1 are not allowed!\nTry between 1.01 and 1.03";
inline constexpr std::string_view kNoWidthWarning =
    "The current view has no width:\nunzooming would never show the whole set.";
inline constexpr std::string_view kNothingToAnimate =
    "The current view is already close to the whole set:\nthere is nothing to animate.";

/// One zoom-out step of the current window about its centre by `factor`, in extended precision
/// (half extents held as doubles) or, in deep zoom, on the GMP numbers throughout; then the
/// view-change step, and with "Auto iter increase" the iteration increase by the deep limit
/// of the view before the step. Returns the half-width before the step.
double zoomOutStep(AppState& app, float factor, ViewObserver& observer);

/// Whether a movie whose last step started from `halfWidthBefore` goes on to `nextCounter`.
bool movieContinues(std::int32_t nextCounter, double halfWidthBefore);

/// The frame's file name: 9999999 - counter, or with "Unzoom video" the counter, as seven
/// digits and ".jpg", so that name order is playing order.
std::string frameName(std::int32_t counter, bool unzoomVideo);

/// Why the movies cannot start from this state (an unzoom factor not above 1 or not finite, a
/// view without width), or nothing.
std::optional<std::string_view> unzoomRefusal(const AppState& app);

/// The size a movie to disk renders at: wider than 1920 becomes 1920 x 1080. Nothing when the
/// result is still larger than 1920 x 1080.
std::optional<PictureSize> movieSize(PictureSize picture);

/// The size the real-time zoom animates at: wider than 640 becomes 640 x 480.
PictureSize animationSize(PictureSize picture);

/// A new picture size: the settings, the iteration buffer, the picture window and the view's
/// pixel steps.
void changePictureSize(AppState& app, PictureSize size, ShellObserver& observer);

/// The view as it was: every number of both windows, deep zoom, precision and iteration
/// limit, to come back to after a movie.
class ViewSnapshot
{
public:
    explicit ViewSnapshot(ViewState& view);

    /// Makes the kept view current again (every digit of a deep view), then the view-change
    /// step for the current picture size.
    void restore(AppState& app, ViewObserver& observer) const;

private:
    struct Number
    {
        long double ext = 0.0L;
        std::string text;
        std::optional<MpFloat> deep;
    };

    std::vector<Number> m_numbers;
    std::int32_t m_deepZoom = 0;
    std::int32_t m_precisionBits = 0;
    std::int32_t m_iterMax = 0;
};

/// Walks the frames of a movie to disk over the program's state. The window and the headless
/// renderer both walk it, so that frame k is the same view with the same settings in both.
class MovieFrameWalk
{
public:
    /// Starts before frame 0 at the current view; sets the movie-mode flag (animationRunning),
    /// under which the view change leaves the title and the pot value alone.
    MovieFrameWalk(AppState& app, ViewObserver& observer);

    /// Steps the view to the next frame; false (nothing changes) once the movie has ended.
    bool advance();

    /// The frame whose view is current; -1 before the first advance.
    std::int32_t counter() const { return m_counter; }

    /// Marks the picture stale and lifts a deep render's suppression, so that the next render
    /// computes this frame whole.
    void prepareRender();

private:
    AppState& m_app;
    ViewObserver& m_observer;
    std::int32_t m_counter = -1;
    double m_halfWidthBefore = 0.0;
};

/// The extended window of one view of the real-time zoom's list.
struct ListedView
{
    long double xmin = 0.0L;
    long double xmax = 0.0L;
    long double dx = 0.0L;
    long double ymin = 0.0L;
    long double ymax = 0.0L;
    long double dy = 0.0L;
};

/// The auto unzoom: zoom-out steps from the current view, each view kept, until a step started
/// from a half-width above 8 or the list holds kViewListCap views. List entry i of the command
/// is element i - 1.
std::vector<ListedView> buildViewList(AppState& app, float factor, ViewObserver& observer);

/// The window of `view` becomes the current window; then the view-change step.
void showListedView(AppState& app, const ListedView& view, ViewObserver& observer);

/// The current window as a list entry.
ListedView currentListedView(ViewState& view);

/// h, m and s of `seconds` as " h h  m m  s s": 3725 gives " 1 h  2 m  5 s". Hours may pass 23.
std::string formatElapsedSeconds(std::int64_t seconds);

/// The time from `start` to `now`, both seconds since midnight; a start after `now` means that
/// midnight passed between them.
std::string formatElapsed(std::int64_t start, std::int64_t now);

/// "Frame: " counter "  Deep Limit: " limit " Time: " elapsed, numbers in the title form.
std::string frameProgressTitle(std::int32_t counter, std::int32_t deepLimit,
                               std::string_view elapsed);

/// Why a frame folder cannot take frames, or nothing when it can.
enum class FrameFolderProblem {
    None,
    CannotCreate,
    NotAFolder,
    SymbolicLink,
    NotWritable,
};

/// Creates `folder` when it is missing and checks that it is a real folder (not a symbolic
/// link) the program may write into.
FrameFolderProblem checkFrameFolder(const std::string& folder);

/// Deletes the frames of an earlier movie: the folder's regular files whose extension is "jpg"
/// in any case. Other files and sub-folders stay. Returns how many were deleted.
std::size_t deleteOldFrames(const std::string& folder);

/// The message for a frame folder that cannot be used.
std::string frameFolderMessage(const std::string& folder, FrameFolderProblem problem);

} // namespace qv
