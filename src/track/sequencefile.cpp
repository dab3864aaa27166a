#include "sequencefile.h"

#include "replacingfile.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <fcntl.h>
#include <initializer_list>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace zorvane {

namespace {

// A data line holds three short numbers; anything much longer is not a
// sequence, and stopping there keeps a hostile file from costing time.
constexpr std::size_t maxLineBytes = 64 * 1024;
constexpr std::size_t maxFieldBytes = 64;

std::string frenchReason(int error)
{
    switch (error) {
    case ENOSPC: return "le disque est plein";
    case EDQUOT: return "le quota de disque est dépassé";
    case EFBIG: return "le fichier dépasse la taille permise";
    case EACCES:
    case EPERM: return "l'accès est refusé";
    case EROFS: return "le disque est en lecture seule";
    case ENOENT: return "le fichier ou son dossier n'existe pas";
    case ENOTDIR: return "un élément du chemin n'est pas un dossier";
    case EISDIR: return "c'est un dossier";
    case ENAMETOOLONG: return "le nom est trop long";
    case EIO: return "erreur d'entrée-sortie sur le disque";
    case ENXIO: return "le périphérique n'est pas disponible";
    default: return "erreur système " + std::to_string(error);
    }
}

std::string quoted(const std::filesystem::path &path)
{
    return "« " + path.string() + " »";
}

bool isAsciiDigit(char c)
{
    return c >= '0' && c <= '9';
}

std::string_view trimmedBlanks(std::string_view text)
{
    const auto isBlank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

// Reads a plain decimal number written with any of the given decimal
// separators and, between digits of the integer part, the group separator.
std::optional<double> readNumber(std::string_view text,
                                 std::initializer_list<std::string_view> decimalSeparators,
                                 std::string_view groupSeparator)
{
    std::string plain;
    std::size_t pos = 0;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-'))
        negative = text[pos++] == '-';

    const auto startsWithAt = [&](std::string_view what) {
        return !what.empty() && text.substr(pos).starts_with(what);
    };
    std::size_t digits = 0;
    while (pos < text.size()) {
        if (isAsciiDigit(text[pos])) {
            plain += text[pos++];
            ++digits;
        } else if (digits > 0 && startsWithAt(groupSeparator)
                   && pos + groupSeparator.size() < text.size()
                   && isAsciiDigit(text[pos + groupSeparator.size()])) {
            pos += groupSeparator.size();
        } else {
            break;
        }
    }
    for (std::string_view separator : decimalSeparators) {
        if (startsWithAt(separator)) {
            pos += separator.size();
            plain += '.';
            while (pos < text.size() && isAsciiDigit(text[pos])) {
                plain += text[pos++];
                ++digits;
            }
            break;
        }
    }
    if (digits == 0)
        return std::nullopt;
    if (pos < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
        plain += text[pos++];
        if (pos < text.size() && (text[pos] == '+' || text[pos] == '-'))
            plain += text[pos++];
        const std::size_t exponentStart = pos;
        while (pos < text.size() && isAsciiDigit(text[pos]))
            plain += text[pos++];
        if (pos == exponentStart)
            return std::nullopt;
    }
    if (pos != text.size())
        return std::nullopt;

    double value = 0.0;
    const auto [end, error] = std::from_chars(plain.data(), plain.data() + plain.size(), value);
    if (error != std::errc() || end != plain.data() + plain.size() || !std::isfinite(value))
        return std::nullopt;
    return negative ? -value : value;
}

// Files are read with either separator: they may come from any locale.
std::optional<double> readFileNumber(std::string_view field)
{
    return readNumber(field, {".", ","}, {});
}

std::optional<std::int32_t> readFileInteger(std::string_view field)
{
    const std::optional<double> value = readFileNumber(field);
    return value ? roundHalfEven(*value) : std::nullopt;
}

template <typename Integer>
void appendInteger(std::string &out, Integer value)
{
    std::array<char, 24> digits{};
    const auto result = std::to_chars(digits.data(), digits.data() + digits.size(), value);
    out.append(digits.data(), result.ptr);
}

// The first three blank-separated fields of each line, read in bounded
// memory; LF, CR LF and lone CR all end a line.
class FieldReader {
public:
    struct Line {
        std::array<std::string, 3> fields;
        std::size_t count = 0;

        std::string_view field(std::size_t index) const
        {
            return index < count ? std::string_view(fields[index]) : std::string_view();
        }
    };

    explicit FieldReader(int fd) : m_fd(fd) {}

    // False at the end of the file or where reading stops early.
    bool next(Line &line)
    {
        if (m_stoppedEarly)
            return false;
        line.count = 0;
        for (auto &field : line.fields)
            field.clear();
        std::size_t lineBytes = 0;
        bool inField = false;
        bool sawAnything = false;
        for (;;) {
            const int c = nextByte();
            if (c < 0)
                return sawAnything;
            const char ch = static_cast<char>(c);
            if (m_skipLineFeed) {
                m_skipLineFeed = false;
                if (ch == '\n')
                    continue;
            }
            sawAnything = true;
            if (ch == '\n' || ch == '\r') {
                m_skipLineFeed = ch == '\r';
                return true;
            }
            if (++lineBytes > maxLineBytes) {
                m_stoppedEarly = true;
                return false;
            }
            if (ch == ' ' || ch == '\t') {
                inField = false;
                continue;
            }
            if (!inField) {
                inField = true;
                ++line.count;
            }
            if (line.count <= line.fields.size()) {
                std::string &field = line.fields[line.count - 1];
                // An over-long field keeps one byte too many, so it never parses.
                if (field.size() <= maxFieldBytes)
                    field += ch;
            }
        }
    }

    bool stoppedEarly() const { return m_stoppedEarly; }

private:
    int nextByte()
    {
        if (m_pos == m_size && !refill())
            return -1;
        return static_cast<unsigned char>(m_buffer[m_pos++]);
    }

    bool refill()
    {
        if (m_atEnd)
            return false;
        ssize_t got = 0;
        do {
            got = ::read(m_fd, m_buffer.data(), m_buffer.size());
        } while (got < 0 && errno == EINTR);
        if (got <= 0) {
            m_atEnd = true;
            m_stoppedEarly = m_stoppedEarly || got < 0;
            return false;
        }
        m_pos = 0;
        m_size = static_cast<std::size_t>(got);
        if (m_firstRead) {
            m_firstRead = false;
            if (m_size >= 3 && std::string_view(m_buffer.data(), 3) == "\xEF\xBB\xBF")
                m_pos = 3;
        }
        return true;
    }

    int m_fd;
    std::array<char, 64 * 1024> m_buffer{};
    std::size_t m_pos = 0;
    std::size_t m_size = 0;
    bool m_firstRead = true;
    bool m_atEnd = false;
    bool m_skipLineFeed = false;
    bool m_stoppedEarly = false;
};

class InputFile {
public:
    explicit InputFile(const std::filesystem::path &path)
    {
        // Non-blocking open, so that a named pipe cannot hang the program.
        m_fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (m_fd < 0)
            fail(path, errno);
        struct stat info {};
        if (::fstat(m_fd, &info) != 0)
            fail(path, errno);
        if (S_ISDIR(info.st_mode))
            fail(path, EISDIR);
        if (S_ISFIFO(info.st_mode) || S_ISSOCK(info.st_mode))
            fail(path, ENXIO);
        ::fcntl(m_fd, F_SETFL, ::fcntl(m_fd, F_GETFL) & ~O_NONBLOCK);
    }
    ~InputFile()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    InputFile(const InputFile &) = delete;
    InputFile &operator=(const InputFile &) = delete;

    int fd() const { return m_fd; }

private:
    [[noreturn]] void fail(const std::filesystem::path &path, int error)
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
        throw SequenceError(SequenceErrorKind::CannotOpen,
                            "Impossible d'ouvrir le fichier " + quoted(path) + " : "
                                + frenchReason(error) + ".");
    }

    int m_fd = -1;
};

void growToHold(PointTrack &track, std::int32_t upperBound)
{
    if (!track.hasStorage() || track.upperBound() < upperBound)
        track.resize(upperBound);
}

} // namespace

bool hasSequenceToSave(const PointTrack &track)
{
    return track.hasStorage() && track.upperBound() >= 1;
}

std::optional<double> parseStep(std::string_view text, const NumberFormat &format)
{
    const std::string_view group =
        format.groupSeparator == format.decimalSeparator ? std::string_view() : format.groupSeparator;
    return readNumber(trimmedBlanks(text), {format.decimalSeparator}, group);
}

std::string formatMilliseconds(double value, std::string_view decimalSeparator)
{
    if (value == 0.0)
        value = 0.0; // no "-0"
    std::array<char, 40> digits{};
    const auto result = std::to_chars(digits.data(), digits.data() + digits.size(), value,
                                      std::chars_format::general, 15);
    std::string text;
    for (const char *c = digits.data(); c != result.ptr; ++c) {
        if (*c == '.')
            text += decimalSeparator;
        else
            text += *c == 'e' ? 'E' : *c;
    }
    return text;
}

void saveSequence(const std::filesystem::path &path, const PointTrack &track,
                  std::string_view stepText, const NumberFormat &format)
{
    if (!track.hasStorage())
        throw SequenceError(SequenceErrorKind::NothingToSave,
                            "Aucune séquence à enregistrer : ouvrez d'abord une vidéo ou une séquence.");
    const std::int32_t upperBound = track.upperBound();
    const std::optional<double> step = parseStep(stepText, format);
    if (!step)
        throw SequenceError(SequenceErrorKind::StepNotNumber,
                            "Le pas « Pas (ms) » doit être un nombre.");
    if (!std::isfinite(*step * upperBound))
        throw SequenceError(SequenceErrorKind::StepNotNumber,
                            "Le pas « Pas (ms) » est trop grand.");

    std::error_code ignored;
    const bool hadFile = std::filesystem::is_regular_file(path, ignored);
    try {
        ReplacingFile file(path);
        std::string line = " ";
        appendInteger(line, upperBound);
        line += " \r\n";
        file.write(line);
        for (std::int32_t frame = 0; frame <= upperBound; ++frame) {
            const TrackPoint point = track.at(frame);
            line = formatMilliseconds(frame * *step, format.decimalSeparator);
            line += '\t';
            appendInteger(line, point.X);
            line += '\t';
            appendInteger(line, point.Y);
            line += "\r\n";
            file.write(line);
        }
        file.commit();
    } catch (const std::system_error &error) {
        std::string message = "Impossible d'enregistrer la séquence dans " + quoted(path) + " : "
            + frenchReason(error.code().value()) + ".";
        if (hadFile)
            message += " Le fichier existant n'a pas été modifié.";
        throw SequenceError(SequenceErrorKind::WriteFailed, message);
    }
}

SequenceLoad loadSequence(const std::filesystem::path &path, PointTrack &track)
{
    InputFile file(path);
    FieldReader reader(file.fd());
    FieldReader::Line line;
    SequenceLoad load;

    if (reader.next(line)) {
        if (const std::optional<double> announced = readFileNumber(line.field(0))) {
            if (*announced > PointTrack::maxUpperBound)
                throw SequenceError(SequenceErrorKind::TooManyFrames,
                                    "Le fichier " + quoted(path)
                                        + " annonce plus de 10 000 000 images : rien n'a été chargé.");
            load.upperBound = roundHalfEven(*announced).value_or(-1);
        }
    }
    if (load.upperBound < 0)
        return load;
    growToHold(track, load.upperBound);

    for (std::int32_t frame = 0; frame <= load.upperBound && reader.next(line); ++frame) {
        // The time column is read only to find where X starts; the frame is
        // the line's position.
        if (const std::optional<std::int32_t> x = readFileInteger(line.field(1)))
            track.setX(frame, *x);
        if (const std::optional<std::int32_t> y = readFileInteger(line.field(2)))
            track.setY(frame, *y);
        ++load.framesRead;
    }
    load.stoppedEarly = reader.stoppedEarly();
    return load;
}

} // namespace zorvane
