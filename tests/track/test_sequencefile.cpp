#include "support/tempfolder.h"
#include "track/sequencefile.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <iterator>
#include <random>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace zorvane;
namespace fs = std::filesystem;

namespace {

const NumberFormat dotFormat{"."};
const NumberFormat commaFormat{","};

using SequenceFile = zorvane::testing::TempFolderTest;

PointTrack trackFilledWith(std::int32_t upperBound, TrackPoint point)
{
    PointTrack track;
    track.resize(upperBound);
    for (std::int32_t i = 0; i <= upperBound; ++i)
        track.set(i, point);
    return track;
}

template <typename Action>
SequenceErrorKind errorOf(Action action, std::string *message = nullptr)
{
    try {
        action();
    } catch (const SequenceError &error) {
        if (message)
            *message = error.what();
        return error.kind();
    }
    ADD_FAILURE() << "no SequenceError thrown";
    return SequenceErrorKind::NothingToSave;
}

} // namespace

TEST_F(SequenceFile, WritesTheExampleByteForByte)
{
    PointTrack track;
    track.resize(2);
    track.set(1, {120, 85});
    saveSequence(file("Sequence.txt"), track, "40", dotFormat);
    EXPECT_EQ(readFile(file("Sequence.txt")), " 2 \r\n0\t0\t0\r\n40\t120\t85\r\n80\t0\t0\r\n");
    EXPECT_EQ(folderEntries(), std::vector<std::string>{"Sequence.txt"}) << "temporary file left behind";
}

TEST_F(SequenceFile, EmptyThreeFrameTrackSavesFiveLinesAndShorterOnesNothing)
{
    PointTrack track;
    EXPECT_FALSE(hasSequenceToSave(track));
    EXPECT_EQ(errorOf([&] { saveSequence(file("s.txt"), track, "40", dotFormat); }), SequenceErrorKind::NothingToSave);
    EXPECT_FALSE(fs::exists(file("s.txt")));
    track.resize(0);
    EXPECT_FALSE(hasSequenceToSave(track));

    track.resize(3);
    EXPECT_TRUE(hasSequenceToSave(track));
    saveSequence(file("s.txt"), track, " 40 ", dotFormat);
    EXPECT_EQ(readFile(file("s.txt")), " 3 \r\n0\t0\t0\r\n40\t0\t0\r\n80\t0\t0\r\n120\t0\t0\r\n");
}

TEST(StepText, ReadsADotOrACommaAsTheDecimalSeparatorInEveryLocale)
{
    for (const NumberFormat &format : {dotFormat, commaFormat}) {
        const std::string locale = "locale separator " + format.decimalSeparator;
        EXPECT_EQ(parseStep("40", format), 40.0) << locale;
        EXPECT_EQ(parseStep("\t33.5 ", format), 33.5) << locale;
        EXPECT_EQ(parseStep("33,3", format), 33.3) << locale;
        EXPECT_EQ(parseStep("33.3", format), 33.3) << locale;
        EXPECT_EQ(parseStep(",5", format), 0.5) << locale;
        EXPECT_EQ(parseStep("7.", format), 7.0) << locale;
        EXPECT_EQ(parseStep("-4e1", format), -40.0) << locale;
        EXPECT_EQ(parseStep("4,5E1", format), 45.0) << locale;
        for (const char *text : {"", "  ", "abc", "40ms", "1e", "1e999", "--4", "inf", "nan", "0x10", ",", ".", "4 0",
                                 "1..5", "1,,5", "1.5,5", "1,5.5"})
            EXPECT_FALSE(parseStep(text, format).has_value()) << locale << ": " << text;
    }
    // Digits are never grouped: a group separator makes the text no number.
    for (const char *grouped : {"1,000.25", "1.000,25", "1 000", "1\u202F000,5", "1\u00A0000"})
        EXPECT_FALSE(parseStep(grouped, commaFormat).has_value()) << grouped;
    // A locale with a separator of its own: that one is read too.
    EXPECT_EQ(parseStep("33\u066B3", NumberFormat{"\u066B"}), 33.3);
    EXPECT_EQ(parseStep("33.3", NumberFormat{"\u066B"}), 33.3);
    EXPECT_FALSE(parseStep("33\u066B3", dotFormat).has_value());
}

TEST(StepText, TimesAreWrittenInTheirShortestForm)
{
    EXPECT_EQ(formatMilliseconds(0.0, "."), "0");
    EXPECT_EQ(formatMilliseconds(-0.0, "."), "0");
    EXPECT_EQ(formatMilliseconds(1200.0, "."), "1200");
    EXPECT_EQ(formatMilliseconds(0.1 + 0.2, "."), "0.3");
    EXPECT_EQ(formatMilliseconds(2 * (100.0 / 3), "."), "66.6666666666667");
    EXPECT_EQ(formatMilliseconds(40.5, ","), "40,5");
    EXPECT_EQ(formatMilliseconds(123456789012345.0, "."), "123456789012345");
    EXPECT_EQ(formatMilliseconds(1e15, "."), "1E+15");
}

TEST_F(SequenceFile, FractionalStepUsesTheLocaleSeparatorAndLoadsBack)
{
    PointTrack track;
    track.resize(2);
    track.set(1, {120, 85});
    track.set(2, {-3, 4});
    saveSequence(file("s.txt"), track, "40,5", commaFormat);
    EXPECT_EQ(readFile(file("s.txt")), " 2 \r\n0\t0\t0\r\n40,5\t120\t85\r\n81\t-3\t4\r\n");

    PointTrack loaded;
    loadSequence(file("s.txt"), loaded);
    EXPECT_EQ(loaded.upperBound(), 2);
    EXPECT_EQ(loaded.at(1), (TrackPoint{120, 85})) << "a comma in the time field must not shift X and Y";
    EXPECT_EQ(loaded.at(2), (TrackPoint{-3, 4}));

    saveSequence(file("dot.txt"), track, "40.5", dotFormat);
    EXPECT_EQ(readFile(file("dot.txt")), " 2 \r\n0\t0\t0\r\n40.5\t120\t85\r\n81\t-3\t4\r\n");

    // The file is written in the locale's way whichever separator was typed.
    saveSequence(file("typed-dot.txt"), track, "33.3", commaFormat);
    EXPECT_EQ(readFile(file("typed-dot.txt")), " 2 \r\n0\t0\t0\r\n33,3\t120\t85\r\n66,6\t-3\t4\r\n");
    saveSequence(file("typed-comma.txt"), track, "33,3", dotFormat);
    EXPECT_EQ(readFile(file("typed-comma.txt")), " 2 \r\n0\t0\t0\r\n33.3\t120\t85\r\n66.6\t-3\t4\r\n");
}

TEST_F(SequenceFile, StepThatIsNotANumberWritesNothing)
{
    const fs::path previous = writeFile("s.txt", "previous track");
    PointTrack track;
    track.resize(3);
    std::string message;
    EXPECT_EQ(errorOf([&] { saveSequence(previous, track, "quarante", dotFormat); }, &message),
              SequenceErrorKind::StepNotNumber);
    EXPECT_NE(message.find("« Pas (ms) » doit être un nombre"), std::string::npos) << message;
    EXPECT_EQ(readFile(previous), "previous track");
    EXPECT_EQ(errorOf([&] { saveSequence(file("new.txt"), track, "", dotFormat); }), SequenceErrorKind::StepNotNumber);
    EXPECT_FALSE(fs::exists(file("new.txt")));
}

TEST_F(SequenceFile, SaveThenLoadRestoresEveryPoint)
{
    PointTrack track;
    track.resize(250);
    for (std::int32_t i = 0; i <= 250; i += 7)
        track.set(i, {i * 3 - 100, 1000 - i});
    track.set(250, {std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()});
    saveSequence(file("s.txt"), track, "40", dotFormat);

    PointTrack fresh;
    const SequenceLoad load = loadSequence(file("s.txt"), fresh);
    EXPECT_EQ(load.upperBound, 250);
    EXPECT_EQ(load.framesRead, 251);
    EXPECT_FALSE(load.stoppedEarly);
    ASSERT_EQ(fresh.upperBound(), 250);
    for (std::int32_t i = 0; i <= 250; ++i)
        ASSERT_EQ(fresh.at(i), track.at(i)) << "frame " << i;
}

TEST_F(SequenceFile, ShorterFileThanAnnouncedLoadsWhatIsThere)
{
    const fs::path path = writeFile("s.txt", " 5 \r\n0\t1\t2\r\n40\t3\t4\r\n");
    PointTrack track = trackFilledWith(5, {9, 9});
    const SequenceLoad load = loadSequence(path, track);
    EXPECT_EQ(load.upperBound, 5);
    EXPECT_EQ(load.framesRead, 2);
    EXPECT_EQ(track.at(0), (TrackPoint{1, 2}));
    EXPECT_EQ(track.at(1), (TrackPoint{3, 4}));
    EXPECT_EQ(track.at(2), (TrackPoint{9, 9}));
    EXPECT_EQ(track.at(5), (TrackPoint{9, 9}));

    PointTrack grown;
    loadSequence(path, grown);
    EXPECT_EQ(grown.upperBound(), 5);
    EXPECT_EQ(grown.at(4), TrackPoint{});
}

TEST_F(SequenceFile, FirstLineOnlyEverRaisesTheUpperBound)
{
    std::string ten = " 10 \r\n";
    for (int i = 0; i <= 10; ++i)
        ten += std::to_string(i * 40) + "\t" + std::to_string(i) + "\t" + std::to_string(i + 1) + "\r\n";
    PointTrack track = trackFilledWith(250, {7, 7});
    loadSequence(writeFile("ten.txt", ten), track);
    EXPECT_EQ(track.upperBound(), 250);
    EXPECT_EQ(track.at(0), (TrackPoint{0, 1}));
    EXPECT_EQ(track.at(10), (TrackPoint{10, 11}));
    EXPECT_EQ(track.at(11), (TrackPoint{7, 7}));
    EXPECT_EQ(track.at(250), (TrackPoint{7, 7}));

    PointTrack other = trackFilledWith(250, {7, 7});
    loadSequence(writeFile("500.txt", " 500 \r\n0\t1\t1\r\n40\t2\t2\r\n"), other);
    EXPECT_EQ(other.upperBound(), 500);
    EXPECT_EQ(other.at(1), (TrackPoint{2, 2}));
    EXPECT_EQ(other.at(250), (TrackPoint{7, 7}));
    EXPECT_EQ(other.at(251), TrackPoint{});
    EXPECT_EQ(other.at(500), TrackPoint{});
}

TEST_F(SequenceFile, ReadsFreeFormatLines)
{
    const std::pair<const char *, const char *> files[] = {
        {"lf", " 2 \n0\t1\t2\n40\t3\t4\n80\t5\t6"},
        {"cr", " 2 \r0\t1\t2\r40\t3\t4\r80\t5\t6\r"},
        {"blanks", "\xEF\xBB\xBF  2\r\n  0   1 \t 2  \r\n40 3 4 extra\r\n\t80\t\t5\t6\r\n"},
        {"comma", " 2 \r\n0,0\t1\t2\r\n40,5\t3\t4\r\n81,25\t5\t6\r\n"},
    };
    for (const auto &[name, bytes] : files) {
        PointTrack track;
        const SequenceLoad load = loadSequence(writeFile(name, bytes), track);
        EXPECT_EQ(load.framesRead, 3) << name;
        EXPECT_EQ(track.upperBound(), 2) << name;
        EXPECT_EQ(track.at(0), (TrackPoint{1, 2})) << name;
        EXPECT_EQ(track.at(1), (TrackPoint{3, 4})) << name;
        EXPECT_EQ(track.at(2), (TrackPoint{5, 6})) << name;
    }
}

TEST_F(SequenceFile, BadFieldsLeaveTheirEntryAlone)
{
    PointTrack track = trackFilledWith(3, {9, 9});
    loadSequence(writeFile("s.txt", " 3 \r\n0\tx\t2\r\n40\t3\r\n\r\n80\t99999999999\t6\r\n"), track);
    EXPECT_EQ(track.at(0), (TrackPoint{9, 2}));
    EXPECT_EQ(track.at(1), (TrackPoint{3, 9}));
    EXPECT_EQ(track.at(2), (TrackPoint{9, 9})) << "an empty line is still a frame";
    EXPECT_EQ(track.at(3), (TrackPoint{9, 6}));
}

TEST_F(SequenceFile, UnreadableFirstNumberMeansUpperBoundZero)
{
    const fs::path path = writeFile("s.txt", "Pas un nombre\r\n0\t4\t5\r\n40\t6\t7\r\n");
    PointTrack empty;
    EXPECT_EQ(loadSequence(path, empty).upperBound, 0);
    EXPECT_EQ(empty.upperBound(), 0);
    EXPECT_EQ(empty.at(0), (TrackPoint{4, 5}));

    PointTrack track = trackFilledWith(3, {9, 9});
    loadSequence(path, track);
    EXPECT_EQ(track.upperBound(), 3);
    EXPECT_EQ(track.at(0), (TrackPoint{4, 5}));
    EXPECT_EQ(track.at(1), (TrackPoint{9, 9}));

    PointTrack fromEmptyFile;
    loadSequence(writeFile("empty.txt", ""), fromEmptyFile);
    EXPECT_EQ(fromEmptyFile.upperBound(), 0);
}

TEST_F(SequenceFile, AbsurdOrNegativeFrameCountsChangeNothing)
{
    for (const char *first : {" 10000001 ", " 99999999999 ", "1e12"}) {
        PointTrack track = trackFilledWith(5, {9, 9});
        PointTrack empty;
        std::string message;
        const fs::path path = writeFile("s.txt", std::string(first) + "\r\n0\t1\t1\r\n");
        EXPECT_EQ(errorOf([&] { loadSequence(path, track); }, &message), SequenceErrorKind::TooManyFrames);
        EXPECT_EQ(errorOf([&] { loadSequence(path, empty); }), SequenceErrorKind::TooManyFrames);
        EXPECT_NE(message.find("10 000 000 images"), std::string::npos) << message;
        EXPECT_EQ(track.upperBound(), 5);
        EXPECT_EQ(track.at(0), (TrackPoint{9, 9}));
        EXPECT_FALSE(empty.hasStorage());
    }
    PointTrack track = trackFilledWith(5, {9, 9});
    loadSequence(writeFile("neg.txt", " -3 \r\n0\t1\t1\r\n"), track);
    EXPECT_EQ(track.upperBound(), 5);
    EXPECT_EQ(track.at(0), (TrackPoint{9, 9}));
}

TEST_F(SequenceFile, FilesThatCannotBeOpenedChangeNothing)
{
    for (const fs::path &path : {file("missing.txt"), m_dir}) {
        PointTrack track;
        std::string message;
        EXPECT_EQ(errorOf([&] { loadSequence(path, track); }, &message), SequenceErrorKind::CannotOpen);
        EXPECT_NE(message.find(path.string()), std::string::npos) << message;
        EXPECT_FALSE(track.hasStorage());
    }
    ASSERT_EQ(::mkfifo(file("pipe").c_str(), 0600), 0);
    PointTrack track;
    EXPECT_EQ(errorOf([&] { loadSequence(file("pipe"), track); }), SequenceErrorKind::CannotOpen)
        << "a pipe nobody writes must not hang the program";
}

TEST_F(SequenceFile, FailedSaveNamesTheFileAndKeepsThePreviousOne)
{
    const PointTrack track = trackFilledWith(3, {1, 2});
    std::string message;
    EXPECT_EQ(errorOf([&] { saveSequence("/dev/full", track, "40", dotFormat); }, &message),
              SequenceErrorKind::WriteFailed);
    EXPECT_NE(message.find("« /dev/full »"), std::string::npos) << message;
    EXPECT_NE(message.find("disque est plein"), std::string::npos) << message;

    const fs::path notAFolder = writeFile("plain.txt", "previous");
    const fs::path inside = notAFolder / "Sequence.txt";
    EXPECT_EQ(errorOf([&] { saveSequence(inside, track, "40", dotFormat); }, &message), SequenceErrorKind::WriteFailed);
    EXPECT_NE(message.find(inside.string()), std::string::npos) << message;
    EXPECT_EQ(readFile(notAFolder), "previous");

    EXPECT_EQ(errorOf([&] { saveSequence(m_dir, track, "40", dotFormat); }), SequenceErrorKind::WriteFailed);
}

TEST_F(SequenceFile, SaveCutShortByTheDiskKeepsThePreviousFile)
{
    const fs::path path = writeFile("Sequence.txt", "previous track\r\n");
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // A file size limit makes the write fail part-way, as a full disk would.
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{1000, 1000};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        try {
            saveSequence(path, trackFilledWith(1000, {123, 456}), "40", dotFormat);
        } catch (const SequenceError &error) {
            const std::string message = error.what();
            const bool named = message.find(path.string()) != std::string::npos
                               && message.find("n'a pas été modifié") != std::string::npos;
            ::_exit(error.kind() == SequenceErrorKind::WriteFailed && named ? 0 : 2);
        }
        ::_exit(1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: the save claimed success, 2: wrong error or message";
    EXPECT_EQ(readFile(path), "previous track\r\n");
    EXPECT_EQ(folderEntries(), std::vector<std::string>{"Sequence.txt"}) << "temporary file left behind";
}

TEST_F(SequenceFile, ReplacingKeepsTheFileModeAndSymbolicLinks)
{
    const fs::path real = writeFile("real.txt", "old");
    ASSERT_EQ(::chmod(real.c_str(), 0640), 0);
    fs::create_symlink(real, file("link.txt"));
    saveSequence(file("link.txt"), trackFilledWith(1, {}), "40", dotFormat);
    EXPECT_TRUE(fs::is_symlink(file("link.txt")));
    EXPECT_EQ(readFile(real), " 1 \r\n0\t0\t0\r\n40\t0\t0\r\n");
    struct stat info {};
    ASSERT_EQ(::stat(real.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
}

TEST_F(SequenceFile, HostileFilesEndPromptly)
{
    PointTrack longLine;
    const SequenceLoad load = loadSequence(writeFile("long.txt", " 2 \r\n" + std::string(10'000'000, '7')), longLine);
    EXPECT_TRUE(load.stoppedEarly);
    EXPECT_EQ(load.framesRead, 0);
    EXPECT_EQ(longLine.upperBound(), 2);

    std::mt19937 random(5);
    std::string junk(2'000'000, '\0');
    for (char &c : junk)
        c = static_cast<char>(random());
    junk[0] = 'x';
    PointTrack fromJunk;
    const SequenceLoad junkLoad = loadSequence(writeFile("junk.bin", junk), fromJunk);
    EXPECT_EQ(junkLoad.upperBound, 0);
    EXPECT_EQ(junkLoad.framesRead, 1) << "only the one line of entry 0 is read";
    EXPECT_EQ(fromJunk.upperBound(), 0);

    PointTrack fromZeros;
    EXPECT_TRUE(loadSequence("/dev/zero", fromZeros).stoppedEarly) << "an endless file must stop";
    EXPECT_EQ(fromZeros.upperBound(), 0);
}
