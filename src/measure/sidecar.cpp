#include "measure/sidecar.h"

#include "measure/measureerror.h"
#include "measure/wholefile.h"
#include "track/systemerror.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <fcntl.h>
#include <map>
#include <sys/stat.h>
#include <type_traits>
#include <unistd.h>
#include <vector>

namespace zorvane {

namespace {

constexpr std::string_view kMagic = "zorvane-etalonnage";
constexpr int kVersion = 1;
constexpr std::string_view kExtension = ".etalonnage";

std::string quoted(const std::filesystem::path &path) { return "« " + path.string() + " »"; }

// A word of the file as a message quotes it: short, whatever the file holds.
std::string shown(std::string_view word)
{
    constexpr std::size_t kLongest = 60;
    if (word.size() <= kLongest)
        return "« " + std::string(word) + " »";
    std::size_t cut = kLongest;
    while (cut > 0 && (static_cast<unsigned char>(word[cut]) & 0xC0) == 0x80)
        --cut; // not inside a UTF-8 character
    return "« " + std::string(word.substr(0, cut)) + "… »";
}

// One fault in a file: the line it was found on (0 for the whole file).
struct Fault {
    int line = 0;
    std::string reason;
};

[[noreturn]] void throwDamaged(const std::filesystem::path &file, const Fault &fault)
{
    std::string where = fault.line > 0 ? " (ligne " + std::to_string(fault.line) + " : " : " (";
    throw MeasureError(MeasureErrorKind::SidecarDamaged, "Le fichier d'étalonnage " + quoted(file) + " est endommagé"
                                                             + where + fault.reason
                                                             + ") : l'étalonnage n'a pas été chargé.");
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
    std::string text = std::string(kMagic) + " " + numberText(kVersion) + "\n";
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
    return text;
}

// ---- reading

// The file's bytes, at most kMaxSidecarBytes + 1 of them; nothing when the
// file does not exist.
std::optional<std::string> boundedContent(const std::filesystem::path &file)
{
    const int fd = ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT)
            return std::nullopt;
        throw MeasureError(MeasureErrorKind::SidecarUnreadable, "Impossible de lire le fichier d'étalonnage "
                                                                    + quoted(file) + " : " + frenchSystemReason(errno)
                                                                    + ".");
    }
    struct stat status {};
    std::string content;
    int error = 0;
    if (::fstat(fd, &status) != 0) {
        error = errno;
    } else if (!S_ISREG(status.st_mode)) {
        error = S_ISDIR(status.st_mode) ? EISDIR : ENXIO;
    } else {
        std::array<char, 4096> buffer{};
        while (content.size() <= kMaxSidecarBytes) {
            const ssize_t n = ::read(fd, buffer.data(), buffer.size());
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
    ::close(fd);
    if (error != 0)
        throw MeasureError(MeasureErrorKind::SidecarUnreadable, "Impossible de lire le fichier d'étalonnage "
                                                                    + quoted(file) + " : " + frenchSystemReason(error)
                                                                    + ".");
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
            fail(shown(word) + " n'est pas un nombre valable");
        if constexpr (std::is_floating_point_v<Number>) {
            if (!std::isfinite(value))
                fail("nombre infini");
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
            fail(shown(word) + " au lieu de " + shown(whenFalse) + " ou " + shown(whenTrue));
        return word == whenTrue;
    }

    void end()
    {
        if (m_next != m_words.size())
            fail("valeurs en trop");
    }

    [[noreturn]] void fail(const std::string &reason) const { throw Fault{m_line, reason}; }

private:
    std::string_view next()
    {
        if (m_next == m_words.size())
            fail("valeur manquante");
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
            throw Fault{line.number, "nom de vidéo mal écrit"};
    }
    // A name alone: the video is looked for beside the sequence.
    if (name.empty() || name.find_first_of(std::string_view("/\0", 2)) != std::string::npos)
        throw Fault{line.number, "nom de vidéo vide ou avec un dossier"};
    return name;
}

void checkVersion(const std::filesystem::path &file, const std::vector<Line> &lines)
{
    const std::vector<std::string_view> first =
        lines.empty() ? std::vector<std::string_view>{} : words(lines.front().text);
    if (first.size() != 2 || first[0] != kMagic)
        throw Fault{lines.empty() ? 0 : lines.front().number, "ce n'est pas un fichier d'étalonnage"};
    int version = 0;
    const auto [end, error] = std::from_chars(first[1].data(), first[1].data() + first[1].size(), version);
    if (error != std::errc() || end != first[1].data() + first[1].size() || version < 1)
        throw Fault{lines.front().number, "numéro de version illisible"};
    if (version > kVersion)
        throw MeasureError(MeasureErrorKind::SidecarNewer,
                           "Le fichier d'étalonnage " + quoted(file)
                               + " vient d'une version plus récente du programme : l'étalonnage n'a pas été chargé.");
}

// Each key once; the value is the rest of the line after the first space.
std::map<std::string_view, Line> keyedValues(const std::vector<Line> &lines)
{
    static constexpr std::string_view kKnown[] = {"video",   "taille", "images", "echelle", "distance",
                                                  "origine", "axe-y",  "temps",  "ralenti", "pas"};
    std::map<std::string_view, Line> values;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const Line &line = lines[i];
        const std::size_t space = line.text.find(' ');
        const std::string_view key = line.text.substr(0, space);
        if (std::find(std::begin(kKnown), std::end(kKnown), key) == std::end(kKnown))
            throw Fault{line.number, "mot " + shown(key) + " inconnu"};
        const std::string_view value =
            space == std::string_view::npos ? std::string_view{} : line.text.substr(space + 1);
        if (!values.emplace(key, Line{line.number, value}).second)
            throw Fault{line.number, shown(key) + " répété"};
    }
    for (std::string_view key : kKnown)
        if (!values.contains(key))
            throw Fault{0, shown(key) + " manquant"};
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
        reader("images").fail("nombre d'images négatif");

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
    try {
        checkTimeChoice(time);
        return {video, Calibration(start, end, distance, origin, yAxis), time};
    } catch (const MeasureError &error) {
        throw Fault{0, error.what()};
    }
}

std::string videoText(const CalibratedVideo &video)
{
    return shown(video.fileName) + ", " + std::to_string(video.frameCount) + " images, "
           + std::to_string(video.sizeBytes) + " octets";
}

} // namespace

CalibratedVideo identifyVideo(const std::filesystem::path &video, std::int32_t frameCount)
{
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(video, error);
    if (error)
        throw MeasureError(MeasureErrorKind::NeedsVideo, "Impossible d'examiner la vidéo " + quoted(video) + " : "
                                                             + frenchSystemReason(error.value()) + ".");
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
            throw Fault{0, "beaucoup trop long"};
        const std::vector<Line> lines = nonBlankLines(*content);
        checkVersion(file, lines);
        return parsedSettings(keyedValues(lines));
    } catch (const Fault &fault) {
        throwDamaged(file, fault);
    }
}

void checkSameVideo(const MeasureSettings &settings, const CalibratedVideo &video, const std::filesystem::path &file)
{
    if (settings.video == video)
        return;
    throw MeasureError(MeasureErrorKind::OtherVideo,
                       "L'étalonnage " + quoted(file) + " a été fait sur une autre vidéo (" + videoText(settings.video)
                           + ") que celle qui est ouverte (" + videoText(video) + ") : il n'a pas été chargé.");
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
