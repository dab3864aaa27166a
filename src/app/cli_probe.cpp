#include "app/cli_probe.h"

#include "probe/mediatype.h"
#include "probe/probeerror.h"
#include "probe/videoinfoprobe.h"

#include <cstdio>

namespace zorvane::inspect {
namespace {

constexpr const char *kUsage = "usage: zorvane-inspect probe [--no-fallback] FILE [FILE ...]";

std::string hexEscape(unsigned char byte)
{
    char text[5];
    std::snprintf(text, sizeof text, "\\x%02x", byte);
    return text;
}

std::string backslashEscape(char c)
{
    switch (c) {
    case '\\': return "\\\\";
    case '\t': return "\\t";
    case '\n': return "\\n";
    case '\r': return "\\r";
    default: return {};
    }
}

// A codec is shown in quotes and as ASCII; other fields may be UTF-8 text.
enum class TextKind { QuotedAscii, Utf8 };

std::string escapeBytes(const std::string &text, TextKind kind)
{
    std::string escaped;
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        const bool hex = kind == TextKind::QuotedAscii ? byte < 0x20 || byte > 0x7e : byte < 0x20 || byte == 0x7f;
        if (const std::string named = backslashEscape(c); !named.empty())
            escaped += named;
        else if (kind == TextKind::QuotedAscii && c == '"')
            escaped += "\\\"";
        else if (hex)
            escaped += hexEscape(byte);
        else
            escaped += c;
    }
    return escaped;
}

struct ProbeOptions {
    bool fallback = true;
    std::vector<std::string> files;
};

bool parseProbeOptions(const std::vector<std::string> &args, ProbeOptions &options, std::ostream &err)
{
    bool optionsEnded = false;
    for (const std::string &arg : args) {
        if (!optionsEnded && arg == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && arg == "--no-fallback") {
            options.fallback = false;
        } else if (!optionsEnded && arg.size() > 1 && arg[0] == '-') {
            err << "zorvane-inspect probe: unknown option " << escapeField(arg) << "\n" << kUsage << "\n";
            return false;
        } else {
            options.files.push_back(arg);
        }
    }
    if (options.files.empty()) {
        err << kUsage << "\n";
        return false;
    }
    return true;
}

std::string probeLine(const std::string &path, const DisplayedSizeQuery &displayedSize)
{
    const std::string tag = DetectMediaType(path);
    const VideoInfo info = ProbeVideoInfo(path, displayedSize);
    return escapeField(tag) + "\t\"" + escapeCodec(info.Codec) + "\"\t" + std::to_string(info.Width) + "\t"
           + std::to_string(info.Height) + "\t" + std::to_string(info.Spare1) + "\t" + std::to_string(info.Spare2);
}

} // namespace

std::string escapeCodec(const std::string &codec) { return escapeBytes(codec, TextKind::QuotedAscii); }

std::string escapeField(const std::string &text) { return escapeBytes(text, TextKind::Utf8); }

int runProbeCommand(const std::vector<std::string> &args, std::ostream &out, std::ostream &err,
                    DisplayedSizeForPath displayedSize)
{
    ProbeOptions options;
    if (!parseProbeOptions(args, options, err))
        return 2;
    bool allProbed = true;
    for (const std::string &path : options.files) {
        DisplayedSizeQuery sizeQuery;
        if (options.fallback && displayedSize)
            sizeQuery = [&displayedSize, &path] { return displayedSize(path); };
        try {
            const std::string line = probeLine(path, sizeQuery);
            out << escapeField(path) << "\t" << line << "\n";
        } catch (const ProbeError &error) {
            out << escapeField(path) << "\terror\t" << escapeField(error.what()) << "\n";
            allProbed = false;
        }
    }
    return allProbed ? 0 : 1;
}

} // namespace zorvane::inspect
