#include "probe/mediatype.h"
#include "probe/probeerror.h"
#include "probetesting.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace zorvane;
using zorvane::testing::Bytes;
using zorvane::testing::ScratchDir;

namespace {

std::string riff(std::string_view form) { return Bytes().put(0, "RIFF").put(8, form).size(64).data; }
std::string starting(std::string_view bytes) { return Bytes().put(0, bytes).size(32).data; }

} // namespace

TEST(MediaType, SignatureFirstThenTheExtensionAsWritten)
{
    ScratchDir dir("mediatype");
    const std::string sequenceHeader = starting(std::string_view("\0\0\1\xB3\x16\x01\x20", 7));
    struct Case {
        const char *name;
        std::string bytes;
        const char *tag;
    } const cases[] = {
        {"clip.avi", riff("AVI "), "avi"},
        {"clip.AVI", riff("AVI "), "avi"},
        {"clip.bin", riff("AVI "), "avi"},
        {"a.bin", riff("WAVE"), "wav"},
        {"b.wav", riff("CDXA"), "dat"},
        {"c.avi", riff("AVIX"), "dat"},
        {"d.avi", riff("avi "), "dat"},
        {"e.mp3", "RIFF", "dat"},
        {"f.txt", starting(".RMF"), "ram"},
        {"g.avi", starting("MThd"), "mid"},
        {"h.asf", starting("\x30\x26\xB2\x75"), "wmv"},
        {"i.mov", starting(std::string_view("\0\0\1\xBA", 4)), "mpg"},
        // Near misses fall back to the name.
        {"j.mov", starting("\x30\x26\xB2\x76"), "mov"},
        {"k.mp3", Bytes().put(0, "RIFX").put(8, "AVI ").data, "mp3"},
        {"movie.mpg", sequenceHeader, "dat"},
        {"movie.mpe", sequenceHeader, "dat"},
        {"movie.mpeg", sequenceHeader, "dat"},
        {"movie.asf", sequenceHeader, "dat"},
        {"movie.wmv", sequenceHeader, "dat"},
        {"movie.ram", sequenceHeader, "dat"},
        {"movie.avi", "plain", "dat"},
        {"movie.MPG", sequenceHeader, "MPG"},
        {"movie.m1v", sequenceHeader, "m1v"},
        {"song.wav", "not riff", "wav"},
        {"clip.Avi", "plain", "Avi"},
        {"a.tar.gz", "", "gz"},
        {"empty.avi", "", "dat"},
        {"trailing.", "plain", ""},
        {"three.mid", std::string("\0\0\1", 3), "mid"},
        {"ciné.MOV", "plain", "MOV"},
        {"été.avi", riff("AVI "), "avi"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(DetectMediaType(dir.write(c.name, c.bytes)), c.tag) << c.name;

    // A dot in a folder name counts when the file name has none.
    std::filesystem::create_directories(dir.path() / "data.v1");
    EXPECT_EQ(DetectMediaType(dir.write("data.v1/video", "plain")), "v1/video");
    EXPECT_EQ(pathExtension("C:\\data.v1\\video"), "v1\\video");
    EXPECT_EQ(pathExtension("C:\\video"), "C:\\video");
}

TEST(MediaType, UnopenablePathsRaiseCannotOpen)
{
    ScratchDir dir("mediatype-errors");
    const std::string fifo = (dir.path() / "pipe.avi").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string real = dir.write("real", riff("AVI "));
    // A FIFO must not block the caller; a NUL must not cut the path short.
    for (const std::string &path : {(dir.path() / "missing.avi").string(), std::string(), dir.path().string(), fifo,
                                    real + std::string("\0.avi", 5)}) {
        try {
            DetectMediaType(path);
            ADD_FAILURE() << path << " was classified";
        } catch (const ProbeError &error) {
            EXPECT_EQ(error.kind(), ProbeErrorKind::CannotOpen) << path;
        }
    }
}
