#include "trackcorpus.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>

#include <filesystem>
#include <map>
#include <mutex>
#include <random>
#include <stdexcept>
#include <unistd.h>

namespace zorvane::testing {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kSuper = 8;             // samples per pixel along each axis
constexpr double kVisibleShare = 0.9; // a frame counts as visible from here
constexpr double kHiddenShare = 0.5;  // and as hidden below this
constexpr int kReacquireFrames = 2;

struct Rgb {
    double r = 0, g = 0, b = 0;
};

enum class Shape { Disc, Square, Bar };

// Two-tone objects whose pattern is symmetric under a half turn, so that
// their centre is well defined and rotation shows.
struct Sprite {
    Shape shape = Shape::Disc;
    double halfWidth = 10; // radius of a disc
    double halfHeight = 10;
    Rgb a, b;
};

struct Pose {
    Pose(double x, double y, double angle, double scale)
            : x(x), y(y), scale(scale), cosine(std::cos(angle)), sine(std::sin(angle))
    {}
    double x, y, scale;
    double cosine, sine;
};

struct Layer {
    Sprite sprite;
    std::vector<Pose> instants; // across the exposure, for motion blur
};

struct Scene {
    std::vector<Layer> layers; // back to front
    int target = 0;
    double gain = 1;      // lighting
    double gainSlope = 0; // lighting change across the picture
};

// The part of the sprite a point lies in, -1 outside. Every part is convex
// and of one colour, so a pixel whose four corners lie in the same part is
// wholly of that colour.
int partAt(const Sprite &sprite, const Pose &pose, double px, double py)
{
    const double dx = px - pose.x, dy = py - pose.y;
    const double c = pose.cosine, s = pose.sine;
    const double u = (dx * c + dy * s) / pose.scale, v = (-dx * s + dy * c) / pose.scale;
    switch (sprite.shape) {
    case Shape::Disc:
        if (u * u + v * v > sprite.halfWidth * sprite.halfWidth)
            return -1;
        return (u >= 0 ? 2 : 0) + (v >= 0 ? 1 : 0); // quadrants
    case Shape::Square: {
        const double h = sprite.halfWidth;
        if (std::fabs(u) > h || std::fabs(v) > h)
            return -1;
        const int i = std::min(2, static_cast<int>((u + h) / (2 * h / 3)));
        const int j = std::min(2, static_cast<int>((v + h) / (2 * h / 3)));
        return i * 3 + j; // cells of a 3 x 3 board
    }
    case Shape::Bar:
        if (std::fabs(u) > sprite.halfWidth || std::fabs(v) > sprite.halfHeight)
            return -1;
        return static_cast<int>(std::floor(v / 7) + 1000); // stripes
    }
    return -1;
}

Rgb colourOf(const Sprite &sprite, int part)
{
    bool first = true;
    switch (sprite.shape) {
    case Shape::Disc: first = part == 0 || part == 3; break;
    case Shape::Square: first = (part / 3 + part % 3) % 2 == 0; break;
    case Shape::Bar: first = part % 2 == 0; break;
    }
    return first ? sprite.a : sprite.b;
}

bool inside(const Sprite &sprite, const Pose &pose, double px, double py) { return partAt(sprite, pose, px, py) >= 0; }

struct Extent {
    double x, y;
};

// Half the width and height of a box around the sprite, with a margin.
Extent reach(const Sprite &sprite, const Pose &pose)
{
    if (sprite.shape == Shape::Disc)
        return {sprite.halfWidth * pose.scale + 2, sprite.halfWidth * pose.scale + 2};
    const double c = std::fabs(pose.cosine), s = std::fabs(pose.sine);
    return {(c * sprite.halfWidth + s * sprite.halfHeight) * pose.scale + 2,
            (s * sprite.halfWidth + c * sprite.halfHeight) * pose.scale + 2};
}

// Grain shared by all frames, read from a different place in each.
const std::vector<float> &noiseTable()
{
    static const std::vector<float> table = [] {
        std::mt19937 random(12345);
        std::normal_distribution<float> normal(0, 1);
        std::vector<float> values(1 << 20);
        for (float &value : values)
            value = normal(random);
        return values;
    }();
    return table;
}

class SceneCase : public CorpusCase {
public:
    using SceneAt = std::function<Scene(int frame)>;

    SceneCase(std::string name, int width, int height, int frames, double backgroundTexture, double noise,
              SceneAt scene)
            : m_name(std::move(name)), m_width(width), m_height(height), m_frames(frames), m_texture(backgroundTexture),
              m_noise(noise), m_scene(std::move(scene))
    {}

    std::string name() const override { return m_name; }
    int width() const override { return m_width; }
    int height() const override { return m_height; }
    int frameCount() const override { return m_frames; }
    void setFrameCount(int frames) { m_frames = frames; }

    RgbImage frame(int index) const override;
    TruthPoint truth(int index) const override;

private:
    const std::vector<float> &background() const;
    void drawLayer(const Layer &layer, const Scene &scene, std::vector<float> &picture) const;

    std::string m_name;
    int m_width, m_height, m_frames;
    double m_texture, m_noise;
    SceneAt m_scene;
    mutable std::vector<float> m_background;
};

// Gently textured, so that a template holding background has something
// to latch on to.
const std::vector<float> &SceneCase::background() const
{
    if (!m_background.empty())
        return m_background;
    m_background.resize(static_cast<std::size_t>(m_width) * m_height * 3);
    const double k = m_texture;
    for (int y = 0; y < m_height; ++y) {
        for (int x = 0; x < m_width; ++x) {
            const double wave = std::sin(x * 0.071 + y * 0.033) + 0.7 * std::sin(-x * 0.043 + y * 0.089 + 1.3)
                                + 0.5 * std::sin(x * 0.21 + 0.4) * std::sin(y * 0.17 + 2.1);
            float *p = &m_background[(static_cast<std::size_t>(y) * m_width + x) * 3];
            p[0] = static_cast<float>(110 + k * wave);
            p[1] = static_cast<float>(120 + k * 0.8 * wave);
            p[2] = static_cast<float>(100 - k * 0.6 * wave);
        }
    }
    return m_background;
}

void SceneCase::drawLayer(const Layer &layer, const Scene &scene, std::vector<float> &picture) const
{
    double x0 = 1e9, y0 = 1e9, x1 = -1e9, y1 = -1e9;
    for (const Pose &pose : layer.instants) {
        const Extent r = reach(layer.sprite, pose);
        x0 = std::min(x0, pose.x - r.x), x1 = std::max(x1, pose.x + r.x);
        y0 = std::min(y0, pose.y - r.y), y1 = std::max(y1, pose.y + r.y);
    }
    const int left = std::max(0, static_cast<int>(std::floor(x0))),
              right = std::min(m_width - 1, static_cast<int>(std::ceil(x1)));
    const int top = std::max(0, static_cast<int>(std::floor(y0))),
              bottom = std::min(m_height - 1, static_cast<int>(std::ceil(y1)));
    const double samples = kSuper * kSuper * static_cast<double>(layer.instants.size());
    for (int y = top; y <= bottom; ++y) {
        for (int x = left; x <= right; ++x) {
            float *p = &picture[(static_cast<std::size_t>(y) * m_width + x) * 3];
            const double light = scene.gain * (1 + scene.gainSlope * (x - m_width / 2.0) / m_width);
            Rgb sum;
            double covered = 0;
            auto add = [&](const Rgb &colour, double weight) {
                sum.r += colour.r * light * weight, sum.g += colour.g * light * weight,
                    sum.b += colour.b * light * weight;
                covered += weight;
            };
            for (const Pose &pose : layer.instants) {
                const int part = partAt(layer.sprite, pose, x - 0.5, y - 0.5);
                if (part >= 0 && part == partAt(layer.sprite, pose, x + 0.5, y - 0.5)
                    && part == partAt(layer.sprite, pose, x - 0.5, y + 0.5)
                    && part == partAt(layer.sprite, pose, x + 0.5, y + 0.5)) {
                    add(colourOf(layer.sprite, part), kSuper * kSuper);
                    continue;
                }
                for (int i = 0; i < kSuper; ++i) {
                    for (int j = 0; j < kSuper; ++j) {
                        const int at =
                            partAt(layer.sprite, pose, x - 0.5 + (j + 0.5) / kSuper, y - 0.5 + (i + 0.5) / kSuper);
                        if (at >= 0)
                            add(colourOf(layer.sprite, at), 1);
                    }
                }
            }
            const double under = samples - covered;
            p[0] = static_cast<float>((sum.r + under * p[0]) / samples);
            p[1] = static_cast<float>((sum.g + under * p[1]) / samples);
            p[2] = static_cast<float>((sum.b + under * p[2]) / samples);
        }
    }
}

RgbImage SceneCase::frame(int index) const
{
    const Scene scene = m_scene(index);
    const std::vector<float> &base = background();
    std::vector<float> picture(base.size());
    for (int y = 0; y < m_height; ++y) {
        for (int x = 0; x < m_width; ++x) {
            const double light = scene.gain * (1 + scene.gainSlope * (x - m_width / 2.0) / m_width);
            const std::size_t at = (static_cast<std::size_t>(y) * m_width + x) * 3;
            for (int c = 0; c < 3; ++c)
                picture[at + c] = static_cast<float>(base[at + c] * light);
        }
    }
    for (const Layer &layer : scene.layers)
        drawLayer(layer, scene, picture);

    const std::vector<float> &noise = noiseTable();
    const std::size_t mask = noise.size() - 1;
    std::size_t offset = static_cast<std::size_t>(index) * 7919 * 131;
    RgbImage image{m_width, m_height, std::vector<std::uint8_t>(picture.size())};
    for (std::size_t i = 0; i < picture.size(); ++i) {
        const double value = picture[i] + m_noise * noise[(offset + i * 3) & mask];
        image.pixels[i] = static_cast<std::uint8_t>(std::clamp(std::lround(value), 0L, 255L));
    }
    return image;
}

TruthPoint SceneCase::truth(int index) const
{
    const Scene scene = m_scene(index);
    const Layer &target = scene.layers[scene.target];
    TruthPoint point;
    point.x = point.y = 0;
    for (const Pose &pose : target.instants)
        point.x += pose.x, point.y += pose.y;
    point.x /= target.instants.size();
    point.y /= target.instants.size();

    // The share of the object at mid-exposure that nothing in front hides
    // and that lies inside the picture.
    const Pose &middle = target.instants[target.instants.size() / 2];
    const Extent r = reach(target.sprite, middle);
    int total = 0, shown = 0;
    const double step = 1.0 / kSuper;
    for (double py = middle.y - r.y; py <= middle.y + r.y; py += step) {
        for (double px = middle.x - r.x; px <= middle.x + r.x; px += step) {
            if (!inside(target.sprite, middle, px, py))
                continue;
            ++total;
            if (px < -0.5 || py < -0.5 || px >= m_width - 0.5 || py >= m_height - 0.5)
                continue;
            bool covered = false;
            for (std::size_t i = scene.target + 1; i < scene.layers.size() && !covered; ++i) {
                const Layer &front = scene.layers[i];
                covered = inside(front.sprite, front.instants[front.instants.size() / 2], px, py);
            }
            shown += covered ? 0 : 1;
        }
    }
    point.visible = total ? double(shown) / total : 0;
    return point;
}

// Poses at `count` instants spread over `exposure` of a frame interval
// around frame time t.
std::vector<Pose> exposed(const std::function<Pose(double)> &at, double t, double exposure, int count)
{
    std::vector<Pose> poses;
    for (int k = 0; k < count; ++k)
        poses.push_back(at(count == 1 ? t : t + exposure * ((k + 0.5) / count - 0.5)));
    return poses;
}

double triangle(double value, double low, double high)
{
    const double span = high - low;
    double phase = std::fmod(value - low, 2 * span);
    if (phase < 0)
        phase += 2 * span;
    return low + (phase <= span ? phase : 2 * span - phase);
}

// Height above the floor of a ball bouncing without loss.
double bounce(double t, double launchSpeed, double gravity)
{
    const double period = 2 * launchSpeed / gravity;
    double phase = std::fmod(t, period);
    if (phase < 0)
        phase += period;
    return launchSpeed * phase - 0.5 * gravity * phase * phase;
}

const Rgb kOrange{230, 120, 40}, kWhite{235, 235, 225}, kBlue{40, 70, 160}, kYellow{220, 200, 60};

Sprite ball(double radius, Rgb a = kOrange, Rgb b = kWhite) { return {Shape::Disc, radius, radius, a, b}; }

Layer still(const Sprite &sprite, double x, double y) { return {sprite, {Pose(x, y, 0, 1)}}; }

std::unique_ptr<SceneCase> buildCase(const std::string &name)
{
    using P = std::function<Pose(double)>;
    if (name == "blur") {
        const P at = [](double t) {
            return Pose{triangle(100.3 + 21 * t, 40, 1240), 360.6 + 150 * std::sin(t / 14), t * 0.05, 1};
        };
        return std::make_unique<SceneCase>(name, 1280, 720, 150, 14, 1.5, [at](int f) {
            return Scene{{Layer{ball(14), exposed(at, f, 0.8, 12)}}, 0};
        });
    }
    if (name == "lighting") {
        const P at = [](double t) { return Pose{200.4 + 6 * t, 300.2 + 2 * t, 0, 1}; };
        return std::make_unique<SceneCase>(name, 1280, 720, 150, 14, 1.5, [at](int f) {
            Scene scene{{Layer{ball(12), exposed(at, f, 0, 1)}}, 0};
            scene.gain = 1 - 0.55 * std::sin(kPi * f / 150.0);
            scene.gainSlope = 0.6 * std::sin(kPi * f / 75.0);
            return scene;
        });
    }
    if (name == "rotation") {
        const P at = [](double t) { return Pose{300.7 + 4 * t, 400.2 - 2.5 * t, t * 6 * kPi / 180, 1}; };
        return std::make_unique<SceneCase>(name, 1280, 720, 150, 14, 1.5, [at](int f) {
            return Scene{{Layer{Sprite{Shape::Square, 20, 20, kBlue, kYellow}, exposed(at, f, 0, 1)}}, 0};
        });
    }
    if (name == "scale") {
        const P at = [](double t) { return Pose{500.2 + 2 * t, 420.6 - 1.2 * t, 0.02 * t, 1 + 2.5 * t / 150}; };
        return std::make_unique<SceneCase>(name, 1280, 720, 150, 14, 1.5, [at](int f) {
            return Scene{{Layer{ball(8), exposed(at, f, 0, 1)}}, 0};
        });
    }
    if (name == "lookalike") {
        const P target = [](double t) { return Pose{200.4 + 6 * t, 360.3 + 0.3 * t, 0, 1}; };
        const P other = [](double t) { return Pose{1100.6 - 6 * t, 372.1 - 0.2 * t, 0, 1}; };
        return std::make_unique<SceneCase>(name, 1280, 720, 150, 14, 1.5, [target, other](int f) {
            return Scene{{Layer{ball(12), exposed(other, f, 0, 1)}, Layer{ball(12), exposed(target, f, 0, 1)}}, 1};
        });
    }
    if (name == "occlusion") {
        const P at = [](double t) { return Pose{150.6 + 7 * t, 420.4 - 2 * t, 0, 1}; };
        return std::make_unique<SceneCase>(name, 1280, 720, 150, 14, 1.5, [at](int f) {
            return Scene{{Layer{ball(12), exposed(at, f, 0, 1)},
                          still(Sprite{Shape::Bar, 40, 400, Rgb{90, 90, 95}, Rgb{150, 150, 150}}, 600, 360)},
                         0};
        });
    }
    if (name == "jumps1080") {
        const P at = [](double t) {
            return Pose{triangle(90.2 + 38 * t, 60, 1860), 1000.4 - bounce(t + 3, 26, 1.6), t * 0.1, 1};
        };
        return std::make_unique<SceneCase>(name, 1920, 1080, 120, 14, 1.5, [at](int f) {
            return Scene{{Layer{ball(20), exposed(at, f, 0.3, 6)}}, 0};
        });
    }
    if (name == "lowcontrast") {
        const P at = [](double t) {
            return Pose{640.3 + 220 * std::cos(t / 25), 360.8 + 160 * std::sin(t / 25), 0, 1};
        };
        return std::make_unique<SceneCase>(name, 1280, 720, 150, 5, 2.5, [at](int f) {
            return Scene{{Layer{ball(12, Rgb{124, 132, 112}, Rgb{118, 128, 106}), exposed(at, f, 0, 1)}}, 0};
        });
    }
    if (name == "throw720") {
        const P at = [](double t) { return Pose{80.5 + 9 * t, 650.3 - bounce(t, 16, 0.3), 0.08 * t, 1}; };
        return std::make_unique<SceneCase>(name, 1280, 720, 130, 14, 1.5, [at](int f) {
            return Scene{{Layer{ball(10), exposed(at, f, 0.5, 8)}}, 0};
        });
    }
    if (name == "throw1080-occluded") {
        const P at = [](double t) { return Pose{120.2 + 13 * t, 980.7 - bounce(t, 30, 0.5), 0.05 * t, 1}; };
        return std::make_unique<SceneCase>(name, 1920, 1080, 120, 14, 1.5, [at](int f) {
            return Scene{{Layer{ball(16), exposed(at, f, 0.5, 8)},
                          still(Sprite{Shape::Bar, 90, 80, Rgb{70, 100, 60}, Rgb{120, 140, 90}}, 900, 120)},
                         0};
        });
    }
    if (name == "orbit720") {
        // Long and plain: for timing decoding and tracking together.
        const P at = [](double t) {
            return Pose{640.3 + 300 * std::cos(t / 30), 360.8 + 200 * std::sin(t / 30), 0.03 * t, 1};
        };
        return std::make_unique<SceneCase>(name, 1280, 720, 600, 14, 1.5, [at](int f) {
            return Scene{{Layer{ball(12), exposed(at, f, 0.5, 6)}}, 0};
        });
    }
    throw std::invalid_argument("no corpus case named " + name);
}

} // namespace

double CorpusCase::clickX() const { return std::nearbyint(truth(0).x); }

double CorpusCase::clickY() const { return std::nearbyint(truth(0).y); }

std::vector<std::string> corpusCaseNames()
{
    return {"blur",      "lighting",  "rotation",    "scale",    "lookalike",
            "occlusion", "jumps1080", "lowcontrast", "throw720", "throw1080-occluded"};
}

std::unique_ptr<CorpusCase> makeCorpusCase(const std::string &name, int frames)
{
    std::unique_ptr<SceneCase> corpus = buildCase(name);
    if (frames > 0)
        corpus->setFrameCount(frames);
    return corpus;
}

const CorpusCase &throwCase(int frames)
{
    static std::mutex guard;
    static std::map<int, std::unique_ptr<CorpusCase>> made;
    const std::lock_guard lock(guard);
    std::unique_ptr<CorpusCase> &corpus = made[frames];
    if (!corpus)
        corpus = makeCorpusCase("throw720", frames);
    return *corpus;
}

void CaseScore::add(const CaseScore &other)
{
    frames += other.frames;
    visibleFrames += other.visibleFrames;
    withinTolerance += other.withinTolerance;
    claims += other.claims;
    errorSum += other.errorSum;
    meanError = claims ? errorSum / claims : 0;
    maxError = std::max(maxError, other.maxError);
    wrongClaims += other.wrongClaims;
    hiddenClaims += other.hiddenClaims;
    reappearances += other.reappearances;
    lateReacquisitions += other.lateReacquisitions;
}

TrackRun runTracker(const CorpusCase &corpus, TrackTiming *timing)
{
    using Clock = std::chrono::steady_clock;
    TrackRun run(1);
    AutoTracker tracker(corpus.frame(0), corpus.clickX(), corpus.clickY());
    Clock::duration wall{};
    std::clock_t cpu = 0;
    for (int index = 1; index < corpus.frameCount(); ++index) {
        const RgbImage image = corpus.frame(index);
        const auto started = Clock::now();
        const std::clock_t cpuStarted = std::clock();
        run.push_back(tracker.next(image));
        cpu += std::clock() - cpuStarted;
        wall += Clock::now() - started;
    }
    if (timing)
        *timing = {std::chrono::duration<double>(wall).count(), static_cast<double>(cpu) / CLOCKS_PER_SEC};
    return run;
}

CaseScore scoreRun(const CorpusCase &corpus, const TrackRun &run)
{
    CaseScore score;
    int hiddenSince = -1;
    int awaitingFrom = -1;
    for (int index = 1; index < corpus.frameCount(); ++index) {
        const TruthPoint truth = corpus.truth(index);
        const bool claimed = index < static_cast<int>(run.size()) && run[index].state == TrackStep::State::Found;
        const bool visible = truth.visible >= kVisibleShare;
        const bool hidden = truth.visible < kHiddenShare;
        ++score.frames;
        double error = 0;
        if (claimed) {
            error = std::hypot(run[index].x - truth.x, run[index].y - truth.y);
            ++score.claims;
            score.errorSum += error;
            score.maxError = std::max(score.maxError, error);
            if (error > kTolerancePx || hidden)
                ++score.wrongClaims;
            if (hidden)
                ++score.hiddenClaims;
        }
        if (visible) {
            ++score.visibleFrames;
            if (claimed && error <= kTolerancePx)
                ++score.withinTolerance;
        }
        if (hidden) {
            hiddenSince = index;
            awaitingFrom = -1;
        } else if (visible && hiddenSince >= 0 && awaitingFrom < 0) {
            awaitingFrom = index;
            ++score.reappearances;
            hiddenSince = -1;
        }
        if (awaitingFrom >= 0) {
            if (claimed && error <= kTolerancePx) {
                awaitingFrom = -1;
            } else if (index - awaitingFrom >= kReacquireFrames) {
                ++score.lateReacquisitions;
                awaitingFrom = -1;
            }
        }
    }
    score.meanError = score.claims ? score.errorSum / score.claims : 0;
    return score;
}

void encodeVideo(const CorpusCase &corpus, const std::string &path, const std::string &rate)
{
    if (std::filesystem::exists(path))
        return;
    // Written under another name first, so a broken run leaves no file
    // that a later run would take for finished.
    const std::string partial = path + "." + std::to_string(getpid()) + ".partial.mp4";
    const std::string command = "ffmpeg -nostdin -y -loglevel error -f rawvideo -pix_fmt rgb24 -s "
                                + std::to_string(corpus.width()) + "x" + std::to_string(corpus.height())
                                + " -r 25 -i - -c:v libx264 -preset veryfast " + rate + " -pix_fmt yuv420p '" + partial
                                + "'";
    FILE *pipe = popen(command.c_str(), "w");
    if (!pipe)
        throw std::runtime_error("cannot start ffmpeg");
    bool written = true;
    for (int index = 0; index < corpus.frameCount() && written; ++index) {
        const RgbImage image = corpus.frame(index);
        written = std::fwrite(image.pixels.data(), 1, image.pixels.size(), pipe) == image.pixels.size();
    }
    if (pclose(pipe) != 0 || !written)
        throw std::runtime_error("ffmpeg could not encode " + path);
    std::filesystem::rename(partial, path);
}

} // namespace zorvane::testing
