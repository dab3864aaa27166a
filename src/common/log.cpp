#include "common/log.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace zorvane {
namespace {

bool askedForInEnvironment()
{
    const char *value = std::getenv("ZORVANE_DEBUG");
    return value && *value && std::string_view(value) != "0";
}

void toErrorStream(std::string_view category, std::string_view message)
{
    std::fprintf(stderr, "zorvane.%.*s: %.*s\n", static_cast<int>(category.size()), category.data(),
                 static_cast<int>(message.size()), message.data());
}

std::atomic<LogSink> g_sink{toErrorStream};
std::atomic<bool> g_enabled{askedForInEnvironment()};

} // namespace

void setLogSink(LogSink sink, bool enabled)
{
    g_sink = sink ? sink : toErrorStream;
    g_enabled = enabled;
}

bool debugLogEnabled() noexcept { return g_enabled.load(std::memory_order_relaxed); }

void logDebug(std::string_view category, std::string_view message)
{
    if (debugLogEnabled())
        g_sink.load()(category, message);
}

} // namespace zorvane
