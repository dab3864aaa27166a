#pragma once

#include "autotrack/autotracker.h"
#include "player/framesource.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace zorvane::testing {

// Where the followed object truly is in one frame, and how much of it
// shows (1 whole, 0 hidden behind something or outside the picture).
struct TruthPoint {
    double x = 0;
    double y = 0;
    double visible = 1;
};

// One generated video with known ground truth. Frames are rendered on
// demand: drawn at 8 x 8 samples per pixel (and several instants per
// frame for motion blur), averaged down, with a fixed grain of noise.
class CorpusCase {
public:
    virtual ~CorpusCase() = default;
    virtual std::string name() const = 0;
    virtual int width() const = 0;
    virtual int height() const = 0;
    virtual int frameCount() const = 0;
    virtual RgbImage frame(int index) const = 0;
    virtual TruthPoint truth(int index) const = 0;
    // The click that starts tracking on frame 0: the true centre rounded
    // to whole pixels, as a recorded point is.
    double clickX() const;
    double clickY() const;
};

// The names of the scored cases: ten of flat two-tone objects (blur,
// lighting, rotation, scale, lookalike, occlusion, jumps1080, lowcontrast,
// throw720, throw1080-occluded), then balls turning in three dimensions,
// asymmetric and non-rigid objects, changing backgrounds, a moving camera,
// low light and long clips, three made after the check of claims against
// what moves was tuned, and six made later that failed when first tried
// (floor-roll, tennis-bounce-blur, rest-drop, orbit-room, hand-drop,
// small-fast-clutter). One more, orbit720, is a plain 600-frame circling
// ball for timing.
std::vector<std::string> corpusCaseNames();

// A case by name, with `frames` frames instead of its own count when
// positive (a longer run may leave the picture).
// Throws std::invalid_argument for an unknown name.
std::unique_ptr<CorpusCase> makeCorpusCase(const std::string &name, int frames = 0);

// The throw720 case with `frames` frames, made once per count and kept for
// the rest of the process, as making it draws every frame.
const CorpusCase &throwCase(int frames);

// What a tracker said for frames 1 .. n - 1 of a case (index 0 unused).
using TrackRun = std::vector<TrackStep>;

struct CaseScore {
    int frames = 0;          // frames after the start
    int visibleFrames = 0;   // at least 90 % showing
    int withinTolerance = 0; // visible frames claimed within 3 px
    int claims = 0;
    double meanError = 0; // over all claims
    double maxError = 0;
    int wrongClaims = 0;  // more than 3 px off, or on a hidden frame
    int hiddenClaims = 0; // claims on frames less than half showing
    int reappearances = 0;
    int lateReacquisitions = 0; // not found again within 2 frames
    double errorSum = 0;

    double withinShare() const { return visibleFrames ? double(withinTolerance) / visibleFrames : 1.0; }
    void add(const CaseScore &other);
};

constexpr double kTolerancePx = 3.0;

// Time spent in the tracker alone, not in rendering: on the wall clock and
// in processor time of the whole process (the fair figure on a machine
// shared with other work).
struct TrackTiming {
    double wallSeconds = 0;
    double cpuSeconds = 0;
};

// Tracks a whole case from its click.
TrackRun runTracker(const CorpusCase &corpus, TrackTiming *timing = nullptr);

// Tracks a case from its click on `video`, its frames encoded, read as the
// track command reads them. `cpuSeconds`, when given, gets the tracking's
// own processor time.
TrackRun runTrackerOnVideo(const CorpusCase &corpus, const std::string &video, double *cpuSeconds = nullptr);

// The case encoded at x264's constant quality `crf` (23 is its default, as
// a phone or a camera makes them), in the folder the corpus keeps its media.
std::string encodedAtQuality(const CorpusCase &corpus, int crf);

CaseScore scoreRun(const CorpusCase &corpus, const TrackRun &run);

// Encodes the frames with the ffmpeg tool (H.264 at 25 frames/s, nearly
// lossless unless `rate` gives other x264 rate options) into `path` unless
// it exists. Throws std::runtime_error when ffmpeg fails.
void encodeVideo(const CorpusCase &corpus, const std::string &path, const std::string &rate = "-crf 12");

} // namespace zorvane::testing
