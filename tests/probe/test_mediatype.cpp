#include "bytefile.h"
#include "mediatype.h"
#include "probeerror.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace zorvane;
using zorvane::testing::ByteImage;
using zorvane::testing::ScratchDir;

namespace {

std::string riff(std::string_view formType)
{
    return ByteImage().put(0, "RIFF").putInt32(4, 1000).put(8, formType).padTo(64).bytes();
}

const std::string sequenceHeaderOnly = ByteImage().put(0, std::string_view("\x00\x00\x01\xB3\x16\x01\x20", 7)).padTo(64).bytes();

class MediaType : public ::testing::Test {
protected:
    ScratchDir m_dir{"mediatype"};
};

} // namespace

TEST_F(MediaType, SignatureWinsOverTheExtension)
{
    EXPECT_EQ(DetectMediaType(m_dir.write("clip.avi", riff("AVI "))), "avi");
    EXPECT_EQ(DetectMediaType(m_dir.write("clip.AVI", riff("AVI "))), "avi");
    EXPECT_EQ(DetectMediaType(m_dir.write("clip.bin", riff("AVI "))), "avi");
    EXPECT_EQ(DetectMediaType(m_dir.write("any.txt", ByteImage().put(0, ".RMF").padTo(20).bytes())), "ram");
    EXPECT_EQ(DetectMediaType(m_dir.write("song.avi", ByteImage().put(0, "MThd").padTo(20).bytes())), "mid");
    EXPECT_EQ(DetectMediaType(m_dir.write("movie.asf", ByteImage().put(0, "\x30\x26\xB2\x75").padTo(30).bytes())), "wmv");
    EXPECT_EQ(DetectMediaType(m_dir.write("film.wmv", ByteImage().put(0, "\x30\x26\xB2\x75").padTo(30).bytes())), "wmv");
    EXPECT_EQ(DetectMediaType(m_dir.write("x.mov", ByteImage().put(0, std::string_view("\x00\x00\x01\xBA", 4)).padTo(30).bytes())), "mpg");
}

TEST_F(MediaType, RiffFormTypeDecides)
{
    EXPECT_EQ(DetectMediaType(m_dir.write("a.bin", riff("WAVE"))), "wav");
    EXPECT_EQ(DetectMediaType(m_dir.write("b.wav", riff("CDXA"))), "dat");
    EXPECT_EQ(DetectMediaType(m_dir.write("c.avi", riff("RMID"))), "dat");
    // The trailing space belongs to the form type.
    EXPECT_EQ(DetectMediaType(m_dir.write("d.avi", riff("AVIX"))), "dat");
    EXPECT_EQ(DetectMediaType(m_dir.write("e.avi", riff("avi "))), "dat");
    // RIFF cut short after its signature: the form type reads as zeros.
    EXPECT_EQ(DetectMediaType(m_dir.write("short.avi", "RIFF")), "dat");
}

TEST_F(MediaType, SignatureNeedsAllFourBytes)
{
    // Only the first four GUID bytes count; a near miss falls back to the name.
    EXPECT_EQ(DetectMediaType(m_dir.write("n.mov", ByteImage().put(0, "\x30\x26\xB2\x76").padTo(30).bytes())), "mov");
    EXPECT_EQ(DetectMediaType(m_dir.write("n.mp3", ByteImage().put(0, "RIFX").put(8, "AVI ").bytes())), "mp3");
    EXPECT_EQ(DetectMediaType(m_dir.write("n.m1v", ByteImage().put(0, std::string_view("\x00\x00\x01\xBB", 4)).bytes())), "m1v");
}

TEST_F(MediaType, VideoExtensionsWithoutSignatureBecomeDat)
{
    for (const char *extension : {"ram", "avi", "mpg", "mpe", "mpeg", "asf", "wmv"})
        EXPECT_EQ(DetectMediaType(m_dir.write(std::string("movie.") + extension, sequenceHeaderOnly)), "dat") << extension;
}

TEST_F(MediaType, OtherExtensionsPassThroughWithTheirCase)
{
    EXPECT_EQ(DetectMediaType(m_dir.write("movie.MPG", sequenceHeaderOnly)), "MPG");
    EXPECT_EQ(DetectMediaType(m_dir.write("movie.m1v", sequenceHeaderOnly)), "m1v");
    EXPECT_EQ(DetectMediaType(m_dir.write("song.wav", "not a riff file")), "wav");
    EXPECT_EQ(DetectMediaType(m_dir.write("clip.mov", std::string("\x00\x00\x00\x14" "ftypqt  ", 12))), "mov");
    EXPECT_EQ(DetectMediaType(m_dir.write("clip.Avi", "plain")), "Avi");
    EXPECT_EQ(DetectMediaType(m_dir.write("archive.tar.gz", "plain")), "gz");
}

TEST_F(MediaType, ExtensionIsSoughtInTheWholePath)
{
    std::filesystem::create_directories(m_dir.path() / "data.v1");
    const std::string inDottedFolder = m_dir.write("data.v1/video", "plain");
    EXPECT_EQ(DetectMediaType(inDottedFolder), "v1/video");

    EXPECT_EQ(DetectMediaType(m_dir.write("trailing.", "plain")), "");

    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(m_dir.path());
    m_dir.write("video", "plain");
    const std::string tag = DetectMediaType("video");
    std::filesystem::current_path(previous);
    EXPECT_EQ(tag, "video");
}

TEST_F(MediaType, ShortAndEmptyFilesFallBackToTheName)
{
    EXPECT_EQ(DetectMediaType(m_dir.write("empty.avi", "")), "dat");
    EXPECT_EQ(DetectMediaType(m_dir.write("empty.mov", "")), "mov");
    EXPECT_EQ(DetectMediaType(m_dir.write("three.mp3", std::string("RIF"))), "mp3");
    EXPECT_EQ(DetectMediaType(m_dir.write("nul.mid", std::string("\x00\x00\x01", 3))), "mid");
}

TEST_F(MediaType, NonAsciiPathsOpen)
{
    EXPECT_EQ(DetectMediaType(m_dir.write("été vidéo.avi", riff("AVI "))), "avi");
    EXPECT_EQ(DetectMediaType(m_dir.write("ciné.MOV", "plain")), "MOV");
}

TEST_F(MediaType, UnopenablePathsRaiseCannotOpen)
{
    const auto kindOf = [](const std::string &path) {
        try {
            DetectMediaType(path);
        } catch (const ProbeError &error) {
            EXPECT_FALSE(std::string(error.what()).empty());
            return error.kind();
        }
        ADD_FAILURE() << path << " was classified";
        return ProbeErrorKind::Overflow;
    };
    EXPECT_EQ(kindOf((m_dir.path() / "missing.avi").string()), ProbeErrorKind::CannotOpen);
    EXPECT_EQ(kindOf(""), ProbeErrorKind::CannotOpen);
    EXPECT_EQ(kindOf(m_dir.path().string()), ProbeErrorKind::CannotOpen);
    // A NUL would otherwise cut the path short and open another file.
    const std::string real = m_dir.write("real", riff("AVI "));
    EXPECT_EQ(kindOf(real + std::string("\0.avi", 5)), ProbeErrorKind::CannotOpen);
    // A FIFO must be refused rather than block the caller.
    const std::string fifo = (m_dir.path() / "pipe.avi").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(kindOf(fifo), ProbeErrorKind::CannotOpen);
}

TEST(PathExtension, TakesTextAfterTheLastDot)
{
    EXPECT_EQ(pathExtension("C:\\data.v1\\video"), "v1\\video");
    EXPECT_EQ(pathExtension("C:\\video"), "C:\\video");
    EXPECT_EQ(pathExtension("clip."), "");
    EXPECT_EQ(pathExtension("a.b.c"), "c");
    EXPECT_EQ(pathExtension(""), "");
}
