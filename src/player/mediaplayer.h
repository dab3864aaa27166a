#pragma once

#include "framesource.h"

#include <functional>
#include <memory>
#include <string>

namespace zorvane {

// The command semantics of the media player, without any window: a file
// name, "Open"/"Close"/"step"/"back", a position counted from 0 and a
// length in frames (0 while nothing is open). A command that cannot be
// carried out returns false and changes nothing.
class MediaPlayer {
public:
    using Opener = std::function<std::unique_ptr<FrameSource>(const std::string &)>;

    explicit MediaPlayer(Opener opener);

    void setDeviceType(const std::string &type) { m_deviceType = type; }
    const std::string &deviceType() const { return m_deviceType; }
    void setFileName(const std::string &name) { m_fileName = name; }
    const std::string &fileName() const { return m_fileName; }

    // "Open", "Close", "step", "back" (case-insensitive). "Play" is the
    // business of whoever owns a clock; here it only checks a file is open.
    bool command(const std::string &name);

    bool open();
    void close();
    bool step();
    bool back();
    bool seek(int frame);

    bool isOpen() const { return m_source != nullptr; }
    int position() const { return m_position; }
    int length() const;
    // Why the last "Open" failed; empty after a success.
    const std::string &lastError() const { return m_lastError; }

    FrameSource *source() const { return m_source.get(); }

    // Reply to a "where ... destination" query: "0 0 W H" for the open
    // video, empty when nothing is open.
    std::string whereDestination() const;

private:
    Opener m_opener;
    std::unique_ptr<FrameSource> m_source;
    std::string m_deviceType;
    std::string m_fileName;
    std::string m_lastError;
    int m_position = 0;
};

} // namespace zorvane
