#include "support/tempfolder.h"
#include "track/companionfile.h"

#include <gtest/gtest.h>

using namespace zorvane;

namespace {

using CompanionFile = zorvane::testing::TempFolderTest;

CompanionErrorKind loadError(const std::filesystem::path &path, std::int64_t *line = nullptr)
{
    try {
        loadCompanion(path);
    } catch (const CompanionError &error) {
        if (line)
            *line = error.line();
        return error.kind();
    }
    ADD_FAILURE() << "accepted " << path;
    return CompanionErrorKind::WriteFailed;
}

} // namespace

TEST_F(CompanionFile, WritesEveryPointWithEmptyFieldsForMissingOnesAndReadsThemBack)
{
    PointTrack a;
    a.resize(2);
    a.set(0, {10, 20});
    a.set(2, {-3, 40});
    PointSet others;
    others.add(2);
    others.add(2);
    others.track(1).set(1, {5, 6});
    others.track(2).set(0, {7, 8});
    others.track(2).set(2, {2147483647, -2147483647 - 1});

    const auto path = file("Sequence.points.tsv");
    EXPECT_EQ(companionPath(file("Sequence.txt")), path);
    saveCompanion(path, a, others, 40, NumberFormat{","});
    EXPECT_EQ(readFile(path), "t (ms)\tXA\tYA\tXB\tYB\tXC\tYC\r\n"
                              "0\t10\t20\t\t\t7\t8\r\n"
                              "40\t\t\t5\t6\t\t\r\n"
                              "80\t-3\t40\t\t\t2147483647\t-2147483648\r\n");

    const CompanionPoints loaded = loadCompanion(path);
    ASSERT_EQ(loaded.others.count(), 2);
    for (std::int32_t frame = 0; frame <= 2; ++frame) {
        EXPECT_EQ(loaded.a.at(frame), a.at(frame)) << frame;
        EXPECT_EQ(loaded.others.track(1).at(frame), others.track(1).at(frame)) << frame;
        EXPECT_EQ(loaded.others.track(2).at(frame), others.track(2).at(frame)) << frame;
    }
}

TEST_F(CompanionFile, RefusesEveryDamageWithItsKindAndLine)
{
    const std::string header = "t (ms)\tXA\tYA\tXB\tYB\n";
    struct Case {
        std::string bytes;
        CompanionErrorKind kind;
        std::int64_t line;
    };
    const std::vector<Case> cases = {
        {"", CompanionErrorKind::BadHeader, 1},
        {"t (ms)\tXA\tYA\tXC\tYC\n0\t1\t2\t3\t4\n", CompanionErrorKind::BadHeader, 1},
        {"t (ms)\tXA\tYA\tXB\n0\t1\t2\t3\n", CompanionErrorKind::BadHeader, 1},
        {"t (ms)\tXA\tYA\tXB\tYB\tXC\tYC\tXD\tYD\tXE\tYE\tXF\tYF\tXG\tYG\tXH\tYH\tXI\tYI\n",
         CompanionErrorKind::BadHeader, 1},
        {header, CompanionErrorKind::BadLine, 2},
        {header + "0\t1\t2\t3\t4\n40\t1\t2\t3\n", CompanionErrorKind::BadLine, 3},
        {header + "0\t1\t2\t3\t4\n\n80\t1\t2\t3\t4\n", CompanionErrorKind::BadLine, 3},
        {header + "0\t1\t\t3\t4\n", CompanionErrorKind::BadLine, 2},
        {header + "0\t1.5\t2\t3\t4\n", CompanionErrorKind::BadLine, 2},
        {header + "0\t1\t2\t3\t99999999999\n", CompanionErrorKind::BadLine, 2},
        {header + "x\t1\t2\t3\t4\n", CompanionErrorKind::BadLine, 2},
        {header + "0\t1\t2\t3\t4\t\n", CompanionErrorKind::BadLine, 2},
        {header + std::string(5000, '1'), CompanionErrorKind::BadLine, 2},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        std::int64_t line = 0;
        EXPECT_EQ(loadError(writeFile("bad.points.tsv", cases[i].bytes), &line), cases[i].kind) << "case " << i;
        EXPECT_EQ(line, cases[i].line) << "case " << i;
    }
    EXPECT_EQ(loadError(file("missing.points.tsv")), CompanionErrorKind::CannotOpen);
    EXPECT_EQ(loadError(m_dir), CompanionErrorKind::CannotOpen);

    const CompanionPoints lastWithoutEnd =
        loadCompanion(writeFile("ok.points.tsv", header + "0,5\t1\t2\t\t\r\n40\t3\t4\t5\t6"));
    ASSERT_EQ(lastWithoutEnd.a.upperBound(), 1);
    EXPECT_EQ(lastWithoutEnd.others.track(1).at(1), (TrackPoint{5, 6}));
    EXPECT_TRUE(lastWithoutEnd.others.track(1).at(0).isEmpty());
}
