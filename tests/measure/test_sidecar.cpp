// The calibration file beside a sequence: round trip, tie to its video,
// and every way a file can be wrong.
#include "measure/measureerror.h"
#include "measure/measureexport.h"
#include "measure/sidecar.h"
#include "support/tempfolder.h"

#include <gtest/gtest.h>

#include <array>
#include <csignal>
#include <functional>
#include <iterator>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <tuple>
#include <unistd.h>

using namespace zorvane;
namespace fs = std::filesystem;

namespace {

MeasureSettings sampleSettings()
{
    TimeChoice time;
    time.source = TimeSource::TypedStep;
    time.slowMotionFactor = 7.5;
    time.stepMs = 33.366666666666667;
    return {{"chute libre.mkv", 123456789, 38},
            Calibration({40, 620}, {440, 621}, 2.0000000000000004, {0, 0}, YAxis::Down),
            time,
            {}};
}

const std::string sampleText = "zorvane-etalonnage 1\n"
                               "video chute libre.mkv\n"
                               "taille 123456789\n"
                               "images 38\n"
                               "echelle 40 620 440 621\n"
                               "distance 2.0000000000000004\n"
                               "origine 0 0\n"
                               "axe-y bas\n"
                               "temps pas\n"
                               "ralenti 7.5\n"
                               "pas 33.36666666666667\n";

class Sidecar : public zorvane::testing::TempFolderTest {
protected:
    // The kind of error reading these bytes gives, with what is wrong.
    MeasureErrorKind readError(const std::string &bytes, SidecarProblem *problem = nullptr) const
    {
        const fs::path path = writeFile("Sequence.etalonnage", bytes);
        try {
            readSidecar(path);
        } catch (const SidecarError &error) {
            if (problem)
                *problem = error.problem();
            return error.kind();
        }
        ADD_FAILURE() << "accepted:\n" << bytes;
        return MeasureErrorKind::WriteFailed;
    }
};

std::string replaced(std::string text, const std::string &from, const std::string &to)
{
    const std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return text.replace(at, from.size(), to);
}

TEST(SidecarPath, SitsBesideTheSequenceAndNeverIsTheSequence)
{
    EXPECT_EQ(sidecarPath("/data/Sequence.txt"), fs::path("/data/Sequence.etalonnage"));
    EXPECT_EQ(sidecarPath("/data/chute.v2.txt"), fs::path("/data/chute.v2.etalonnage"));
    EXPECT_EQ(sidecarPath("/data/plain"), fs::path("/data/plain.etalonnage"));
    EXPECT_EQ(sidecarPath("/data/odd.etalonnage"), fs::path("/data/odd.etalonnage.etalonnage"));
}

TEST_F(Sidecar, SavesASmallVersionedTextAndReadsItBackExactly)
{
    const fs::path path = file("Sequence.etalonnage");
    saveSidecar(path, sampleSettings());
    EXPECT_EQ(readFile(path), sampleText);
    EXPECT_EQ(readSidecar(path), sampleSettings());

    MeasureSettings odd = sampleSettings();
    odd.video.fileName = " a\\b\nc\rd ";
    odd.time.source = TimeSource::VideoFrameTimes;
    odd.calibration = Calibration({INT32_MIN, -1}, {INT32_MAX, 1}, 1e-9, {-5, 7});
    saveSidecar(path, odd);
    EXPECT_EQ(readSidecar(path), odd);
}

TEST_F(Sidecar, AcceptsLineEndsAndBlankLinesOfAnEditedFile)
{
    std::string edited;
    for (char c : sampleText)
        edited += c == '\n' ? std::string("\r\n\r\n") : std::string(1, c);
    EXPECT_EQ(readSidecar(writeFile("edited.etalonnage", edited)), sampleSettings());
}

// A mass or another g makes a version 2 file; without them the file stays
// the version 1 that older programs read, and version 1 files read as ever.
TEST_F(Sidecar, MassAndGravityNeedVersionTwoAndAreChecked)
{
    const fs::path path = file("Sequence.etalonnage");
    MeasureSettings weighed = sampleSettings();
    weighed.dynamics.massKg = 0.057;
    weighed.dynamics.gravity = 9.80665;
    saveSidecar(path, weighed);
    const std::string text = readFile(path);
    EXPECT_EQ(text, replaced(sampleText, "zorvane-etalonnage 1", "zorvane-etalonnage 2") + "masse 0.057\ng 9.80665\n");
    EXPECT_EQ(readSidecar(path), weighed);
    weighed.dynamics.massKg.reset();
    saveSidecar(path, weighed);
    EXPECT_EQ(readSidecar(path), weighed);

    EXPECT_EQ(readSidecar(writeFile("v1.etalonnage", sampleText))->dynamics, MassAndGravity{});
    SidecarProblem problem;
    for (const auto &[from, to, fault] : {std::tuple{"masse 0.057", "masse 0", SidecarFault::ImpossibleMass},
                                          std::tuple{"g 9.80665", "g -9.81", SidecarFault::ImpossibleGravity},
                                          std::tuple{"g 9.80665\n", "", SidecarFault::MissingKey}}) {
        EXPECT_EQ(readError(replaced(text, from, to), &problem), MeasureErrorKind::SidecarDamaged) << to;
        EXPECT_EQ(problem.fault, fault) << to;
    }
    EXPECT_EQ(readError(sampleText + "masse 1\n", &problem), MeasureErrorKind::SidecarDamaged);
    EXPECT_EQ(problem.fault, SidecarFault::UnknownKey) << "version 1 has no mass";
}

TEST_F(Sidecar, MissingFileMeansNoCalibration)
{
    EXPECT_FALSE(readSidecar(file("none.etalonnage")));
    EXPECT_FALSE(loadSidecarFor(file("Sequence.txt"), sampleSettings().video));
}

TEST_F(Sidecar, DamagedFilesAreRefusedWithTheirNameAndLine)
{
    SidecarProblem problem;
    EXPECT_EQ(readError(replaced(sampleText, "distance 2.0000000000000004", "distance deux"), &problem),
              MeasureErrorKind::SidecarDamaged);
    EXPECT_EQ(problem.file, file("Sequence.etalonnage"));
    EXPECT_EQ(problem.fault, SidecarFault::NotANumber);
    EXPECT_EQ(problem.line, 6);
    EXPECT_EQ(problem.word, "deux");
    EXPECT_EQ(readError(replaced(sampleText, "axe-y bas", "axe-y gauche"), &problem), MeasureErrorKind::SidecarDamaged);
    EXPECT_EQ(problem.fault, SidecarFault::UnexpectedWord);
    EXPECT_EQ(problem.expected, (std::array<std::string, 2>{"haut", "bas"}));
    EXPECT_EQ(readError(replaced(sampleText, "pas 33.36666666666667", "pas -40"), &problem),
              MeasureErrorKind::SidecarDamaged);
    EXPECT_EQ(problem.fault, SidecarFault::ImpossibleValues);
    EXPECT_EQ(problem.refusedAs, MeasureErrorKind::StepInvalid);
    EXPECT_EQ(readError(sampleText + std::string(10000, '\xE9') + " 1\n", &problem), MeasureErrorKind::SidecarDamaged);
    EXPECT_EQ(problem.fault, SidecarFault::UnknownKey);
    EXPECT_LT(problem.word.size(), 70u) << "a problem quotes a short piece of a long word";

    const std::vector<std::string> damaged = {
        "",
        "\xEF\xBB\xBF",
        std::string("\0\0\0\0", 4),
        replaced(sampleText, "zorvane-etalonnage 1", "zorvane-etalonnage"),
        replaced(sampleText, "zorvane-etalonnage 1", "zorvane-etalonnage 0"),
        replaced(sampleText, "zorvane-etalonnage 1", "autre-chose 1"),
        replaced(sampleText, "echelle 40 620 440 621", "echelle 40 620 40 620"),
        replaced(sampleText, "echelle 40 620 440 621", "echelle 40 620 440"),
        replaced(sampleText, "echelle 40 620 440 621", "echelle 40 620 440 621 9"),
        replaced(sampleText, "echelle 40 620 440 621", "echelle 40  620 440 621"),
        replaced(sampleText, "echelle 40 620 440 621", "echelle 40 620 440 99999999999"),
        replaced(sampleText, "distance 2.0000000000000004", "distance 0"),
        replaced(sampleText, "distance 2.0000000000000004", "distance -1"),
        replaced(sampleText, "distance 2.0000000000000004", "distance nan"),
        replaced(sampleText, "distance 2.0000000000000004", "distance inf"),
        replaced(sampleText, "distance 2.0000000000000004", "distance 1e999"),
        replaced(sampleText, "distance 2.0000000000000004", "distance 0,5"),
        replaced(sampleText, "ralenti 7.5", "ralenti 0"),
        replaced(sampleText, "pas 33.36666666666667", "pas -40"),
        replaced(sampleText, "axe-y bas", "axe-y gauche"),
        replaced(sampleText, "temps pas", "temps"),
        replaced(sampleText, "images 38", "images -1"),
        replaced(sampleText, "taille 123456789", "taille -1"),
        replaced(sampleText, "video chute libre.mkv", "video"),
        replaced(sampleText, "video chute libre.mkv", "video chute\\x.mkv"),
        replaced(sampleText, "video chute libre.mkv", "video chute\\"),
        replaced(sampleText, "video chute libre.mkv", "video ../chute.mkv"),
        replaced(sampleText, "video chute libre.mkv", std::string("video chute\0.mkv", 16)),
        replaced(sampleText, "origine 0 0\n", ""),
        sampleText + "origine 1 1\n",
        sampleText + "couleur rouge\n",
        sampleText + std::string(kMaxSidecarBytes, '\n'),
    };
    for (const std::string &bytes : damaged)
        EXPECT_EQ(readError(bytes), MeasureErrorKind::SidecarDamaged) << bytes.substr(0, 200);
}

TEST_F(Sidecar, NewerVersionsAndFilesThatAreNotFilesAreRefused)
{
    EXPECT_EQ(readError(replaced(sampleText, "zorvane-etalonnage 1", "zorvane-etalonnage 5")),
              MeasureErrorKind::SidecarNewer);

    fs::create_directory(file("folder.etalonnage"));
    EXPECT_THROW(
        {
            try {
                readSidecar(file("folder.etalonnage"));
            } catch (const MeasureError &error) {
                EXPECT_EQ(error.kind(), MeasureErrorKind::SidecarUnreadable);
                throw;
            }
        },
        MeasureError);
    // A pipe without a writer would block a plain open or read forever.
    ASSERT_EQ(::mkfifo(file("pipe.etalonnage").c_str(), 0600), 0);
    EXPECT_THROW(readSidecar(file("pipe.etalonnage")), MeasureError);
}

TEST_F(Sidecar, BelongsToTheVideoItWasMadeOn)
{
    const fs::path sequence = file("chute.txt");
    saveSidecar(sidecarPath(sequence), sampleSettings());
    EXPECT_EQ(loadSidecarFor(sequence, sampleSettings().video), sampleSettings());

    for (const CalibratedVideo &other :
         {CalibratedVideo{"autre.mkv", 123456789, 38}, CalibratedVideo{"chute libre.mkv", 123456788, 38},
          CalibratedVideo{"chute libre.mkv", 123456789, 39}}) {
        try {
            loadSidecarFor(sequence, other);
            ADD_FAILURE() << "accepted for " << other.fileName;
        } catch (const SidecarError &error) {
            EXPECT_EQ(error.kind(), MeasureErrorKind::OtherVideo);
            EXPECT_EQ(error.problem().saved, sampleSettings().video);
            EXPECT_EQ(error.problem().open, other);
        }
    }
}

TEST_F(Sidecar, IdentifiesAVideoByNameSizeAndFrames)
{
    const fs::path video = writeFile("clip.avi", std::string(1234, 'v'));
    EXPECT_EQ(identifyVideo(video, 50), (CalibratedVideo{"clip.avi", 1234, 50}));
    try {
        identifyVideo(file("absent.avi"), 50);
        ADD_FAILURE() << "a missing video was identified";
    } catch (const MeasureError &error) {
        EXPECT_EQ(error.kind(), MeasureErrorKind::NeedsVideo);
    }
}

// Both files written here go through the atomic replacement: a write cut
// short by a full disk leaves the previous file as it was.
TEST_F(Sidecar, SavesCutShortKeepThePreviousFiles)
{
    const fs::path sidecar = writeFile("Sequence.etalonnage", "previous calibration");
    const fs::path csv = writeFile("mesures.csv", "previous table");
    MeasureTable table;
    table.rows.resize(100);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{100, 100};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        int failures = 0;
        const auto failsNamingTheFile = [&](const std::function<void()> &save, const fs::path &path) {
            try {
                save();
            } catch (const MeasureError &error) {
                const std::string message = error.what();
                failures += error.kind() == MeasureErrorKind::WriteFailed
                            && message.find(path.string()) != std::string::npos
                            && message.find("n'a pas été modifié") != std::string::npos;
            }
        };
        failsNamingTheFile([&] { saveSidecar(sidecar, sampleSettings()); }, sidecar);
        failsNamingTheFile([&] { exportCsv(csv, table, NumberFormat{}); }, csv);
        ::_exit(failures == 2 ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "a save claimed success or gave the wrong message";
    EXPECT_EQ(readFile(sidecar), "previous calibration");
    EXPECT_EQ(readFile(csv), "previous table");
    EXPECT_EQ(std::distance(fs::directory_iterator(m_dir), fs::directory_iterator()), 2)
        << "temporary file left behind";
}

} // namespace
