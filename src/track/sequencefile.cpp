#include "track/sequencefile.h"

#include "common/rounding.h"
#include "track/fieldreader.h"
#include "track/replacingfile.h"
#include "track/systemerror.h"

#include <array>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <optional>
#include <system_error>

namespace zorvane {

namespace {

std::string quoted(const std::filesystem::path &path) { return "« " + path.string() + " »"; }

std::optional<std::int32_t> readFileInteger(std::string_view field)
{
    const std::optional<double> value = parseFileNumber(field);
    return value ? roundHalfEvenToInt32(*value) : std::nullopt;
}

template <typename Integer>
void appendInteger(std::string &out, Integer value)
{
    std::array<char, 24> digits{};
    const auto result = std::to_chars(digits.data(), digits.data() + digits.size(), value);
    out.append(digits.data(), result.ptr);
}

void growToHold(PointTrack &track, std::int32_t upperBound)
{
    if (!track.hasStorage() || track.upperBound() < upperBound)
        track.resize(upperBound);
}

} // namespace

bool hasSequenceToSave(const PointTrack &track) { return track.hasStorage() && track.upperBound() >= 1; }

void saveSequence(const std::filesystem::path &path, const PointTrack &track, std::string_view stepText,
                  const NumberFormat &format)
{
    if (!track.hasStorage())
        throw SequenceError(SequenceErrorKind::NothingToSave,
                            "Aucune séquence à enregistrer : ouvrez d'abord une vidéo ou une séquence.");
    const std::int32_t upperBound = track.upperBound();
    const std::optional<double> step = parseStep(stepText, format);
    if (!step)
        throw SequenceError(SequenceErrorKind::StepNotNumber, "Le pas « Pas (ms) » doit être un nombre.");
    if (!std::isfinite(*step * upperBound))
        throw SequenceError(SequenceErrorKind::StepNotNumber, "Le pas « Pas (ms) » est trop grand.");

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
                              + frenchSystemReason(error.code().value()) + ".";
        if (hadFile)
            message += " Le fichier existant n'a pas été modifié.";
        throw SequenceError(SequenceErrorKind::WriteFailed, message);
    }
}

SequenceLoad loadSequence(const std::filesystem::path &path, PointTrack &track)
{
    std::optional<FieldReader> opened;
    try {
        opened.emplace(path);
    } catch (const std::system_error &error) {
        throw SequenceError(SequenceErrorKind::CannotOpen, "Impossible d'ouvrir le fichier " + quoted(path) + " : "
                                                               + frenchSystemReason(error.code().value()) + ".");
    }
    FieldReader &reader = *opened;
    FieldReader::Line line;
    SequenceLoad load;

    if (reader.next(line)) {
        if (const std::optional<double> announced = parseFileNumber(line.field(0))) {
            if (*announced > PointTrack::kMaxUpperBound)
                throw SequenceError(SequenceErrorKind::TooManyFrames,
                                    "Le fichier " + quoted(path)
                                        + " annonce plus de 10 000 000 images : rien n'a été chargé.");
            load.upperBound = roundHalfEvenToInt32(*announced).value_or(-1);
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
