#include "inspect_probe.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

using namespace zorvane;

namespace {

// Header bytes of a RIFF AVI with the main header size and format code set.
std::string aviBytes(std::int32_t width, std::int32_t height, const std::string &formatCode)
{
    std::string bytes(300, '\0');
    bytes.replace(0, 4, "RIFF");
    bytes.replace(8, 4, "AVI ");
    const auto putInt32 = [&bytes](std::size_t offset, std::int32_t value) {
        for (int i = 0; i < 4; ++i)
            bytes[offset + static_cast<std::size_t>(i)] = static_cast<char>((static_cast<std::uint32_t>(value) >> (8 * i)) & 0xff);
    };
    putInt32(64, width);
    putInt32(68, height);
    bytes.replace(188, 4, formatCode);
    return bytes;
}

struct CommandResult {
    int status = -1;
    std::string out;
    std::string err;
};

class InspectProbe : public ::testing::Test {
protected:
    InspectProbe() { std::filesystem::create_directories(m_dir); }
    ~InspectProbe() override { std::filesystem::remove_all(m_dir); }

    std::string write(const std::string &name, const std::string &bytes) const
    {
        const std::filesystem::path file = m_dir / name;
        std::ofstream(file, std::ios::binary) << bytes;
        return file.string();
    }

    CommandResult run(const std::vector<std::string> &args)
    {
        std::ostringstream out;
        std::ostringstream err;
        CommandResult result;
        result.status = runProbeCommand(args, out, err, [this](const std::string &path) {
            m_asked.push_back(path);
            return m_reply;
        });
        result.out = out.str();
        result.err = err.str();
        return result;
    }

    std::filesystem::path m_dir = std::filesystem::temp_directory_path() / ("zorvane-inspect-" + std::to_string(getpid()));
    std::string m_reply;
    std::vector<std::string> m_asked;
};

} // namespace

TEST_F(InspectProbe, PrintsOneTabSeparatedLinePerFile)
{
    const std::string avi = write("clip.avi", aviBytes(320, 240, "cvid"));
    const std::string mp3 = write("track.mp3", "ID3");
    const CommandResult result = run({avi, mp3});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, avi + "\tavi\t\"cvid \"\t320\t240\t0\t0\n" + mp3 + "\tmp3\t\"AUDIO\"\t1\t1\t0\t0\n");
    EXPECT_EQ(result.err, "");
}

TEST_F(InspectProbe, FailedFilesPrintAnErrorLineAndExitOne)
{
    const std::string missing = (m_dir / "missing.avi").string();
    const std::string avi = write("clip.avi", aviBytes(640, 480, "MJPG"));
    const CommandResult result = run({missing, avi});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, missing + "\terror\tcannot open file: No such file or directory\n" + avi
                              + "\tavi\t\"MJPG \"\t640\t480\t0\t0\n");

    m_reply = "12";
    const std::string mov = write("clip.mov", "moov");
    const CommandResult badReply = run({mov});
    EXPECT_EQ(badReply.status, 1);
    EXPECT_EQ(badReply.out.rfind(mov + "\terror\t", 0), 0u) << badReply.out;
    EXPECT_EQ(badReply.out.find("QTMOV"), std::string::npos);
}

TEST_F(InspectProbe, FallbackIsAskedPerFileUnlessDisabled)
{
    const std::string mov = write("clip.mov", "moov");
    const std::string avi = write("clip.avi", aviBytes(320, 240, "cvid"));
    m_reply = "0 0 480 270";
    CommandResult result = run({mov, avi});
    EXPECT_EQ(result.out, mov + "\tmov\t\"QTMOV\"\t480\t270\t0\t0\n" + avi + "\tavi\t\"cvid \"\t320\t240\t0\t0\n");
    EXPECT_EQ(m_asked, std::vector<std::string>{mov});

    m_asked.clear();
    result = run({"--no-fallback", mov});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, mov + "\tmov\t\"QTMOV\"\t0\t0\t0\t0\n");
    EXPECT_TRUE(m_asked.empty());
}

TEST_F(InspectProbe, CodecBytesAreEscaped)
{
    const std::string avi = write("odd.avi", aviBytes(320, 240, "\"\\\t\xe9"));
    const CommandResult result = run({avi});
    EXPECT_EQ(result.out, avi + "\tavi\t\"\\\"\\\\\\t\\xe9 \"\t320\t240\t0\t0\n");

    EXPECT_EQ(escapeCodec("WMV3X"), "WMV3X");
    EXPECT_EQ(escapeCodec("a\nb\r"), "a\\nb\\r");
    EXPECT_EQ(escapeCodec(std::string("\x01\x7f\x80\xff", 4)), "\\x01\\x7f\\x80\\xff");
    EXPECT_EQ(escapeCodec("?    "), "?    ");
}

TEST_F(InspectProbe, PathsStayOnTheirLine)
{
    const std::string broken = write("two\nlines\t.mov", "moov");
    const std::string accented = write("vidéo.mov", "moov");
    const CommandResult result = run({"--no-fallback", broken, accented});
    const std::string brokenShown = (m_dir / "two\\nlines\\t.mov").string();
    EXPECT_EQ(result.out, brokenShown + "\tmov\t\"QTMOV\"\t0\t0\t0\t0\n" + accented + "\tmov\t\"QTMOV\"\t0\t0\t0\t0\n");
    EXPECT_EQ(escapeField("C:\\video\x01"), "C:\\\\video\\x01");
}

TEST_F(InspectProbe, TagFromTheExtensionIsEscapedToo)
{
    const std::string path = write("clip.a\tb", "plain");
    const CommandResult result = run({"--no-fallback", path});
    EXPECT_EQ(result.out, (m_dir / "clip.a\\tb").string() + "\ta\\tb\t\"?    \"\t1\t1\t0\t0\n");
}

TEST_F(InspectProbe, UsageErrors)
{
    CommandResult result = run({});
    EXPECT_EQ(result.status, 2);
    EXPECT_NE(result.err.find("usage: zorvane-inspect probe"), std::string::npos);
    EXPECT_EQ(result.out, "");

    result = run({"--no-fallback"});
    EXPECT_EQ(result.status, 2);

    result = run({"--verbose", write("a.mov", "moov")});
    EXPECT_EQ(result.status, 2);
    EXPECT_NE(result.err.find("--verbose"), std::string::npos);
    EXPECT_EQ(result.out, "");

    // After "--" a name starting with a dash is a file.
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(m_dir);
    write("-dash.mov", "moov");
    result = run({"--no-fallback", "--", "-dash.mov"});
    std::filesystem::current_path(previous);
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, "-dash.mov\tmov\t\"QTMOV\"\t0\t0\t0\t0\n");
}
