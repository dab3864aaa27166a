// Loads arbitrary bytes as a companion points file: it must be refused
// with a CompanionError or give tracks of one length, and what it gives
// must save and load back the same.
#include "scratchfile.h"
#include "track/companionfile.h"

#include <cstdio>
#include <cstdlib>

using namespace zorvane;

namespace {

[[noreturn]] void fail(const char *what)
{
    std::fprintf(stderr, "companion invariant broken: %s\n", what);
    std::abort();
}

bool samePoints(const CompanionPoints &left, const CompanionPoints &right)
{
    if (left.a.upperBound() != right.a.upperBound() || left.others.count() != right.others.count())
        return false;
    for (std::int32_t frame = 0; frame <= left.a.upperBound(); ++frame) {
        if (left.a.at(frame) != right.a.at(frame))
            return false;
        for (int index = 1; index <= left.others.count(); ++index) {
            if (left.others.track(index).at(frame) != right.others.track(index).at(frame))
                return false;
        }
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::filesystem::path file = fuzz::ScratchFolder::instance().write("input.points.tsv", data, size);
    CompanionPoints loaded;
    try {
        loaded = loadCompanion(file);
    } catch (const CompanionError &) {
        return 0;
    }
    for (int index = 1; index <= loaded.others.count(); ++index) {
        if (loaded.others.track(index).upperBound() != loaded.a.upperBound())
            fail("points of different lengths");
    }
    const std::filesystem::path saved = fuzz::ScratchFolder::instance().path() / "saved.points.tsv";
    saveCompanion(saved, loaded.a, loaded.others, 40, NumberFormat{});
    if (!samePoints(loaded, loadCompanion(saved)))
        fail("saved points loaded back different");
    return 0;
}
