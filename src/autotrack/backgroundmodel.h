#pragma once

#include "autotrack/motionmodel.h"

#include <opencv2/core.hpp>

#include <algorithm>
#include <deque>
#include <optional>
#include <vector>

namespace zorvane {

// A region that differs from the background, in frame pixels.
struct Blob {
    Vec2 centre;     // of the region with its holes filled
    double area = 0; // square pixels
};

// The per-sample median of float layers of one size (the upper middle
// value for an even count), and the typical difference of one layer from
// it: the noise over time.
cv::Mat medianOf(const std::vector<cv::Mat> &layers, double *noise);

// How much brighter the frame `now` is than the frame `then`, as a factor
// (1: the same light), over what both show of the world: a camera
// adjusting its exposure, or a light dimming, changes the whole picture at
// once. Each frame is 8-bit grey or RGB24, with its camera offset.
double lightChange(const cv::Mat &now, Vec2 nowOffset, const cv::Mat &then, Vec2 thenOffset);

// What moves against the background. The background is the per-pixel
// median of a few earlier frames in which the object was elsewhere, so it
// does not care how the object's face turns or what lies under it. Frames
// are aligned by the camera's offset (world = picture + offset).
class BackgroundModel {
public:
    BackgroundModel(int keep, int least, double minContrast, double noiseFactor)
            : m_keep(keep), m_least(least), m_minContrast(minContrast), m_noiseFactor(noiseFactor)
    {}

    // Keeps the frame (RGB24 or grey) in grey levels with where the object
    // was in it (world), when known; beyond `keep` frames, drops the one
    // that adds least. A grey frame that owns its pixels is kept without a
    // copy (two views of one object keep the same frames): they must not
    // change afterwards. One over someone else's pixels is copied.
    void add(const cv::Mat &frame, Vec2 cameraOffset, std::optional<Vec2> object, double objectRadius);
    void forget()
    {
        m_frames.clear();
        m_lightKnown = false;
    }
    int frames() const { return static_cast<int>(m_frames.size()); }

    struct Finding {
        bool known = false;       // the background there is known
        std::optional<Blob> blob; // what moves on `near`; none: nothing moves there
    };
    // The largest moving region that comes within `core` samples of `near`,
    // looked for within `half` samples of it on a grid of `spacing` pixels.
    // Unknown while too few frames show the place without the object, or
    // when the region reaches the border of the looked-at area (it may be
    // larger than what is looked for, or be cut by the picture's edge).
    // Frames in which the object, of radius `extent` at least, was near
    // are left out.
    Finding blobAt(const cv::Mat &frame, Vec2 cameraOffset, Vec2 near, double spacing, int half, int core,
                   double extent) const;

    // Whether a kept frame in which the object was clear of the disc of
    // `radius` around `near` shows that disc as `frame` does: what is
    // there now was there then. For a place whose background is not known
    // yet (fewer than `least` frames show it).
    bool unchangedAt(const cv::Mat &frame, Vec2 cameraOffset, Vec2 near, double radius) const;

    // The background itself around `near`, `half` pixels either side, in
    // grey levels; empty where it is not known. Frames in which the object,
    // of radius `extent` at least, was near are left out.
    cv::Mat pictureAt(Vec2 cameraOffset, Vec2 near, int half, double extent) const;

    // What differs from the background within `radius` pixels of a centre,
    // read on a grid of `spacing` pixels, each sample weighing by how
    // clearly it differs, so that the faint parts of an object (its shaded
    // side, the ends of its blur) count for their share. The centre starts
    // at `near` and moves to that of what differs, a few times over. Empty
    // where the background is not known. Frames in which the object, of
    // radius `extent` at least, was near are left out.
    struct Mass {
        Vec2 centre;
        double area = 0;     // square pixels, faint ones counting for their share
        double atBorder = 0; // share of it in the outer tenth of the disc looked at
    };
    std::optional<Mass> differenceAt(const cv::Mat &frame, Vec2 cameraOffset, Vec2 near, double radius, double spacing,
                                     double extent) const;

    // Every whole moving region within `half` samples of `centre`; none
    // while the background there is not known.
    std::vector<Blob> blobsAround(const cv::Mat &frame, Vec2 cameraOffset, Vec2 centre, double spacing, int half,
                                  double extent) const;

    // What differs from the first frame kept, within `half` samples of
    // `centre`: before enough frames show the place without the object.
    // The noise is read from the difference itself, mostly background.
    // Where the object was then, the place it left shows too.
    std::vector<Blob> blobsSinceFirst(const cv::Mat &frame, Vec2 cameraOffset, Vec2 centre, double spacing,
                                      int half) const;

    // The same over the whole picture shrunk `factor` times, for an object
    // long unseen; the kept frames are all taken, wherever the object was.
    std::vector<Blob> blobsEverywhere(const cv::Mat &frame, Vec2 cameraOffset, int factor) const;

private:
    struct Regions {
        cv::Mat labels; // CV_32S, 0 where nothing moves; empty when unknown
        cv::Mat stats;
        int count = 0;
        Vec2 origin; // frame pixels of the first sample
        double spacing = 1;
        std::optional<Blob> blob(int label) const;
        std::vector<Blob> blobs() const; // whole ones, grain left out
    };
    Regions label(const cv::Mat &now, const cv::Mat &background, double noise, Vec2 origin, double spacing) const;
    // The difference from the background from which a sample clearly moves.
    double clearDifference(double noise) const { return std::max(m_minContrast, m_noiseFactor * noise); }
    Regions regions(const cv::Mat &frame, Vec2 cameraOffset, Vec2 near, double spacing, int half, double extent) const;

    struct Kept {
        cv::Mat gray;
        Vec2 offset;
        std::optional<Vec2> object;
        double radius = 0;
        cv::Mat small; // shrunk for the whole-picture search
        int factor = 0;
        std::vector<float> lightSamples; // grey levels that tell its light
        float lightMiddle = 0;           // ... and their middle value
        double gain = 1;                 // to the light of the frame looked at

        std::optional<Vec2> placeOf(Vec2 world) const;
        bool objectWithin(Vec2 world, double distance) const;
    };

    // Brought to the light of `now` when given: the frame compared with it.
    cv::Mat background(Vec2 cameraOffset, Vec2 near, double spacing, cv::Size size, double extent, double *noise,
                       const cv::Mat &now = cv::Mat()) const;

    void bringToLightOf(const cv::Mat &frame, Vec2 cameraOffset) const;
    std::size_t leastUseful() const;

    int m_keep;
    int m_least;
    double m_minContrast;
    double m_noiseFactor;
    mutable std::deque<Kept> m_frames; // their shrunk copies are made when first needed
    // What the kept frames' gains were worked out for.
    mutable std::vector<float> m_lightSamples;
    mutable Vec2 m_lightOffset;
    mutable bool m_lightKnown = false;
};

} // namespace zorvane
