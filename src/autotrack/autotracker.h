#pragma once

#include "autotrack/autotrackparameters.h"
#include "player/framesource.h"

#include <memory>
#include <stdexcept>
#include <string>

namespace cv {
class Mat;
}

namespace zorvane {

enum class AutoTrackErrorKind {
    BadFrame,     // empty frame, or pixels that do not fill its size
    PointOutside, // the start point is not inside the picture
    SizeChanged,  // a frame's size differs from the start frame's
};

class AutoTrackError : public std::runtime_error {
public:
    AutoTrackError(AutoTrackErrorKind kind, const std::string &message) : std::runtime_error(message), m_kind(kind) {}
    AutoTrackErrorKind kind() const noexcept { return m_kind; }

private:
    AutoTrackErrorKind m_kind;
};

// What the tracker says about one frame.
struct TrackStep {
    enum class State {
        Found,  // x, y and confidence hold the object's centre
        Hidden, // no claim for this frame; the tracker keeps looking
        Lost,   // no claim, and it has given up: later frames are not looked at
    };
    State state = State::Hidden;
    double x = 0; // video pixels, pixel centres at integer coordinates
    double y = 0;
    double confidence = 0; // 0 to 1, only meaningful when found
};

// Follows one object from a clicked point through the frames that come
// after the start frame, fed one at a time in order. Work per frame is
// bounded by the object's size and its predicted motion, so a caller can
// show each result as it comes and stop after any frame.
class AutoTracker {
public:
    // Throws AutoTrackError when the frame is unusable or the point lies
    // outside it. A point with nothing to follow (a flat wall) is accepted;
    // the first call to next() then reports Lost.
    AutoTracker(const RgbImage &startFrame, double x, double y);
    // The same on grey levels (full range), which cost the tracker less.
    AutoTracker(const GrayImage &startFrame, double x, double y);
    // The same with other tuning numbers; out-of-range values are brought
    // into their range.
    AutoTracker(const RgbImage &startFrame, double x, double y, const AutoTrackParameters &parameters);
    AutoTracker(const GrayImage &startFrame, double x, double y, const AutoTrackParameters &parameters);
    // Grey levels as decoded, with the same frame in colour: luminance is
    // followed on the first, and the object's colour, where it sets it
    // apart, on the second. Throws AutoTrackError also when their sizes differ.
    AutoTracker(const GrayImage &startFrame, const RgbImage &startColour, double x, double y);
    ~AutoTracker();
    AutoTracker(const AutoTracker &) = delete;
    AutoTracker &operator=(const AutoTracker &) = delete;

    // Where the object was found in the start frame: the click moved to
    // the object's centre when the picture shows one nearby.
    double startX() const;
    double startY() const;
    // False when the start point has too little contrast to follow.
    bool hasTarget() const;
    // True when the object's colour sets it apart better than its
    // brightness: colour frames are then worth giving to next().
    bool followsColour() const;

    // The next frame after the previous one. Throws AutoTrackError when
    // the frame's size differs from the start frame's or is unusable.
    // Once Lost, every later call returns Lost without looking.
    TrackStep next(const RgbImage &frame);
    TrackStep next(const GrayImage &frame);
    TrackStep next(const GrayImage &frame, const RgbImage &colour);

    // Picks up after a stop (Lost, or the caller stopped feeding frames):
    // the user clicked the object at (x, y) on `frame`, which comes
    // `framesAfter` frames after the last frame given (1: the very next
    // one). What was learnt of the object's motion and looks is kept, and
    // following goes on from this frame with next(). Throws AutoTrackError
    // as the constructor and next() do. startX()/startY() then give where
    // the click was placed on the object. Grey levels end the following
    // of colour.
    void restart(const RgbImage &frame, double x, double y, int framesAfter = 1);
    void restart(const GrayImage &frame, double x, double y, int framesAfter = 1);

private:
    AutoTracker(const cv::Mat &frame, double x, double y, const AutoTrackParameters &parameters);
    TrackStep next(const cv::Mat &frame, const cv::Mat &colour);
    void restart(const cv::Mat &frame, double x, double y, int framesAfter);
    void checkSize(const cv::Mat &frame) const;
    void startColourView(const cv::Mat &colour, double x, double y, const AutoTrackParameters &parameters);
    // `colourOnCentre`: the colour view's claim moved onto the object's
    // centre, where it stands alone or holds.
    static TrackStep agreed(const TrackStep &luminance, const TrackStep &colour, const TrackStep &colourOnCentre,
                            bool colourLeads);
    TrackStep placedOnCentre(const TrackStep &luminance, TrackStep colour);
    struct Outline {
        double radius = 0;  // pixels
        double support = 0; // share of its rays on the circle
    };
    // Two outlines of the same object, centres `gap` apart: the outer holds
    // the inner, is larger by more than an outline's usual scatter, though
    // not so much larger that the inner could not be its lit cap, and is as
    // well supported.
    static bool holdsWellInside(Outline outer, Outline inner, double gap);
    // A claim halfway between the two views'.
    static TrackStep midway(const TrackStep &luminance, const TrackStep &colour, double confidence);

    // Two claims farther apart than this, pixels, are two different things.
    static constexpr double kAgreement = 3.0;
    // ... and this far apart, one view follows something else than the
    // object (two views of it may differ by a few pixels, as shading pulls
    // a texture aside).
    static constexpr double kStrayed = 6.0;
    // Share of its radius within which an outline of the object, found in
    // one view, places it over the other's texture.
    static constexpr double kNearOutline = 0.5;
    // Farthest apart, pixels, two views that both see the object round are
    // taken to lie either side of it.
    static constexpr double kRoundViewsApart = 2 * kAgreement;
    // Separation on the colour axis from which the colour view is trusted
    // over luminance: the object's colour cannot be mistaken there...
    static constexpr double kColourLeads = 10.0;
    // ... when both views placed the click on the same spot, pixels (a
    // blurred outline in colour may place it elsewhere).
    static constexpr double kSameStart = 1.0;
    // Share of its radius by which one view's outline of the object must be
    // smaller than the other's to be only part of it.
    static constexpr double kSmallerOutline = 0.08;
    // ... and the larger at most this many times the smaller.
    static constexpr double kLargestCap = 1.25;
    // Share of rays by which the larger outline may be less supported.
    static constexpr double kSupportSlack = 0.15;
    // Frames between two attempts to take a lost view up again.
    static constexpr int kTakeUpEvery = 10;
    // Frames in a row after which luminance, alone keeping to the object's
    // path and pace, is trusted again over a colour view that lost it.
    static constexpr int kHeldAlone = 5;

    // Share of a new measure of the colour view's offset from the object's
    // centre taken into it, frame after frame...
    static constexpr double kCentreOffsetRate = 0.3;
    // ... and frames it is applied for after the last one: the object's
    // face turns under the point that view follows.
    static constexpr int kCentreOffsetFrames = 30;
    static constexpr int kNoCentreOffset = kCentreOffsetFrames + 1;

    class Private;
    // Where a view's claims have stayed, and for how many frames in a row.
    struct Standing {
        double x = 0, y = 0;
        int frames = 0;
        void follow(const TrackStep &step);
    };
    // Claims this close to where a view's first stood, pixels, stand still.
    static constexpr double kStandingStill = 2.5;

    std::unique_ptr<Private> m_impl;   // follows luminance
    std::unique_ptr<Private> m_colour; // follows the object's colour axis, in colour frames where it has one
    bool m_colourLeads = false;        // where the views disagree, the colour view holds
    bool m_viewsParted = false;        // their claims side by side lay farther apart than the object's size
    bool m_luminanceStrayed = false;   // luminance follows something else: it parted from a colour view that held
    int m_sinceTakeUp = kTakeUpEvery;  // frames since luminance, lost, was last taken up again
    bool m_colourHeld = false;         // the colour view that leads found the object in the last frame
    int m_heldByLuminanceAlone = 0;    // frames in a row luminance alone kept to its path at the object's pace
    Standing m_luminanceStands, m_colourStands;
    double m_centreOffsetX = 0, m_centreOffsetY = 0; // of the colour view's claims from the object's centre
    int m_sinceCentreOffset = kNoCentreOffset;       // frames since that offset was measured
};

} // namespace zorvane
