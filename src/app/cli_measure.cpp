#include "app/cli_commands.h"
#include "common/utf8path.h"

#include "measure/measureerror.h"
#include "measure/measureexport.h"
#include "measure/quantity.h"
#include "measure/sidecar.h"
#include "player/framereader.h"
#include "track/companionfile.h"
#include "track/sequencefile.h"

#include <cstring>
#include <iostream>
#include <limits>
#include <memory>
#include <optional>

namespace zorvane::inspect {
namespace {

namespace fs = std::filesystem;

constexpr const char *kUsage =
    "usage: zorvane-inspect measure SEQUENCE [--calibration FILE] [--video VIDEO] [--mass KG]\n"
    "                               [--fit MODEL X Y [--from T1] [--to T2]]\n"
    "  MODEL: linear, quadratic, sine, exp, poly3; X, Y: t x y vx vy v ax ay Ec Epp Em\n"
    "  Points beside A, in SEQUENCE's NAME.points.tsv, are printed each after a line \"point B\", ...;\n"
    "  the fit is of point A";

struct FitRequest {
    FitModel model = FitModel::Linear;
    Quantity x = Quantity::T;
    Quantity y = Quantity::Y;
    std::optional<double> from;
    std::optional<double> to;
};

struct MeasureArgs {
    fs::path sequence;
    fs::path calibration;
    fs::path video;
    std::optional<double> massKg;
    std::optional<FitRequest> fit;
};

std::optional<double> number(const std::string &text) { return parseFileNumber(text); }

// Takes the option at args[i] and its values; false for anything wrong.
bool takeOption(const std::vector<std::string> &args, std::size_t &i, MeasureArgs &parsed)
{
    const std::string &option = args[i];
    const auto has = [&](std::size_t values) { return i + values < args.size(); };
    if ((option == "--calibration" || option == "--video") && has(1)) {
        fs::path &path = option == "--calibration" ? parsed.calibration : parsed.video;
        if (!path.empty())
            return false;
        path = pathFromUtf8(args[++i]);
        return true;
    }
    if (option == "--mass" && has(1) && !parsed.massKg) {
        parsed.massKg = number(args[++i]);
        return parsed.massKg && isPlausibleMassOrField(*parsed.massKg);
    }
    if (option == "--fit" && has(3) && !parsed.fit) {
        const std::optional<FitModel> model = modelNamed(args[i + 1]);
        const std::optional<Quantity> x = quantityNamed(args[i + 2]);
        const std::optional<Quantity> y = quantityNamed(args[i + 3]);
        i += 3;
        if (!model || !x || !y)
            return false;
        parsed.fit = FitRequest{*model, *x, *y, std::nullopt, std::nullopt};
        return true;
    }
    if ((option == "--from" || option == "--to") && has(1) && parsed.fit) {
        std::optional<double> &limit = option == "--from" ? parsed.fit->from : parsed.fit->to;
        if (limit)
            return false;
        limit = number(args[++i]);
        return limit.has_value();
    }
    return false;
}

std::optional<MeasureArgs> parseArgs(const std::vector<std::string> &args)
{
    MeasureArgs parsed;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i].starts_with("--")) {
            if (!takeOption(args, i, parsed))
                return std::nullopt;
        } else if (parsed.sequence.empty()) {
            parsed.sequence = pathFromUtf8(args[i]);
        } else {
            return std::nullopt;
        }
    }
    if (parsed.sequence.empty())
        return std::nullopt;
    return parsed;
}

// The video the settings were made on: the one given, else a file of its
// recorded name beside the sequence. Only opened when its frame times are
// needed or a video was named to check against.
std::unique_ptr<FrameReader> openVideo(const MeasureArgs &args, const MeasureSettings &settings,
                                       const fs::path &calibration)
{
    fs::path video = args.video;
    if (video.empty()) {
        if (settings.time.source != TimeSource::VideoFrameTimes)
            return nullptr;
        video = args.sequence.parent_path() / settings.video.fileName;
    }
    auto reader = std::make_unique<FrameReader>(video.string());
    checkSameVideo(settings, identifyVideo(video, reader->frameCount()), calibration);
    return reader;
}

std::string videoText(const CalibratedVideo &video)
{
    return video.fileName + ", " + std::to_string(video.frameCount) + " frames, " + std::to_string(video.sizeBytes)
           + " bytes";
}

std::string faultText(const SidecarProblem &problem)
{
    switch (problem.fault) {
    case SidecarFault::TooLong: return "far too long";
    case SidecarFault::NotCalibrationFile: return "not a calibration file";
    case SidecarFault::UnreadableVersion: return "unreadable version";
    case SidecarFault::UnknownKey: return "unknown key '" + problem.word + "'";
    case SidecarFault::RepeatedKey: return "repeated key '" + problem.word + "'";
    case SidecarFault::MissingKey: return "missing key '" + problem.word + "'";
    case SidecarFault::MissingValue: return "missing value";
    case SidecarFault::ExtraValues: return "extra values";
    case SidecarFault::NotANumber: return "'" + problem.word + "' is not a number";
    case SidecarFault::InfiniteNumber: return "infinite number";
    case SidecarFault::UnexpectedWord:
        return "'" + problem.word + "' instead of '" + problem.expected[0] + "' or '" + problem.expected[1] + "'";
    case SidecarFault::BadVideoEscape: return "badly escaped video name";
    case SidecarFault::VideoNameNotAlone: return "video name empty or with a folder";
    case SidecarFault::NegativeFrameCount: return "negative frame count";
    case SidecarFault::ImpossibleValues: return "scale or time impossible";
    case SidecarFault::ImpossibleMass: return "mass not above zero";
    case SidecarFault::ImpossibleGravity: return "g not above zero";
    }
    return "damaged";
}

std::string problemText(const SidecarProblem &problem)
{
    const std::string file = problem.file.string();
    switch (problem.kind) {
    case MeasureErrorKind::SidecarUnreadable:
        return file + ": cannot read the calibration file (" + std::strerror(problem.systemError) + ")";
    case MeasureErrorKind::NeedsVideo:
        return file + ": cannot examine the video (" + std::strerror(problem.systemError) + ")";
    case MeasureErrorKind::SidecarNewer: return file + ": calibration file from a newer version";
    case MeasureErrorKind::OtherVideo:
        return file + ": calibration made on another video (" + videoText(problem.saved) + ", not "
               + videoText(problem.open) + ")";
    default: break;
    }
    const std::string line = problem.line > 0 ? ", line " + std::to_string(problem.line) : "";
    return file + ": damaged calibration file" + line + ": " + faultText(problem);
}

std::string fitProblemText(FitProblem problem)
{
    switch (problem) {
    case FitProblem::TooFewPoints: return "fit: too few points for this model";
    case FitProblem::SameAbscissa: return "fit: all points at the same abscissa";
    case FitProblem::NoSolution: return "fit: the model does not settle on these points";
    }
    return "fit failed";
}

std::string companionProblemText(const fs::path &file, const CompanionError &error)
{
    const std::string line = error.line() > 0 ? ", line " + std::to_string(error.line()) : "";
    switch (error.kind()) {
    case CompanionErrorKind::CannotOpen:
        return file.string() + ": cannot read the points file (" + std::strerror(error.error()) + ")";
    case CompanionErrorKind::BadHeader: return file.string() + ": damaged points file" + line + ": not its first line";
    case CompanionErrorKind::TooManyFrames: return file.string() + ": damaged points file: too many frames";
    default: return file.string() + ": damaged points file" + line;
    }
}

// The points beside A, from the companion file when there is one.
PointSet pointsBesideA(const fs::path &sequence, const PointTrack &a)
{
    const fs::path companion = companionPath(sequence);
    std::error_code ignored;
    if (!fs::exists(companion, ignored))
        return {};
    try {
        CompanionPoints loaded = loadCompanion(companion);
        loaded.others.resizeAll(std::max(a.upperBound(), loaded.a.upperBound()));
        return std::move(loaded.others);
    } catch (const CompanionError &error) {
        throw std::runtime_error(companionProblemText(companion, error));
    }
}

void printFit(const MeasureTable &table, const FitRequest &request)
{
    std::optional<FitRange> range;
    if (request.from || request.to)
        range = FitRange{Quantity::T, request.from.value_or(-std::numeric_limits<double>::infinity()),
                         request.to.value_or(std::numeric_limits<double>::infinity())};
    const FitResult fit = fitQuantities(table, request.model, request.x, request.y, range);
    const std::vector<std::string> units = coefficientUnitTexts(request.model, quantityUnit(request.x, table.inPixels),
                                                                quantityUnit(request.y, table.inPixels));
    for (std::size_t j = 0; j < fit.coefficients.size(); ++j) {
        const FitCoefficient &c = fit.coefficients[j];
        std::cout << c.name << '\t' << formatNumber(c.value, ".", kMeasureDigits) << '\t'
                  << formatNumber(c.uncertainty, ".", kMeasureDigits) << '\t' << units[j] << '\n';
    }
    std::cout << "r2\t" << formatNumber(fit.r2, ".", kMeasureDigits) << '\n';
}

} // namespace

// Prints the table the export would write, with a dot as decimal separator,
// or the coefficients of a fit.
int runMeasure(const std::vector<std::string> &args)
{
    const std::optional<MeasureArgs> parsed = parseArgs(args);
    if (!parsed) {
        std::cerr << kUsage << "\n";
        return 1;
    }
    const fs::path calibration = parsed->calibration.empty() ? sidecarPath(parsed->sequence) : parsed->calibration;
    try {
        PointTrack track;
        loadSequence(parsed->sequence, track);
        std::optional<MeasureSettings> settings = readSidecar(calibration);
        if (!settings) {
            std::cerr << calibration.string() << ": no calibration file\n";
            return 1;
        }
        if (parsed->massKg)
            settings->dynamics.massKg = parsed->massKg;
        const PointSet others = pointsBesideA(parsed->sequence, track);
        const int origin = settings->movingOrigin;
        if (origin > others.count()) {
            std::cerr << calibration.string() << ": the origin moves with point " << pointLetter(origin) << ", which "
                      << companionPath(parsed->sequence).string() << " does not hold\n";
            return 1;
        }
        const std::unique_ptr<FrameReader> video = openVideo(*parsed, *settings, calibration);
        const FrameClock clock = clockFor(settings->time, video.get());
        const auto measure = [&](int index) {
            return measurePoint(track, others, index, settings->calibration, origin, clock, settings->dynamics);
        };
        const MeasureTable table = measure(0);
        if (parsed->fit) {
            printFit(table, *parsed->fit);
        } else {
            std::cout << csvText(table, NumberFormat{});
            for (int index = 1; index <= others.count(); ++index) {
                if (index != origin)
                    std::cout << "point " << pointLetter(index) << '\n' << csvText(measure(index), NumberFormat{});
            }
        }
        if (table.pointsWithoutTime > 0)
            std::cerr << table.pointsWithoutTime << " point(s) past the video's last frame left out\n";
        return 0;
    } catch (const SidecarError &error) {
        std::cerr << problemText(error.problem()) << "\n";
        return 1;
    } catch (const FitError &error) {
        std::cerr << fitProblemText(error.problem()) << "\n";
        return 1;
    } catch (const std::exception &error) {
        // SequenceError, MeasureError and ReaderError carry the file's name.
        std::cerr << error.what() << "\n";
        return 1;
    }
}

} // namespace zorvane::inspect
