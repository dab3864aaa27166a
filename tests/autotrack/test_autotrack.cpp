#include "autotrack/autotracker.h"
#include "autotrack/motionmodel.h"
#include "trackcorpus.h"

#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

#include <cmath>
#include <tuple>

using namespace zorvane;
using namespace zorvane::testing;

namespace {

RgbImage flatFrame(int width, int height, std::uint8_t grey)
{
    return {width, height, std::vector<std::uint8_t>(static_cast<std::size_t>(width) * height * 3, grey)};
}

TEST(AutoTrackStart, RejectsPointsOutsideThePictureAndBrokenFrames)
{
    const RgbImage frame = flatFrame(64, 48, 100);
    for (auto [x, y] : {std::pair{-0.6, 10.0}, {63.5, 10.0}, {10.0, 47.5}, {10.0, -1.0}, {NAN, 3.0}}) {
        try {
            AutoTracker tracker(frame, x, y);
            ADD_FAILURE() << "accepted " << x << ", " << y;
        } catch (const AutoTrackError &error) {
            EXPECT_EQ(error.kind(), AutoTrackErrorKind::PointOutside);
        }
    }
    // The picture's border pixels are inside.
    EXPECT_NO_THROW(AutoTracker(frame, -0.5, 47.4));

    RgbImage broken = frame;
    broken.pixels.pop_back();
    try {
        AutoTracker tracker(broken, 5, 5);
        ADD_FAILURE() << "accepted a frame short of pixels";
    } catch (const AutoTrackError &error) {
        EXPECT_EQ(error.kind(), AutoTrackErrorKind::BadFrame);
    }
}

TEST(AutoTrackStart, FlatWallIsLostAtOnceAndStaysLost)
{
    const RgbImage wall = flatFrame(320, 240, 128);
    AutoTracker tracker(wall, 160, 120);
    EXPECT_FALSE(tracker.hasTarget());
    EXPECT_EQ(tracker.next(wall).state, TrackStep::State::Lost);
    EXPECT_EQ(tracker.next(wall).state, TrackStep::State::Lost);
}

TEST(AutoTrackStart, FrameOfAnotherSizeIsRefused)
{
    const auto corpus = makeCorpusCase("throw720", 2);
    AutoTracker tracker(corpus->frame(0), corpus->clickX(), corpus->clickY());
    try {
        tracker.next(flatFrame(64, 48, 0));
        ADD_FAILURE() << "accepted a smaller frame";
    } catch (const AutoTrackError &error) {
        EXPECT_EQ(error.kind(), AutoTrackErrorKind::SizeChanged);
    }
}

TEST(AutoTrackStart, BallClickedOnADarkSpotIsFollowedByItsColour)
{
    // An orange ball as bright as the grey wall around it: in grey levels
    // the spot clicked is all that shows, and a round one.
    cv::Mat picture(240, 320, CV_8UC3, cv::Scalar(135, 135, 135));
    cv::circle(picture, {160, 120}, 20, cv::Scalar(240, 104, 20), cv::FILLED, cv::LINE_AA);
    cv::circle(picture, {160, 120}, 4, cv::Scalar(30, 30, 30), cv::FILLED, cv::LINE_AA);
    RgbImage frame{picture.cols, picture.rows, std::vector<std::uint8_t>(picture.datastart, picture.dataend)};
    EXPECT_TRUE(AutoTracker(frame, 160, 120).followsColour());
}

TEST(MotionModel, ThrownObjectIsPredictedFromItsLastPositions)
{
    MotionModel model;
    EXPECT_EQ(model.samples(), 0);
    auto thrown = [](int t) { return Vec2{10 + 4.0 * t, 300 - 12.0 * t + 0.25 * t * t}; };
    model.add(0, thrown(0));
    EXPECT_DOUBLE_EQ(model.predict(3).x, thrown(0).x); // standing still until it moves
    model.add(1, thrown(1));
    EXPECT_NEAR(model.predict(2).x, thrown(2).x, 1e-9); // two points: constant velocity
    for (int t = 2; t < 12; ++t)
        model.add(t, thrown(t));
    // A gap of missed frames, and the acceleration carries the prediction.
    for (int t : {12, 15, 20}) {
        EXPECT_NEAR(model.predict(t).x, thrown(t).x, 1e-6);
        EXPECT_NEAR(model.predict(t).y, thrown(t).y, 1e-6);
    }
    EXPECT_NEAR(model.velocity().y, thrown(12).y - thrown(11).y, 1e-6);
    // After a bounce only the newest position is kept: no motion assumed.
    model.keepNewest(1);
    EXPECT_EQ(model.samples(), 1);
    EXPECT_DOUBLE_EQ(model.predict(14).y, thrown(11).y);
}

TEST(MotionModel, FramesShownTwiceArePredictedAsTheyRepeat)
{
    MotionModel model;
    auto shown = [](int t) { return Vec2{100 + 18.0 * (t / 2), 50}; };
    for (int t = 0; t < 7; ++t)
        model.add(t, shown(t));
    EXPECT_DOUBLE_EQ(model.predict(7).x, shown(7).x); // a move was just shown: the frame repeats
    model.add(7, shown(7));
    EXPECT_NEAR(model.predict(8).x, shown(8).x, 1e-6); // then it moves on
    // Each move looks like a bounce to the fit; the repeats are not forgotten.
    model.keepNewest(1);
    model.add(8, shown(8));
    EXPECT_DOUBLE_EQ(model.predict(9).x, shown(9).x);
}

CaseScore trackAndScore(const std::string &name, int frames)
{
    const auto corpus = makeCorpusCase(name, frames);
    return scoreRun(*corpus, runTracker(*corpus));
}

// No claim more than 3 px off, and at least `share` of the visible frames
// claimed within 3 px.
void expectFollowed(const CaseScore &score, double share, const std::string &name = {})
{
    EXPECT_EQ(score.wrongClaims, 0) << name;
    EXPECT_GE(score.withinShare(), share) << name;
}

CaseScore trackEncodedAndScore(const std::string &name, int frames, int crf)
{
    const auto corpus = makeCorpusCase(name, frames);
    return scoreRun(*corpus, runTrackerOnVideo(*corpus, encodedAtQuality(*corpus, crf)));
}

TEST(AutoTrackCorpus, ClickIsMovedToTheObjectsCentre)
{
    for (const std::string name : {"throw720", "blur", "lowcontrast"}) {
        const auto corpus = makeCorpusCase(name, 1);
        const TruthPoint truth = corpus->truth(0);
        AutoTracker tracker(corpus->frame(0), corpus->clickX(), corpus->clickY());
        const double clickError = std::hypot(corpus->clickX() - truth.x, corpus->clickY() - truth.y);
        const double startError = std::hypot(tracker.startX() - truth.x, tracker.startY() - truth.y);
        EXPECT_GT(clickError, 0.3) << name;
        EXPECT_LT(startError, 0.25) << name << " started at " << tracker.startX() << ", " << tracker.startY();
    }
}

// Grey frames are what the command-line tracker reads: with the grey levels
// the tracker makes of the colour frames, it follows the same path, to
// within what the rounding of a grey level moves an outline's edges.
TEST(AutoTrackCorpus, GreyFramesAreTrackedAsTheirColourFrames)
{
    const auto corpus = makeCorpusCase("lookalike", 40);
    AutoTracker colour(corpus->frame(0), corpus->clickX(), corpus->clickY());
    AutoTracker gray(grayOf(corpus->frame(0)), corpus->clickX(), corpus->clickY());
    EXPECT_DOUBLE_EQ(gray.startX(), colour.startX());
    EXPECT_DOUBLE_EQ(gray.startY(), colour.startY());
    for (int index = 1; index < corpus->frameCount(); ++index) {
        const RgbImage frame = corpus->frame(index);
        const TrackStep fromColour = colour.next(frame);
        const TrackStep fromGray = gray.next(grayOf(frame));
        ASSERT_EQ(fromGray.state, fromColour.state) << "frame " << index;
        EXPECT_NEAR(fromGray.x, fromColour.x, 0.15) << "frame " << index;
        EXPECT_NEAR(fromGray.y, fromColour.y, 0.15) << "frame " << index;
    }
    try {
        gray.next(GrayImage{corpus->width(), corpus->height(), std::vector<std::uint8_t>(7)});
        ADD_FAILURE() << "accepted pixels that do not fill the frame";
    } catch (const AutoTrackError &error) {
        EXPECT_EQ(error.kind(), AutoTrackErrorKind::BadFrame);
    }
}

TEST(AutoTrackCorpus, OcclusionIsReportedHiddenAndTheObjectFoundAgain)
{
    const CaseScore score = trackAndScore("occlusion", 90);
    ASSERT_GT(score.visibleFrames, 60);
    EXPECT_EQ(score.reappearances, 1); // the corpus itself hides and shows it
    EXPECT_EQ(score.lateReacquisitions, 0);
    EXPECT_EQ(score.hiddenClaims, 0);
    EXPECT_EQ(score.wrongClaims, 0);
    EXPECT_GE(score.withinShare(), 0.97);
    EXPECT_LT(score.meanError, 0.5);
}

TEST(AutoTrackCorpus, LookAlikeCrossingDoesNotTakeOver)
{
    // The two identical balls overlap around frame 75 and part after it.
    const CaseScore score = trackAndScore("lookalike", 100);
    EXPECT_EQ(score.wrongClaims, 0);
    EXPECT_EQ(score.withinTolerance, score.visibleFrames);
    EXPECT_LT(score.maxError, 1.5);
}

// Two striped discs on a textured wall, in grey levels; the second as
// large as the first, or smaller.
GrayImage twoDiscs(Vec2 first, Vec2 second, int secondRadius = 12)
{
    cv::Mat frame(270, 480, CV_8U);
    for (int y = 0; y < frame.rows; ++y)
        for (int x = 0; x < frame.cols; ++x)
            frame.at<std::uint8_t>(y, x) =
                cv::saturate_cast<std::uint8_t>(100 + 30 * std::sin(x * 0.21) * std::cos(y * 0.17));
    for (const auto &[disc, radius] : {std::pair{first, 12}, {second, secondRadius}}) {
        cv::circle(frame, cv::Point2d(disc.x, disc.y), radius, cv::Scalar(230), cv::FILLED, cv::LINE_AA);
        cv::line(frame, cv::Point2d(disc.x - radius + 1, disc.y), cv::Point2d(disc.x + radius - 1, disc.y),
                 cv::Scalar(40), 4);
    }
    return {frame.cols, frame.rows, std::vector<std::uint8_t>(frame.datastart, frame.dataend)};
}

TEST(AutoTrackLookAlike, LookAlikeStillInViewIsNotTakenForTheObjectThatLeft)
{
    // The followed disc leaves the picture on the right; its twin, crossing
    // the other way, stays in view. The twin was taken for the followed one
    // coming back as soon as that one had left, 250 px from where it left;
    // and again once it was no longer taken for a twin where it looked
    // smaller for a frame, as compression makes a region look.
    const auto followed = [](int t) { return Vec2{60.0 + 14 * t, 110.0}; };
    const auto twin = [](int t) { return Vec2{440.0 - 6 * t, 170.0}; };
    AutoTracker tracker(twoDiscs(followed(0), twin(0)), 60, 110);
    for (int t = 1; t < 60; ++t) {
        const TrackStep step = tracker.next(twoDiscs(followed(t), twin(t), t % 8 == 0 ? 8 : 12));
        if (followed(t).x < 460) {
            EXPECT_EQ(step.state, TrackStep::State::Found) << "frame " << t;
        } else if (followed(t).x > 495) {
            EXPECT_NE(step.state, TrackStep::State::Found) << "frame " << t;
        }
    }
}

TEST(AutoTrackLookAlike, StillLookAlikeIsNotTakenWhereNothingTellsWhetherItMoves)
{
    // A disc at a pixel a frame, too slow for the background to be known
    // yet, vanishes; a disc of its size, its stripe turned a little, stands
    // still 75 px away. Its outline fits, so its texture needed to match
    // only loosely: it was claimed from a few frames after the disc
    // vanished, farther than the disc can have gone.
    const auto picture = [](int t) {
        cv::Mat frame(270, 480, CV_8U);
        for (int y = 0; y < frame.rows; ++y)
            for (int x = 0; x < frame.cols; ++x)
                frame.at<std::uint8_t>(y, x) =
                    cv::saturate_cast<std::uint8_t>(100 + 30 * std::sin(x * 0.21) * std::cos(y * 0.17));
        std::vector<std::pair<cv::Point2d, double>> discs{{{280, 160}, 0.2}};
        if (t < 8)
            discs.push_back({{200.0 + t, 135}, 0});
        for (const auto &[centre, turn] : discs) {
            cv::circle(frame, centre, 12, cv::Scalar(230), cv::FILLED, cv::LINE_AA);
            const cv::Point2d along(11 * std::cos(turn), 11 * std::sin(turn));
            cv::line(frame, centre - along, centre + along, cv::Scalar(40), 4);
        }
        return GrayImage{frame.cols, frame.rows, std::vector<std::uint8_t>(frame.datastart, frame.dataend)};
    };
    AutoTracker tracker(picture(0), 200, 135);
    for (int t = 1; t < 40; ++t) {
        const TrackStep step = tracker.next(picture(t));
        if (t >= 8) {
            EXPECT_NE(step.state, TrackStep::State::Found) << "frame " << t << " at " << step.x << "," << step.y;
        }
    }
    // A marker on a wheel is slow where the wheel turns it back: lost
    // there, it is found again farther than that pace would take it.
    expectFollowed(trackEncodedAndScore("marker-spin-dark", 40, 18), 0.75, "marker-spin-dark");
}

TEST(AutoTrackCorpus, LoneMovingRegionOfTheObjectsSizeIsTakenUpOnAMiddlingLook)
{
    // The pendulum, heavily compressed, is lost at frame 250 where it turns
    // back. From then on it is the only thing of its size that moves, and
    // its look matches well enough to follow, but not to take up again on
    // a single frame: it was declared hidden to the end of the swing
    // (0.61 within). Its claims stay within 4.5 px: its outline, fitted
    // under heavy compression, may lie a pixel or so beyond the tolerance.
    const CaseScore score = trackEncodedAndScore("pendulum-long", 320, 28);
    EXPECT_GE(score.withinShare(), 0.68);
    EXPECT_LT(score.maxError, 4.5);
}

TEST(AutoTrackCorpus, LuminanceLostIsTakenUpAgainWhereTheColourViewHolds)
{
    // The room clip: luminance loses the ball while its side as bright as
    // the wall faces the camera, and is lost at frame 559. The colour view
    // then followed alone, and the ball was hidden wherever that view lost
    // its colour (93.6 % within). With the background brought to each
    // frame's light, the ball is found again sooner where it came back, once
    // 5.7 px off (frame 592).
    // The ball that left the picture came back with another face turned to
    // the camera: found again 37 frames late, then on its whole outline.
    const CaseScore score = trackAndScore("long-changing", 700);
    EXPECT_LE(score.wrongClaims, 2);
    EXPECT_GE(score.withinShare(), 0.945);
    EXPECT_EQ(score.lateReacquisitions, 0);
}

TEST(AutoTrackCorpus, BallBackInTheCompressedPictureIsFoundAgainByItsOutline)
{
    // The room clip compressed: the ball back in the picture from frame 389
    // matched its first look too little for the whole-picture search to
    // place it on its centre, and no outline fitted 9 px off it. It was
    // never found again.
    const CaseScore score = trackEncodedAndScore("long-changing", 420, 23);
    EXPECT_EQ(score.reappearances, 1);
    EXPECT_EQ(score.lateReacquisitions, 0);
    EXPECT_GE(score.withinShare(), 0.9);
}

TEST(AutoTrackCorpus, RegionSmallerThanTheBallFarOffItsPathIsNotTakenForIt)
{
    // The room clip compressed: found again on the floor at frame 716, the
    // ball was claimed two frames later on a region of the floor's stripes,
    // smaller than the ball, with an outline of its size around it, 169 px
    // off. The motion that claim gave took the search off the picture, and
    // the ball was lost for good.
    EXPECT_LT(trackEncodedAndScore("long-changing", 730, 26).maxError, 10);
}

TEST(AutoTrackCorpus, ColourViewAloneIsMovedByItsOffsetFromTheOutlineLuminanceSaw)
{
    // The bob on its cord compressed: the colour view, which does not see
    // it round, follows a point of its texture 4 to 6 px off its centre.
    // Where luminance lost it (frames 101 to 112) that point stood alone:
    // 71 % within, 21 wrong claims.
    const CaseScore score = trackEncodedAndScore("pendulum-cord", 120, 23);
    EXPECT_GE(score.withinShare(), 0.78);
    EXPECT_LE(score.wrongClaims, 15);
}

TEST(AutoTrackCorpus, ViewLeftOnTheBackgroundGivesWayToTheViewOnWhatMoves)
{
    // The walker compressed: the colour view stayed on a patch of his
    // colour from frame 9 on, and its own frames, which placed him there,
    // never showed that nothing moved there. The views parted, and the
    // walker was hidden to the end (5 % within).
    const CaseScore score = trackEncodedAndScore("walker", 160, 26);
    EXPECT_LE(score.wrongClaims, 1);
    EXPECT_GE(score.withinShare(), 0.5);
}

TEST(AutoTrackCorpus, FastTurningAndRotatingObjectsStayWithinTolerance)
{
    // Wall bounces at 21 px a frame with a long exposure, a patterned
    // square turning 6 degrees a frame, and a plain one whose one coloured
    // corner would pull the adapted look around it.
    for (auto [name, frames, mean] :
         {std::tuple{"blur", 70, 0.6}, {"rotation", 60, 0.6}, {"ff-square-turning", 60, 1.0}}) {
        const CaseScore score = trackAndScore(name, frames);
        expectFollowed(score, 0.98, name);
        EXPECT_LT(score.meanError, mean) << name;
    }
}

TEST(AutoTrackCorpus, SpinningBallIsFollowedByItsOutlineUnderAMovingCamera)
{
    // A ball whose seam turns across its face, lit from one side, and one
    // thrown in front of a cluttered wall while the camera shakes and pans.
    // The second says hidden on a few frames where its outline is unsure.
    for (auto [name, frames, share] : {std::tuple{"spinball", 40, 0.98}, {"shake-pan", 30, 0.9}}) {
        const CaseScore score = trackAndScore(name, frames);
        expectFollowed(score, share, name);
        EXPECT_LT(score.meanError, 0.8) << name;
    }
}

TEST(AutoTrackCorpus, BallWhoseFaceTurnsAwayIsFollowedByItsMovingOutline)
{
    // A red and white ball spinning in depth round a room: after its first
    // bounce only its white side shows, which no look it had matches. And a
    // spinning ball crossing a 1080p picture at 40 to 57 px a frame, its
    // outline smeared by the motion; off the floor, its moving region lay
    // off the predicted path and went unclaimed for five frames (85 %).
    // The first is placed once 3.4 px off, by a moving region that misses
    // the ball's red side on the floor.
    for (auto [name, frames, share, wrong] : {std::tuple{"long-changing", 200, 0.9, 1}, {"bounce1080", 60, 0.93, 0}}) {
        const CaseScore score = trackAndScore(name, frames);
        EXPECT_LE(score.wrongClaims, wrong) << name;
        EXPECT_LT(score.maxError, 4) << name;
        EXPECT_GE(score.withinShare(), share) << name;
    }
}

TEST(AutoTrackCorpus, BallAsBrightAsWhatItCrossesIsFollowedByItsOutline)
{
    // A striped disc over a panning fractal: where the fractal behind it is
    // as bright as the disc, nothing moves against the background there,
    // and its whole, sharp outline was refused from frame 104 on.
    expectFollowed(trackAndScore("ff-pan-ball", 125), 0.98);
}

TEST(AutoTrackCorpus, OutlineTheBackgroundShowsTooIsNotTheObject)
{
    // The pendulum over leaves, compressed: luminance was taken up on a
    // round leaf where nothing moves, and the leaf's sharp outline kept it
    // there (69 % within, a claim 64 px off). The background has that
    // outline too. One claim, near the start, is 18 px off; since a round
    // object stays on its whole outline against a larger region's bare
    // centre, a quarter of the frames are `hidden` (0.83 within before;
    // 0.72 before the background was brought to each frame's light).
    const CaseScore score = trackEncodedAndScore("pendulum-shake", 100, 26);
    EXPECT_GE(score.withinShare(), 0.7);
    EXPECT_LT(score.maxError, 20);
}

TEST(AutoTrackCorpus, BallThrownFastFromTheFirstFrameIsFollowedFromTheStart)
{
    // 41 px a frame from the click on, at 1080p and compressed: blurred by
    // its speed, the ball fits neither its outline nor its look closely,
    // and was `hidden` for the first 29 frames while the background was
    // not known.
    const CaseScore score = trackEncodedAndScore("bounce1080", 40, 20);
    EXPECT_GE(score.withinShare(), 0.9);
    EXPECT_LE(score.wrongClaims, 2);
}

TEST(AutoTrackCorpus, BallThrownFromAHandIsResizedByItsWholeOutline)
{
    // Held, the hand covers a third of the ball: the outline found at the
    // click is a smaller circle, 4 px above the ball's centre. Thrown, the
    // ball shows whole, 3.6 to 7.9 px from that circle's centre until it
    // drifted back at frame 47. The held ball's claims stay 4 to 6 px off,
    // and so do the three after the throw that show its outline; a claim
    // more or less within 3 px moves the share by 2 points.
    const CaseScore score = trackAndScore("handthrow", 60);
    EXPECT_GE(score.withinShare(), 0.8);
    EXPECT_LT(score.maxError, 7);
}

TEST(AutoTrackCorpus, ObjectsThatAreNotBallsAreNotTakenForCirclesAroundTheClick)
{
    // A small disc on a grainy gradient: a 26 px circle of the grain around
    // it, drawn by two thirds of the rays, was taken for its outline (28
    // claims 3 to 5 px off). A tumbling egg: the circle of one of its ends,
    // 4 px off the click, was followed (1 % within).
    expectFollowed(trackAndScore("ff-portrait-drop", 45), 0.85, "ff-portrait-drop");
    const CaseScore egg = trackAndScore("ff-egg-tumbling", 40);
    EXPECT_GE(egg.withinShare(), 0.9);
    EXPECT_LE(egg.wrongClaims, 1);
}

TEST(AutoTrackCorpus, BallCloseToTheCameraClickedOnItsStripeIsSizedByItsOutline)
{
    // 120 px across: circles that large were not looked for, and a 7 px
    // template slid along the stripe, claims up to 49 px off.
    expectFollowed(trackAndScore("ff-large-ball", 30), 0.9, "ff-large-ball");
}

TEST(AutoTrackCorpus, BallRollingWithItsShadowIsPlacedByItsOutlineNotTheRegionWithTheShadow)
{
    // The moving region holds the shadow too: its centre, 7 px off the
    // ball's, was claimed from frame 16 on.
    expectFollowed(trackAndScore("ff-ball-and-shadow", 60), 0.95, "ff-ball-and-shadow");
}

TEST(AutoTrackCorpus, BallClickedWhileSmearedIsSizedByItsOutlineNotItsStripe)
{
    // Its stripe through the centre shows more sharply than its smeared
    // outline: taken for the object, it made a 2 px template that matched
    // the plain background. Four claims near the bounce are 3.0 to 3.2 px
    // and 6.5 px off.
    const CaseScore score = trackAndScore("ff-blur-bounce", 40);
    EXPECT_LE(score.wrongClaims, 4);
    EXPECT_LT(score.maxError, 8);
    EXPECT_GE(score.withinShare(), 0.84);
}

TEST(AutoTrackCorpus, BallInACompressedVideoIsFollowedByItsSoftenedOutline)
{
    // All three as a camera's file at x264's default quality. The spinning ball's
    // outline, softened by the blocks, did not fit well enough on the click
    // frame: followed by its texture, it was lost (17.6 % within, 21 wrong
    // claims up to 596 px off). The faint ball's edges fall under the slope
    // a sharp outline shows on a tenth of the frames (89.9 %). The pendulum
    // over leaves, under a shaking camera, was taken up again on a leaf where
    // nothing moved (78 %, one claim 274 px off); two claims are 3.1 and
    // 3.6 px off. Off the wall, the spinning ball is placed twice by its
    // moving region, which misses its lower side, 3.4 and 4.1 px off.
    for (auto [name, frames, share, wrong, largest] : {std::tuple{"long-changing", 120, 0.93, 2, 4.5},
                                                       {"lowcontrast", 80, 0.97, 0, 3.0},
                                                       {"pendulum-shake", 60, 0.9, 2, 4.0}}) {
        const CaseScore score = trackEncodedAndScore(name, frames, 23);
        EXPECT_LE(score.wrongClaims, wrong) << name;
        EXPECT_GE(score.withinShare(), share) << name;
        EXPECT_LT(score.maxError, largest) << name;
    }
}

TEST(AutoTrackCorpus, WholeOutlineHoldsOverAColourViewThatSeesACap)
{
    // A white ball with a red cap coming at the camera: luminance fits its
    // whole outline, the colour view the cap's, 4 to 5 px off; the two
    // disagreeing hid the ball for frames on end (61 % within).
    EXPECT_GE(trackAndScore("grow", 100).withinShare(), 0.68);
}

TEST(AutoTrackCorpus, BallComingCloserIsFollowedThroughItsSizeChange)
{
    // The same ball all the way, 12 to 48 px across and back: where the two
    // views' outlines, one inside the other, lay 3 to 6 px apart, it was
    // hidden (72 % within, 2 claims more than 3 px off). Going away, it
    // shrank faster than its smoothed size: its outline, smaller than the
    // size allowed, was not taken, and it was hidden from frame 157 on
    // (87 %).
    expectFollowed(trackAndScore("grow", 180), 0.97);
}

TEST(AutoTrackCorpus, BallClickedOnItsCentreIsNotTakenForALargerCircleBesideIt)
{
    // A ball rolling along floor boards: at the click, luminance took a
    // larger circle 2 px above it, drawn by the boards' edges and fewer
    // rays, and the two views, 2 to 3 px apart, hid a fifth of the frames.
    expectFollowed(trackAndScore("floor-roll", 60), 0.97);
}

TEST(AutoTrackCorpus, BallFallingEverFasterIsNotLostAsItsSmearGrows)
{
    // Let go after 30 frames still: at 25 px a frame its moving region,
    // longer each frame, no longer had the area learnt while it fell
    // slowly, and the ball was lost for good 9 frames before the end.
    expectFollowed(trackAndScore("rest-drop", 66), 0.95);
}

TEST(AutoTrackCorpus, RegionOffTheOutlinesCentreByAShadedSideStillShowsTheObject)
{
    // Onto the floor boards, the ball's shaded side is as dark as they
    // are: its moving region's centre lay 2.4 px from its outline's, and
    // the colour view, on the ball, was refused while luminance, on a
    // larger circle of the boards, claimed it 3.4 px off.
    expectFollowed(trackAndScore("orbit-room", 30), 0.95);
}

TEST(AutoTrackCorpus, BallLetGoBehindAHandIsFoundAgainByItsOutlineOnWhatMoved)
{
    // Held still, nothing told its moving region; let go behind the hand,
    // it came back falling, off its path and turned from its look, and was
    // never found again (0 % of the frames it showed in full).
    const CaseScore score = trackAndScore("hand-drop", 60);
    expectFollowed(score, 0.8);
    EXPECT_EQ(score.lateReacquisitions, 0);
}

TEST(AutoTrackCorpus, LeadingColourViewThatDoesNotHoldForAFrameStillOutweighsAViewLeftStanding)
{
    // A small ball thrown fast: luminance stayed where it was clicked, on
    // the wall; the colour view followed it, but its colour, smeared by the
    // speed, often did not show, and those frames were hidden (40 %).
    expectFollowed(trackAndScore("small-fast-clutter", 60), 0.75);
}

TEST(AutoTrackCorpus, DimBallWhoseFarSideIsAsDarkAsTheLeavesIsFollowed)
{
    // Each view's outline was pulled 1 to 3 px aside by the dark side and
    // the leaves, the two more than 3 px apart, and the frame was hidden.
    expectFollowed(trackAndScore("dim-swing-leaves", 60), 0.95);
    // Compressed, luminance took a circle of the leaves 30 px off its path
    // where nothing moved, before the ball's region was known.
    const CaseScore compressed = trackEncodedAndScore("dim-swing-leaves", 40, 18);
    EXPECT_EQ(compressed.wrongClaims, 0);
    EXPECT_GE(compressed.withinShare(), 0.85);
}

TEST(AutoTrackCorpus, BlurredBallIsPlacedOnAllOfWhatDiffersFromTheBackground)
{
    // A tennis ball smeared over 24 px across leaves, its outline lost in
    // the blur: its texture and its clearly moving region lay 3 to 5 px
    // towards its lit side (20 claims more than 3 px off in these frames).
    expectFollowed(trackAndScore("tennis-bounce-blur", 40), 0.5);
}

TEST(AutoTrackCorpus, OutlineFoundAgainNeedNotLieWherePredicted)
{
    // A ball bouncing under a hand-held camera, its place showing nothing
    // moving against the background: its whole outline, found again after
    // the bounce off the predicted path, was refused until both views had
    // lost it for 8 frames (92.7 % within).
    expectFollowed(trackAndScore("shake-pan", 125), 0.95);
}

TEST(AutoTrackCorpus, ColourViewSeeingNoCircleDoesNotClaimARoundObjectAlone)
{
    // The growing ball, compressed hard: once its outline is lost in
    // luminance, the colour view, which follows its texture, claimed it
    // alone 37 times up to 15 px off. Nine claims are 3 to 5 px off: the
    // shaded side of the small ball fades into the wall under compression
    // and pulls its outline towards the lit side (three of them where the
    // colour view, farther off, made the frame hidden before luminance's
    // outline was trusted over a view that does not see the ball round).
    const CaseScore score = trackEncodedAndScore("grow", 100, 28);
    EXPECT_LE(score.wrongClaims, 9);
    EXPECT_LT(score.maxError, 5.5);
    EXPECT_GE(score.withinShare(), 0.4);
}

TEST(AutoTrackCorpus, WhereTheViewsDisagreeTheOneThatSeesTheObjectHolds)
{
    // Both at a phone's quality. The faint ball in the dark: luminance fits
    // its outline, the colour view follows its texture 3 px off, and the
    // two disagreeing made the frame hidden (53 % within); later, where the
    // colour view held, it placed the ball there (77 %). The marker
    // on a turning wheel: luminance follows the wheel's rim, the colour
    // view the marker; when the colour view lost the marker, luminance
    // claimed the rim alone, up to 48 px off (32 wrong claims). At x264's
    // default quality, luminance was trusted again on the rim as soon as the
    // colour view's claim left its own path for a frame (19 claims up to
    // 51 px off).
    expectFollowed(trackEncodedAndScore("lowlight", 100, 18), 0.95, "lowlight");
    EXPECT_EQ(trackEncodedAndScore("marker-spin", 40, 18).wrongClaims, 0);
    EXPECT_EQ(trackEncodedAndScore("marker-spin", 120, 23).wrongClaims, 0);
}

TEST(AutoTrackCorpus, ColouredMarkerOnATurningWheelIsFollowedByItsColour)
{
    // An orange marker as bright as its grey wheel: in grey levels only the
    // wheel shows, which turns the marker around its hub.
    expectFollowed(trackAndScore("marker-spin", 40), 0.95);
}

TEST(AutoTrackCorpus, BallOfTheBackgroundsGreyIsFollowedByItsColourUnderHeavyCompression)
{
    // A red ball on green of its brightness, heavily compressed: luminance
    // shows the grass's texture only and gave its size, too large for the
    // ball's smeared colour to stand out. Followed in grey alone, the grass
    // at the click was claimed on every frame.
    const CaseScore score = trackEncodedAndScore("ff-red-on-green", 40, 28);
    expectFollowed(score, 0.95, "ff-red-on-green");
    EXPECT_EQ(score.wrongClaims, 0);
}

TEST(AutoTrackCorpus, WhatWasThereBeforeTheObjectCameIsNotTakenForIt)
{
    // A fast ball off the floor, heavily compressed: on the first frame
    // the tracker took the floor beside the click for it, and kept the
    // claim there to the end, as nothing yet showed that place without
    // what it followed (29 wrong claims of 29). The blur of 41 px a frame,
    // smeared by the blocks, still leaves many frames hidden: a third are
    // claimed within 3 px, and three claims are 7 to 16 px off.
    const CaseScore score = trackEncodedAndScore("bounce1080", 30, 28);
    EXPECT_LE(score.wrongClaims, 3);
    EXPECT_GE(score.withinShare(), 0.33);
}

TEST(AutoTrackCorpus, LuminanceThatPartedFromTheColourViewIsNotTrustedAlone)
{
    // A yellow ball over leaves, heavily compressed. Luminance took a leaf
    // of the ball's grey while the colour view, not sure enough of the
    // colour to lead, kept to the ball; where the colour view then lost
    // the ball, the leaf was claimed alone, 500 to 800 px off, on into the
    // frames after the ball had left the picture (25 wrong claims, 9 of
    // them while it was out).
    const CaseScore score = trackEncodedAndScore("tennis-leaves", 0, 28);
    EXPECT_EQ(score.hiddenClaims, 0);
    EXPECT_LE(score.wrongClaims, 15);
}

TEST(AutoTrackCorpus, CartLeavingItsBarIsHeldByLuminanceAndPlacedByItsSticker)
{
    // A dark red cart with a yellow sticker leaves a red bar for a green
    // one: the colour view lost it there, after claims beside luminance's
    // that parted the views, and luminance, on the cart at 0.99, was not
    // trusted alone again: hidden from frame 32 to the end (25 % within).
    // Then, over moving noise, the cart's region swelled and its centre
    // moved the sticker's sharp match 3 to 7 px off (10 wrong claims); at
    // quality 26, the region taken on the red bar put the sticker 6 px off
    // for good once the match was not sharp for a frame (40 wrong claims).
    const CaseScore score = trackAndScore("ff-cart-on-track", 120);
    EXPECT_GE(score.withinShare(), 0.88);
    EXPECT_LE(score.wrongClaims, 3);
    const CaseScore compressed = trackEncodedAndScore("ff-cart-on-track", 120, 26);
    EXPECT_GE(compressed.withinShare(), 0.85);
    EXPECT_LE(compressed.wrongClaims, 2);
}

TEST(AutoTrackRestart, PicksUpFromAClickAfterAStop)
{
    const auto corpus = makeCorpusCase("spinball", 50);
    AutoTracker tracker(corpus->frame(0), corpus->clickX(), corpus->clickY());
    for (int index = 1; index < 20; ++index)
        ASSERT_EQ(tracker.next(corpus->frame(index)).state, TrackStep::State::Found) << "frame " << index;
    // Stopped at frame 19; the user clicks the ball on frame 25.
    const RgbImage clicked = corpus->frame(25);
    EXPECT_THROW(tracker.restart(clicked, -3, 10, 6), AutoTrackError);
    EXPECT_THROW(tracker.restart(flatFrame(64, 48, 0), 5, 5, 6), AutoTrackError);
    const TruthPoint truth = corpus->truth(25);
    tracker.restart(clicked, std::nearbyint(truth.x), std::nearbyint(truth.y), 6);
    EXPECT_LT(std::hypot(tracker.startX() - truth.x, tracker.startY() - truth.y), 0.6);
    TrackRun run(26);
    for (int index = 26; index < corpus->frameCount(); ++index)
        run.push_back(tracker.next(corpus->frame(index)));
    const CaseScore score = scoreRun(*corpus, run);
    EXPECT_EQ(score.wrongClaims, 0);
    EXPECT_EQ(score.withinTolerance, corpus->frameCount() - 26);

    // A run that had nothing to follow starts afresh from the click.
    const RgbImage wall = flatFrame(corpus->width(), corpus->height(), 128);
    AutoTracker fromWall(wall, 100, 100);
    EXPECT_EQ(fromWall.next(wall).state, TrackStep::State::Lost);
    fromWall.restart(clicked, std::nearbyint(truth.x), std::nearbyint(truth.y), 1);
    EXPECT_TRUE(fromWall.hasTarget());
    EXPECT_EQ(fromWall.next(corpus->frame(26)).state, TrackStep::State::Found);
}

TEST(AutoTrackStart, TuningNumbersOutOfRangeAreBroughtIntoIt)
{
    // Not numbers, or far too large: the tracker still follows the ball,
    // with bounded work per frame.
    AutoTrackParameters wild;
    wild.maxObjectDiameter = NAN;
    wild.maxSearchSamples = 1 << 30;
    wild.templateMargin = -4;
    wild.followAdaptive = INFINITY;
    wild.reacquireMemory = -1;
    wild.outlineSupport = NAN;
    wild.cameraPatches = 1 << 20;
    const auto corpus = makeCorpusCase("spinball", 12);
    AutoTracker tracker(corpus->frame(0), corpus->clickX(), corpus->clickY(), wild);
    TrackRun run(1);
    for (int index = 1; index < corpus->frameCount(); ++index)
        run.push_back(tracker.next(corpus->frame(index)));
    const CaseScore score = scoreRun(*corpus, run);
    EXPECT_EQ(score.wrongClaims, 0);
    EXPECT_GT(score.claims, 0);
}

TEST(AutoTrackCorpus, ScorerCountsClaimsOnHiddenFramesAndLateReacquisition)
{
    const auto corpus = makeCorpusCase("occlusion", 90);
    TrackRun run(corpus->frameCount());
    // A tracker that claims the true centre on every frame, hidden or not...
    for (int index = 1; index < corpus->frameCount(); ++index)
        run[index] = {TrackStep::State::Found, corpus->truth(index).x, corpus->truth(index).y, 1};
    const CaseScore always = scoreRun(*corpus, run);
    EXPECT_GT(always.hiddenClaims, 3);
    EXPECT_EQ(always.wrongClaims, always.hiddenClaims);
    EXPECT_EQ(always.lateReacquisitions, 0);
    // ...and one that says nothing from the occlusion on.
    for (int index = 50; index < corpus->frameCount(); ++index)
        run[index] = {};
    const CaseScore silent = scoreRun(*corpus, run);
    EXPECT_EQ(silent.wrongClaims, 0);
    EXPECT_EQ(silent.lateReacquisitions, 1);
    EXPECT_LT(silent.withinShare(), 0.8);
}

} // namespace
