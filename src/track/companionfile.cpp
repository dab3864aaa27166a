#include "track/companionfile.h"

#include "track/replacingfile.h"

#include <array>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <fstream>
#include <optional>
#include <string_view>
#include <system_error>
#include <vector>

namespace zorvane {

namespace {

constexpr std::string_view kTimeTitle = "t (ms)";

void appendInteger(std::string &out, std::int32_t value)
{
    std::array<char, 16> digits{};
    const auto result = std::to_chars(digits.data(), digits.data() + digits.size(), value);
    out.append(digits.data(), result.ptr);
}

void appendPoint(std::string &line, TrackPoint point)
{
    line += '\t';
    if (!point.isEmpty())
        appendInteger(line, point.X);
    line += '\t';
    if (!point.isEmpty())
        appendInteger(line, point.Y);
}

std::string headerLine(int points)
{
    std::string line(kTimeTitle);
    for (int index = 0; index < points; ++index) {
        line += "\tX";
        line += pointLetter(index);
        line += "\tY";
        line += pointLetter(index);
    }
    return line + "\r\n";
}

std::vector<std::string_view> splitTabs(std::string_view line)
{
    std::vector<std::string_view> fields;
    while (true) {
        const std::size_t tab = line.find('\t');
        fields.push_back(line.substr(0, tab));
        if (tab == std::string_view::npos)
            return fields;
        line.remove_prefix(tab + 1);
    }
}

// Lines of at most kMaxCompanionLineBytes, ended by LF or CR LF; the last
// may have no end.
class LineReader {
public:
    explicit LineReader(const std::filesystem::path &path) : m_in(path, std::ios::binary) {}
    bool isOpen() const { return m_in.is_open(); }
    std::int64_t number() const { return m_number; }

    // False at the end; throws CompanionError (BadLine) for a line too long.
    bool next(std::string &line)
    {
        line.clear();
        char c = 0;
        bool any = false;
        while (m_in.get(c)) {
            any = true;
            if (c == '\n')
                break;
            if (line.size() == kMaxCompanionLineBytes)
                throw CompanionError(CompanionErrorKind::BadLine, m_number + 1, 0, "line too long");
            line += c;
        }
        if (!any)
            return false;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        ++m_number;
        return true;
    }

private:
    std::ifstream m_in;
    std::int64_t m_number = 0;
};

int pointsNamedBy(std::string_view header)
{
    if (header.starts_with("\xEF\xBB\xBF"))
        header.remove_prefix(3);
    const std::vector<std::string_view> fields = splitTabs(header);
    if (fields.size() < 3 || fields.size() % 2 == 0 || fields[0] != kTimeTitle
        || (fields.size() - 1) / 2 > static_cast<std::size_t>(kMaxFollowedPoints))
        return 0;
    const int points = static_cast<int>((fields.size() - 1) / 2);
    for (int index = 0; index < points; ++index) {
        const std::string letter(1, pointLetter(index));
        if (fields[1 + 2 * index] != "X" + letter || fields[2 + 2 * index] != "Y" + letter)
            return 0;
    }
    return points;
}

std::optional<std::int32_t> strictInteger(std::string_view field)
{
    std::int32_t value = 0;
    const auto result = std::from_chars(field.data(), field.data() + field.size(), value);
    if (field.empty() || result.ec != std::errc() || result.ptr != field.data() + field.size())
        return std::nullopt;
    return value;
}

std::optional<TrackPoint> pointOf(std::string_view x, std::string_view y)
{
    if (x.empty() && y.empty())
        return TrackPoint{};
    const std::optional<std::int32_t> px = strictInteger(x);
    const std::optional<std::int32_t> py = strictInteger(y);
    if (!px || !py)
        return std::nullopt;
    return TrackPoint{*px, *py};
}

} // namespace

std::filesystem::path companionPath(const std::filesystem::path &sequence)
{
    std::filesystem::path companion = sequence;
    companion.replace_extension(".points.tsv");
    return companion;
}

void saveCompanion(const std::filesystem::path &path, const PointTrack &a, const PointSet &others, double stepMs,
                   const NumberFormat &format)
{
    const int points = 1 + others.count();
    try {
        ReplacingFile file(path);
        file.write(headerLine(points));
        std::string line;
        for (std::int32_t frame = 0; frame <= a.upperBound(); ++frame) {
            line = formatMilliseconds(frame * stepMs, format.decimalSeparator);
            appendPoint(line, a.at(frame));
            for (int index = 1; index < points; ++index)
                appendPoint(line, others.track(index).find(frame).value_or(TrackPoint{}));
            line += "\r\n";
            file.write(line);
        }
        file.commit();
    } catch (const std::system_error &error) {
        throw CompanionError(CompanionErrorKind::WriteFailed, 0, error.code().value(), error.what());
    }
}

CompanionPoints loadCompanion(const std::filesystem::path &path)
{
    std::error_code ignored;
    if (!std::filesystem::is_regular_file(path, ignored))
        throw CompanionError(CompanionErrorKind::CannotOpen, 0, ENOENT, "not a regular file");
    LineReader reader(path);
    if (!reader.isOpen())
        throw CompanionError(CompanionErrorKind::CannotOpen, 0, errno, "cannot open");
    std::string line;
    const int points = reader.next(line) ? pointsNamedBy(line) : 0;
    if (points == 0)
        throw CompanionError(CompanionErrorKind::BadHeader, 1, 0, "the first line does not name the points");

    std::vector<std::vector<TrackPoint>> columns(static_cast<std::size_t>(points));
    while (reader.next(line)) {
        if (columns[0].size() > static_cast<std::size_t>(PointTrack::kMaxUpperBound))
            throw CompanionError(CompanionErrorKind::TooManyFrames, reader.number(), 0, "too many frames");
        const std::vector<std::string_view> fields = splitTabs(line);
        if (fields.size() != 1 + 2 * static_cast<std::size_t>(points) || !parseFileNumber(fields[0]))
            throw CompanionError(CompanionErrorKind::BadLine, reader.number(), 0, "wrong fields");
        for (int index = 0; index < points; ++index) {
            const auto column = static_cast<std::size_t>(index);
            const std::optional<TrackPoint> point = pointOf(fields[1 + 2 * column], fields[2 + 2 * column]);
            if (!point)
                throw CompanionError(CompanionErrorKind::BadLine, reader.number(), 0, "not a point");
            columns[column].push_back(*point);
        }
    }
    if (columns[0].empty())
        throw CompanionError(CompanionErrorKind::BadLine, 2, 0, "no frame");

    const auto upperBound = static_cast<std::int32_t>(columns[0].size() - 1);
    CompanionPoints loaded;
    loaded.a.resize(upperBound);
    for (int index = 1; index < points; ++index)
        loaded.others.add(upperBound);
    for (int index = 0; index < points; ++index) {
        PointTrack &track = index == 0 ? loaded.a : loaded.others.track(index);
        for (std::int32_t frame = 0; frame <= upperBound; ++frame)
            track.set(frame, columns[static_cast<std::size_t>(index)][static_cast<std::size_t>(frame)]);
    }
    return loaded;
}

} // namespace zorvane
