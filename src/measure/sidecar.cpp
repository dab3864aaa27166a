#include "measure/sidecar.h"

#include "common/systemfile.h"
#include "measure/measureerror.h"
#include "measure/wholefile.h"
#include "track/pointset.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <map>
#include <type_traits>
#include <vector>

namespace zorvane {

namespace {

constexpr std::string_view kMagic = "zorvane-etalonnage";
constexpr int kVersion = 4;
constexpr std::string_view kExtension = ".etalonnage";

// A word of the file as a problem quotes it: short, whatever the file holds.
std::string shortened(std::string_view word)
{
    constexpr std::size_t kLongest = 60;
    if (word.size() <= kLongest)
        return std::string(word);
    std::size_t cut = kLongest;
    while (cut > 0 && (static_cast<unsigned char>(word[cut]) & 0xC0) == 0x80)
        --cut; // not inside a UTF-8 character
    return std::string(word.substr(0, cut)) + "…";
}

// One fault in a file, thrown while reading and completed with the file.
struct Fault {
    explicit Fault(SidecarFault fault, int line = 0, std::string word = {}, std::array<std::string, 2> expected = {},
                   MeasureErrorKind refusedAs = MeasureErrorKind::SamePoints)
            : fault(fault), line(line), word(std::move(word)), expected(std::move(expected)), refusedAs(refusedAs)
    {}
    SidecarFault fault;
    int line;
    std::string word;
    std::array<std::string, 2> expected;
    MeasureErrorKind refusedAs;
};

[[noreturn]] void throwDamaged(const std::filesystem::path &file, const Fault &fault)
{
    SidecarProblem problem;
    problem.kind = MeasureErrorKind::SidecarDamaged;
    problem.file = file;
    problem.fault = fault.fault;
    problem.line = fault.line;
    problem.word = fault.word;
    problem.expected = fault.expected;
    problem.refusedAs = fault.refusedAs;
    throw SidecarError(std::move(problem));
}

[[noreturn]] void throwSystem(MeasureErrorKind kind, const std::filesystem::path &file, int error)
{
    SidecarProblem problem;
    problem.kind = kind;
    problem.file = file;
    problem.systemError = error;
    throw SidecarError(std::move(problem));
}

std::string summary(const SidecarProblem &problem)
{
    const std::string file = problem.file.string();
    switch (problem.kind) {
    case MeasureErrorKind::SidecarUnreadable: return file + ": calibration file unreadable";
    case MeasureErrorKind::SidecarNewer: return file + ": calibration file from a newer version";
    case MeasureErrorKind::OtherVideo: return file + ": calibration made on another video";
    case MeasureErrorKind::NeedsVideo: return file + ": video cannot be examined";
    default: return file + ": calibration file damaged, line " + std::to_string(problem.line);
    }
}

// ---- writing

template <typename Number>
std::string numberText(Number value)
{
    std::array<char, 40> digits{};
    const auto result = std::to_chars(digits.data(), digits.data() + digits.size(), value);
    return std::string(digits.data(), result.ptr);
}

std::string escapedName(std::string_view name)
{
    std::string text;
    for (char c : name) {
        switch (c) {
        case '\\': text += "\\\\"; break;
        case '\n': text += "\\n"; break;
        case '\r': text += "\\r"; break;
        default: text += c;
        }
    }
    return text;
}

std::string pointText(PicturePoint point) { return numberText(point.x) + " " + numberText(point.y); }

std::string sidecarText(const MeasureSettings &settings)
{
    const Calibration &calibration = settings.calibration;
    const TimeChoice &time = settings.time;
    const bool withAxis = calibration.xAxis().has_value();
    const bool withOrigin = settings.movingOrigin > 0;
    const bool withDynamics = withAxis || withOrigin || settings.dynamics != MassAndGravity{};
    const int version = withAxis ? 4 : withOrigin ? 3 : withDynamics ? 2 : 1;
    std::string text = std::string(kMagic) + " " + numberText(version) + "\n";
    text += "video " + escapedName(settings.video.fileName) + "\n";
    text += "taille " + numberText(settings.video.sizeBytes) + "\n";
    text += "images " + numberText(settings.video.frameCount) + "\n";
    text += "echelle " + pointText(calibration.scaleStart()) + " " + pointText(calibration.scaleEnd()) + "\n";
    text += "distance " + numberText(calibration.distanceMetres()) + "\n";
    text += "origine " + pointText(calibration.origin()) + "\n";
    text += std::string("axe-y ") + (calibration.yAxis() == YAxis::Up ? "haut" : "bas") + "\n";
    text += std::string("temps ") + (time.source == TimeSource::VideoFrameTimes ? "video" : "pas") + "\n";
    text += "ralenti " + numberText(time.slowMotionFactor) + "\n";
    text += "pas " + numberText(time.stepMs) + "\n";
    if (withDynamics) {
        if (settings.dynamics.massKg)
            text += "masse " + numberText(*settings.dynamics.massKg) + "\n";
        text += "g " + numberText(settings.dynamics.gravity) + "\n";
    }
    if (withOrigin)
        text += std::string("referentiel ") + pointLetter(settings.movingOrigin) + "\n";
    if (withAxis)
        text += "axe-x " + pointText(calibration.xAxis()->from) + " " + pointText(calibration.xAxis()->to) + "\n";
    return text;
}

// ---- reading

// The file's bytes, at most kMaxSidecarBytes + 1 of them; nothing when the
// file does not exist.
std::optional<std::string> boundedContent(const std::filesystem::path &file)
{
    const int fd = systemfile::openForReading(file);
    if (fd < 0) {
        if (errno == ENOENT)
            return std::nullopt;
        throwSystem(MeasureErrorKind::SidecarUnreadable, file, errno);
    }
    systemfile::Status status;
    std::string content;
    int error = 0;
    if (!systemfile::status(fd, status)) {
        error = errno;
    } else if (status.kind != systemfile::Kind::Regular) {
        error = status.kind == systemfile::Kind::Directory ? EISDIR : ENXIO;
    } else {
        std::array<char, 4096> buffer{};
        while (content.size() <= kMaxSidecarBytes) {
            const std::int64_t n = systemfile::readSome(fd, buffer.data(), buffer.size());
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                error = errno;
                break;
            }
            if (n == 0)
                break;
            content.append(buffer.data(), static_cast<std::size_t>(n));
        }
    }
    systemfile::close(fd);
    if (error != 0)
        throwSystem(MeasureErrorKind::SidecarUnreadable, file, error);
    return content;
}

struct Line {
    int number = 0;
    std::string_view text;
};

std::vector<Line> nonBlankLines(std::string_view content)
{
    std::vector<Line> lines;
    int number = 0;
    while (!content.empty()) {
        const std::size_t end = content.find('\n');
        std::string_view text = content.substr(0, end);
        content.remove_prefix(end == std::string_view::npos ? content.size() : end + 1);
        ++number;
        if (text.ends_with('\r'))
            text.remove_suffix(1);
        if (!text.empty())
            lines.push_back({number, text});
    }
    return lines;
}

std::vector<std::string_view> words(std::string_view text)
{
    std::vector<std::string_view> result;
    while (!text.empty()) {
        const std::size_t end = text.find(' ');
        result.push_back(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    }
    return result;
}

// Values of one line, read strictly: any leftover or missing word is a fault.
class ValueReader {
public:
    ValueReader(int line, std::string_view value) : m_line(line), m_words(words(value)) {}

    template <typename Number>
    Number number()
    {
        const std::string_view word = next();
        Number value{};
        const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
        if (error != std::errc() || end != word.data() + word.size())
            fail(SidecarFault::NotANumber, word);
        if constexpr (std::is_floating_point_v<Number>) {
            if (!std::isfinite(value))
                fail(SidecarFault::InfiniteNumber);
        }
        return value;
    }

    PicturePoint point()
    {
        const std::int32_t x = number<std::int32_t>();
        return {x, number<std::int32_t>()};
    }

    // One of two words, mapped to false and true.
    bool choice(std::string_view whenFalse, std::string_view whenTrue)
    {
        const std::string_view word = next();
        if (word != whenFalse && word != whenTrue)
            throw Fault(SidecarFault::UnexpectedWord, m_line, shortened(word),
                        {std::string(whenFalse), std::string(whenTrue)});
        return word == whenTrue;
    }

    void end()
    {
        if (m_next != m_words.size())
            fail(SidecarFault::ExtraValues);
    }

    [[noreturn]] void fail(SidecarFault fault, std::string_view word = {}) const
    {
        throw Fault(fault, m_line, shortened(word));
    }

private:
    std::string_view next()
    {
        if (m_next == m_words.size())
            fail(SidecarFault::MissingValue);
        return m_words[m_next++];
    }

    int m_line;
    std::vector<std::string_view> m_words;
    std::size_t m_next = 0;
};

std::string unescapedName(const Line &line, std::string_view text)
{
    std::string name;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            name += text[i];
            continue;
        }
        const char escaped = ++i < text.size() ? text[i] : '\0';
        if (escaped == '\\')
            name += '\\';
        else if (escaped == 'n')
            name += '\n';
        else if (escaped == 'r')
            name += '\r';
        else
            throw Fault(SidecarFault::BadVideoEscape, line.number);
    }
    // A name alone: the video is looked for beside the sequence.
    if (name.empty() || name.find_first_of(std::string_view("/\0", 2)) != std::string::npos)
        throw Fault(SidecarFault::VideoNameNotAlone, line.number);
    return name;
}

// The file's version, 1 to kVersion.
int checkVersion(const std::filesystem::path &file, const std::vector<Line> &lines)
{
    const std::vector<std::string_view> first =
        lines.empty() ? std::vector<std::string_view>{} : words(lines.front().text);
    if (first.size() != 2 || first[0] != kMagic)
        throw Fault(SidecarFault::NotCalibrationFile, lines.empty() ? 0 : lines.front().number);
    int version = 0;
    const auto [end, error] = std::from_chars(first[1].data(), first[1].data() + first[1].size(), version);
    if (error != std::errc() || end != first[1].data() + first[1].size() || version < 1)
        throw Fault(SidecarFault::UnreadableVersion, lines.front().number);
    if (version > kVersion) {
        SidecarProblem problem;
        problem.kind = MeasureErrorKind::SidecarNewer;
        problem.file = file;
        throw SidecarError(std::move(problem));
    }
    return version;
}

// Each key once; the value is the rest of the line after the first space.
// Version 2 adds "g" and, optionally, "masse"; version 3, optionally,
// "referentiel"; version 4, optionally, "axe-x".
std::map<std::string_view, Line> keyedValues(const std::vector<Line> &lines, int version)
{
    static constexpr std::string_view kKnown[] = {"video",   "taille", "images",      "echelle", "distance",
                                                  "origine", "axe-y",  "temps",       "ralenti", "pas",
                                                  "g",       "masse",  "referentiel", "axe-x"};
    constexpr std::size_t kFirstVersion = 10;
    const std::size_t knownByVersion[] = {kFirstVersion, kFirstVersion + 2, kFirstVersion + 3, kFirstVersion + 4};
    const std::size_t known = knownByVersion[std::min(version, kVersion) - 1];
    const std::size_t required = version >= 2 ? kFirstVersion + 1 : kFirstVersion;
    const auto first = std::begin(kKnown);
    std::map<std::string_view, Line> values;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const Line &line = lines[i];
        const std::size_t space = line.text.find(' ');
        const std::string_view key = line.text.substr(0, space);
        if (std::find(first, first + static_cast<std::ptrdiff_t>(known), key)
            == first + static_cast<std::ptrdiff_t>(known))
            throw Fault(SidecarFault::UnknownKey, line.number, shortened(key));
        const std::string_view value =
            space == std::string_view::npos ? std::string_view{} : line.text.substr(space + 1);
        if (!values.emplace(key, Line{line.number, value}).second)
            throw Fault(SidecarFault::RepeatedKey, line.number, shortened(key));
    }
    for (std::size_t i = 0; i < required; ++i)
        if (!values.contains(kKnown[i]))
            throw Fault(SidecarFault::MissingKey, 0, std::string(kKnown[i]));
    return values;
}

// The settings of a file whose version is known; throws Fault.
MeasureSettings parsedSettings(const std::map<std::string_view, Line> &values)
{
    const auto reader = [&](std::string_view key) {
        const Line &line = values.at(key);
        return ValueReader(line.number, line.text);
    };
    const auto single = [&]<typename T>(std::string_view key, T (ValueReader::*read)()) {
        ValueReader values = reader(key);
        const T value = (values.*read)();
        values.end();
        return value;
    };

    CalibratedVideo video;
    video.fileName = unescapedName(values.at("video"), values.at("video").text);
    video.sizeBytes = single("taille", &ValueReader::number<std::uintmax_t>);
    video.frameCount = single("images", &ValueReader::number<std::int32_t>);
    if (video.frameCount < 0)
        reader("images").fail(SidecarFault::NegativeFrameCount);

    ValueReader scale = reader("echelle");
    const PicturePoint start = scale.point();
    const PicturePoint end = scale.point();
    scale.end();
    const double distance = single("distance", &ValueReader::number<double>);
    const PicturePoint origin = single("origine", &ValueReader::point);
    ValueReader axis = reader("axe-y");
    const YAxis yAxis = axis.choice("haut", "bas") ? YAxis::Down : YAxis::Up;
    axis.end();

    TimeChoice time;
    ValueReader source = reader("temps");
    time.source = source.choice("video", "pas") ? TimeSource::TypedStep : TimeSource::VideoFrameTimes;
    source.end();
    time.slowMotionFactor = single("ralenti", &ValueReader::number<double>);
    time.stepMs = single("pas", &ValueReader::number<double>);

    MassAndGravity dynamics;
    if (values.contains("masse")) {
        dynamics.massKg = single("masse", &ValueReader::number<double>);
        if (!isPlausibleMassOrField(*dynamics.massKg))
            reader("masse").fail(SidecarFault::ImpossibleMass);
    }
    if (values.contains("g")) {
        dynamics.gravity = single("g", &ValueReader::number<double>);
        if (!isPlausibleMassOrField(dynamics.gravity))
            reader("g").fail(SidecarFault::ImpossibleGravity);
    }
    int movingOrigin = 0;
    if (values.contains("referentiel")) {
        const std::string_view letter = values.at("referentiel").text;
        if (letter.size() != 1 || letter[0] <= pointLetter(0) || letter[0] >= pointLetter(kMaxFollowedPoints))
            throw Fault(SidecarFault::UnexpectedWord, values.at("referentiel").number, shortened(letter), {"B", "H"});
        movingOrigin = letter[0] - pointLetter(0);
    }
    std::optional<AxisPoints> xAxis;
    if (values.contains("axe-x")) {
        ValueReader points = reader("axe-x");
        const PicturePoint from = points.point();
        xAxis = AxisPoints{from, points.point()};
        points.end();
    }
    try {
        checkTimeChoice(time);
        return {video, Calibration(start, end, distance, origin, yAxis, xAxis), time, dynamics, movingOrigin};
    } catch (const MeasureError &error) {
        throw Fault(SidecarFault::ImpossibleValues, 0, {}, {}, error.kind());
    }
}

} // namespace

SidecarError::SidecarError(SidecarProblem problem)
        : MeasureError(problem.kind, summary(problem)), m_problem(std::move(problem))
{}

CalibratedVideo identifyVideo(const std::filesystem::path &video, std::int32_t frameCount)
{
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(video, error);
    if (error)
        throwSystem(MeasureErrorKind::NeedsVideo, video, error.value());
    return {video.filename().string(), size, frameCount};
}

std::filesystem::path sidecarPath(const std::filesystem::path &sequence)
{
    std::filesystem::path file = sequence;
    if (file.extension() == kExtension)
        return file += kExtension;
    return file.replace_extension(kExtension);
}

void saveSidecar(const std::filesystem::path &file, const MeasureSettings &settings)
{
    replaceWholeFile(file, sidecarText(settings), "d'enregistrer l'étalonnage");
}

std::optional<MeasureSettings> readSidecar(const std::filesystem::path &file)
{
    const std::optional<std::string> content = boundedContent(file);
    if (!content)
        return std::nullopt;
    try {
        if (content->size() > kMaxSidecarBytes)
            throw Fault(SidecarFault::TooLong);
        const std::vector<Line> lines = nonBlankLines(*content);
        const int version = checkVersion(file, lines);
        return parsedSettings(keyedValues(lines, version));
    } catch (const Fault &fault) {
        throwDamaged(file, fault);
    }
}

void checkSameVideo(const MeasureSettings &settings, const CalibratedVideo &video, const std::filesystem::path &file)
{
    if (settings.video == video)
        return;
    SidecarProblem problem;
    problem.kind = MeasureErrorKind::OtherVideo;
    problem.file = file;
    problem.saved = settings.video;
    problem.open = video;
    throw SidecarError(std::move(problem));
}

std::optional<MeasureSettings> loadSidecarFor(const std::filesystem::path &sequence, const CalibratedVideo &video)
{
    const std::filesystem::path file = sidecarPath(sequence);
    std::optional<MeasureSettings> settings = readSidecar(file);
    if (settings)
        checkSameVideo(*settings, video, file);
    return settings;
}

} // namespace zorvane
