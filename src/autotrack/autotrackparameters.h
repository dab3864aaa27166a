#pragma once

namespace zorvane {

// The tuning numbers of the automatic tracker, in one place. Sizes are in
// frame pixels unless said otherwise; "samples" are points of the grid the
// object is sampled on, which keeps the object about the same number of
// samples across whatever its size in the picture.
struct AutoTrackParameters {
    // Finding the object at the start
    double minProbeRadius = 40;    // how far around the click to look for the object's outline, at least
    double defaultRadius = 10;     // radius taken for a textured object without a clear outline
    double minEdgeSlope = 0.6;     // mean slope (grey levels per pixel) an outline needs to count as one
    double minSpread = 3.0;        // grey-level spread below which the clicked patch is a flat wall
    double maxObjectDiameter = 24; // samples across the object; larger objects are sampled more coarsely
    int templateMargin = 3;        // samples of background kept around the object in its templates

    // Round objects: their outline gives their centre
    double minRoundRadius = 4;    // smallest round object, pixels: a smaller circle is a detail of something else
    double roundSupport = 0.6;    // share of rays on the fitted circle needed to call the object round at the start
    double outlineSupport = 0.55; // share of rays on the circle needed to use it while following
    double outlineRms =
        0.6; // largest scatter of the edges about the circle, pixels, growing by a quarter per 10 px of radius
    double outlineSlope = 2.0;        // grey levels per pixel an edge needs along a ray
    double weakOutlineSlope = 0.5;    // ... or this little, where nearly all rays find the edge
    double weakOutlineSupport = 0.75; // ... that share of them
    double radiusChange = 0.12;       // how far a fitted radius may be from the expected one, as a share (plus a pixel)
    double radiusRate = 0.3;          // weight of a frame's fitted radius in the expected one
    double sizeTrendRate = 0.3;       // ... and of the change it makes in the expected change per frame
    int sizeTrendFrames = 5;          // most frames between two measures of the size for that change to count
    double sizeStep = 0.2; // where its outline is not of the expected size, how much larger a size is tried, as a share
    double outlineShift = 0.6;        // largest move from the template's match to the outline's centre, in radii
    double largeCircleClick = 0.15;   // how far off a large circle's centre the click may be, in radii
    double wellOffClick = 0.25;       // a circle whose centre is this far from the click, in radii, is well off it
    double offClickSupport = 0.72;    // ... and needs this share of rays on it to be the object's outline
    double largerOutlineSupport = 0.25; // how much less of its outline a larger circle round the click may show
    double nearerClick = 1.0;           // a circle whose centre is this much nearer the click, pixels, than another's
    double moreRays = 0.1; // ... and that shows this much more of its outline is the object's, whatever its size
    int roundLaterFrames = 30;     // frames after the click over which an object not found round may still prove round
    int roundLaterSeen = 3;        // ... by its outline around this many claims in a row
    double completeOutline = 0.65; // share of rays on the circle that places the object whatever its texture shows
    double sharpOutline =
        0.5; // ... with its edges this close to the circle, pixels, a quarter more per 10 px of radius
    double outlineReach =
        0.35; // ... this far from the predicted place, in radii (plus up to as much for the usual miss)
    double outlineOverColour = 0.75; // share of rays on luminance's whole outline that holds it over a colour
                                     // view which, not leading, saw part of the object (a cap of its colour)

    // Searching a frame
    int coarseAbove = 28;       // search radius (samples) from which a half-resolution pass comes first
    int maxSearchSamples = 120; // largest search radius, samples
    int candidates = 3;         // peaks of the coarse pass looked at closely
    double pathPreference =
        0.25; // score a candidate loses at the edge of the search area against one on the predicted path
    double unknownMotionReach = 72; // search radius at 1080p before any motion is known (fast objects)

    // Accepting a match: correlation with the adapted template and with the best remembered appearance
    double followAdaptive = 0.6; // on the predicted path
    double followMemory = 0.5;
    double widenedAdaptive = 0.8; // off it, after a wider search (a bounce)
    double widenedMemory = 0.7;
    double reacquireAdaptive = 0.85; // after frames without the object
    double reacquireMemory = 0.8;
    double roundAdaptive = 0.55; // a round object whose outline fits: its texture may have turned
    double roundMemory = 0.5;
    double roundUnsureMemory =
        0.75;                    // a round object whose outline does not fit: with the adapted template at sureScore
    double sureScore = 0.85;     // a match this close needs no other evidence
    double symmetricScore = 0.7; // half-turn self-match that moves a non-round object's point to its centre of symmetry

    // Learning how the object looks
    int maxAppearances = 8;       // earlier appearances kept as anchors against drift (the first stays)
    double adaptRate = 0.25;      // weight of the current look in the adapted template
    double adaptAbove = 0.8;      // correlation a match needs to teach the template
    double roundAdaptAbove = 0.6; // the same for a round object whose outline fits
    int firstSamples = 6;         // frames averaged into the first appearance (less noise where the object is faint)
    double scaleProbe = 0.05;     // relative size change tried either way when learning the pose
    double turnProbe = 0.06;      // turn tried either way when learning the pose, radians
    double turnStep = 0.09;   // turn steps (two either way) searched when a non-round object matches poorly, radians
    double anchorScore = 0.5; // the first appearance corrects the adapted one's position from this correlation
    double anchorLead = 0.25; // ... when the adapted one leads it by at most this
    double anchorFits = 0.95; // a rigid object is placed and turned by its first appearance from this correlation
    double anchorOverRegion = 0.25; // ... over where its moving region puts it, when that is this near, in radii
    double sharpLook = 0.03;        // fall of a close match's correlation one sample off its peak from which a rigid
                                    // object's look places it over its moving region's centre (as near as above, in
                                    // the region's radii)

    // Losing and finding again
    int maxMissing = 60;            // frames without the object after which it is lost
    double paceMemory = 0.95;       // share of its fastest pace kept per claim: how far, unseen, it may go
    int missingOutside = 60;        // ... once it has left the picture: it may come back in
    int widenFrames = 8;            // frames without the object over which the search around its path widens
    int globalSearchAfter = 3;      // frames without the object after which the whole picture is searched
    double reacquireFirst = 0.7;    // correlation with the first appearance a whole-picture search needs
    int globalSearchEvery = 1;      // frames between whole-picture searches
    int heldSearchEvery = 5;        // ... while another view holds the object, which knows where it is
    int loneRegionFrames = 3;       // frames a lone moving region of the object's size must last to be taken on a middling look
    double coarseObjectSamples = 8; // the object's width at the reduced resolution of the whole-picture search
    double uniqueLead = 0.15;       // how much the best candidate of a whole-picture search must beat the second

    // What moves against the background: a check of every claim that does
    // not rest on the object's texture
    int backgroundFrames = 10;         // earlier frames kept to make the background of
    int backgroundLeast = 4;           // ... of which at least this many must show the place without the object
    double backgroundMove = 1.0;       // object radii it moves between two kept frames
    int backgroundEvery = 25;          // frames after which one is kept anyway
    double foregroundContrast = 6;     // grey levels from the background a moving pixel needs, at least
    double foregroundNoise = 3.5;      // ... and as many times the area's noise
    double spotTolerance = 2.0;        // pixels a claim may be from where the moving region puts the point
    double outlineSpotTolerance = 0.6; // the same, in radii, for a round object placed by its outline whose region
    double wholeSilhouette = 1.0;      // ... is smaller than this share of its disc (a shaded side like the background)
    double silhouetteArea = 0.2;       // a round object's region this close to its area (log of the ratio) places it
    double motionSearchSamples = 3;    // the object's radius in samples when the whole picture is searched for it
    double blobAreaRange = 1.6;        // how far the moving region's area may be from the learnt one, either way
    double partialRegion = 0.1;   // smallest share of that area a round object's region, its outline around, may show
    double returningRegion = 0.5; // ... and the region of an object found again, after frames unseen, by its look alone
    double differenceSpeed = 0.5; // radii a frame from which a ball placed without its outline (blurred) is placed
                                  // by what differs from the background around it; slower, shading and what lies
                                  // behind it pull that centre more than they pull its look
    double differenceReach = 2.0; // ... looked at within this many radii
    double differenceSmear = 0.6; // ... or, beyond 1.5 radii, this share of its pace a frame, up to twice as far
    double differenceCover = 1.0; // share of its disc that must differ, half for one smeared farther than its radius
    double differenceLargest = 1.5; // ... and at most this many times its disc and smear, twice that for one smeared
                                    // farther than its radius (larger, its size is not what it was taken for, or
                                    // something else moves with it)
    double differenceBorder = 0.02; // largest share of the difference at the edge of the area: more is something else
    double differenceShift = 1.0;   // pixels a claim must be off the difference's centre to be moved onto it

    // The camera
    bool followCamera = true; // measure the whole picture's motion (a hand-held camera) from background patches
    int cameraPatches = 12;   // background patches matched from frame to frame
    int cameraReach = 16;     // largest camera move per frame, pixels
};

} // namespace zorvane
