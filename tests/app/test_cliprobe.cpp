#include "app/cli_probe.h"
#include "support/media.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

using namespace zorvane;
using namespace zorvane::inspect;

namespace {

// A RIFF AVI header with the main header's size and a format code.
std::string aviBytes(std::int32_t width, std::int32_t height, const std::string &code)
{
    std::string bytes(200, '\0');
    bytes.replace(0, 12, "RIFF\0\0\0\0AVI ", 12);
    for (int i = 0; i < 4; ++i) {
        bytes[64 + i] = static_cast<char>((width >> (8 * i)) & 0xff);
        bytes[68 + i] = static_cast<char>((height >> (8 * i)) & 0xff);
    }
    return bytes.replace(188, 4, code);
}

class InspectProbe : public ::testing::Test {
protected:
    ~InspectProbe() override { std::filesystem::remove_all(m_dir); }

    std::string write(const std::string &name, const std::string &bytes) const
    {
        std::filesystem::create_directories(m_dir);
        std::ofstream(m_dir / name, std::ios::binary) << bytes;
        return (m_dir / name).string();
    }
    std::string shown(const std::string &name) const { return (m_dir / name).string(); }

    int run(const std::vector<std::string> &args)
    {
        std::ostringstream out, err;
        const int status = runProbeCommand(args, out, err, [this](const std::string &path) {
            m_asked.push_back(path);
            return m_reply;
        });
        m_out = out.str();
        m_err = err.str();
        return status;
    }

    std::filesystem::path m_dir =
        std::filesystem::temp_directory_path() / ("zorvane-inspect-" + std::to_string(getpid()));
    std::optional<DisplayedSize> m_reply;
    std::string m_out, m_err;
    std::vector<std::string> m_asked;
};

} // namespace

TEST_F(InspectProbe, OneLinePerFileAndExitOneWhenAnyFails)
{
    const std::string avi = write("clip.avi", aviBytes(320, 240, "cvid"));
    const std::string mp3 = write("track.mp3", "ID3");
    EXPECT_EQ(run({avi, mp3}), 0);
    EXPECT_EQ(m_out, avi + "\tavi\t\"cvid \"\t320\t240\t0\t0\n" + mp3 + "\tmp3\t\"AUDIO\"\t1\t1\t0\t0\n");
    EXPECT_EQ(m_err, "");

    const std::string mov = write("clip.mov", "moov");
    EXPECT_EQ(run({shown("missing.avi"), avi, mov}), 1);
    EXPECT_EQ(m_out, shown("missing.avi") + "\terror\tcannot open file: No such file or directory\n" + avi
                         + "\tavi\t\"cvid \"\t320\t240\t0\t0\n" + mov + "\tmov\t\"QTMOV\"\t0\t0\t0\t0\n");
}

TEST_F(InspectProbe, DisplayedSizeIsAskedPerFileUnlessDisabled)
{
    const std::string mov = write("clip.mov", "moov");
    const std::string avi = write("clip.avi", aviBytes(320, 240, "cvid"));
    m_reply = DisplayedSize{480, 270};
    EXPECT_EQ(run({mov, avi}), 0);
    EXPECT_EQ(m_out, mov + "\tmov\t\"QTMOV\"\t480\t270\t0\t0\n" + avi + "\tavi\t\"cvid \"\t320\t240\t0\t0\n");
    EXPECT_EQ(m_asked, std::vector<std::string>{mov});
    EXPECT_EQ(run({"--no-fallback", mov}), 0);
    EXPECT_EQ(m_out, mov + "\tmov\t\"QTMOV\"\t0\t0\t0\t0\n");
    EXPECT_EQ(m_asked.size(), 1u);
}

TEST_F(InspectProbe, CodecPathAndTagAreEscaped)
{
    const std::string avi = write("odd.avi", aviBytes(320, 240, "\"\\\t\xe9"));
    const std::string cut = write("two\nlines\t.a\tb", "plain");
    const std::string accented = write("vidéo.avi", aviBytes(2, 2, "\r\n\x01\x7f"));
    EXPECT_EQ(run({avi, cut, accented}), 0);
    EXPECT_EQ(m_out, avi + "\tavi\t\"\\\"\\\\\\t\\xe9 \"\t320\t240\t0\t0\n" + shown("two\\nlines\\t.a\\tb")
                         + "\ta\\tb\t\"?    \"\t1\t1\t0\t0\n" + accented
                         + "\tavi\t\"\\r\\n\\x01\\x7f \"\t2\t2\t0\t0\n");
    EXPECT_EQ(escapeField("C:\\video"), "C:\\\\video");
}

TEST_F(InspectProbe, UsageErrorsExitTwo)
{
    for (const std::vector<std::string> &args :
         {std::vector<std::string>{}, {"--no-fallback"}, {"--verbose", "a.mov"}}) {
        EXPECT_EQ(run(args), 2);
        EXPECT_NE(m_err.find("usage: zorvane-inspect probe"), std::string::npos);
        EXPECT_EQ(m_out, "");
    }
    // After "--" a name starting with a dash is a file.
    EXPECT_EQ(run({"--", "-missing.avi"}), 1);
    EXPECT_EQ(m_out.rfind("-missing.avi\terror\t", 0), 0u);
}

TEST(InspectProbeProgram, ReaderAnswersTheDisplayedSize)
{
    // An MP4 named .mov has no signature the probe knows: its size comes from the reader.
    const auto mov = zorvane::testing::generateMedia("probe-h264.mov",
                                                     {"-f", "lavfi", "-i", "testsrc=size=192x128:rate=25:duration=0.2",
                                                      "-c:v", "libx264", "-pix_fmt", "yuv420p", "-f", "mp4"});
    const std::string text = (mov.parent_path() / "probe-not-video.txt").string();
    std::ofstream(text) << "plain text";
    std::string out;
    EXPECT_EQ(zorvane::testing::runProgram({ZORVANE_INSPECT_PATH, "probe", mov.string(), text}, &out), 0);
    EXPECT_EQ(out, mov.string() + "\tmov\t\"QTMOV\"\t192\t128\t0\t0\n" + text + "\ttxt\t\"?    \"\t1\t1\t0\t0\n");
    out.clear();
    EXPECT_EQ(zorvane::testing::runProgram({ZORVANE_INSPECT_PATH, "probe", "--no-fallback", mov.string()}, &out), 0);
    EXPECT_EQ(out, mov.string() + "\tmov\t\"QTMOV\"\t0\t0\t0\t0\n");
}
