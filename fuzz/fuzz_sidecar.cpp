// Reads arbitrary bytes as a calibration file. Anything accepted must be a
// valid calibration that saves and reads back the same and belongs to its
// own video; anything refused must say why in a damaged-file error.
#include "measure/measureerror.h"
#include "measure/sidecar.h"
#include "scratchfile.h"

#include <cstdio>
#include <cstdlib>
#include <string_view>

using namespace zorvane;

namespace {

[[noreturn]] void fail(const char *what)
{
    std::fprintf(stderr, "calibration file invariant broken: %s\n", what);
    std::abort();
}

void checkRoundTrip(const MeasureSettings &settings)
{
    if (!(settings.calibration.metresPerPixel() > 0)
        || settings.calibration.scaleStart() == settings.calibration.scaleEnd())
        fail("an accepted calibration has no scale");
    const std::filesystem::path saved = fuzz::ScratchFolder::instance().path() / "saved.etalonnage";
    saveSidecar(saved, settings);
    const std::optional<MeasureSettings> reread = readSidecar(saved);
    if (!reread || !(*reread == settings))
        fail("a saved calibration read back different");
    checkSameVideo(settings, settings.video, saved);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::filesystem::path file = fuzz::ScratchFolder::instance().write("input.etalonnage", data, size);
    std::optional<MeasureSettings> settings;
    try {
        settings = readSidecar(file);
    } catch (const MeasureError &error) {
        if (error.kind() != MeasureErrorKind::SidecarDamaged && error.kind() != MeasureErrorKind::SidecarNewer)
            fail("a regular file was refused for another reason than its content");
        if (std::string_view(error.what()).find(file.string()) == std::string_view::npos)
            fail("the message does not name the file");
        return 0;
    }
    if (!settings)
        fail("an existing file read as missing");
    checkRoundTrip(*settings);
    return 0;
}
