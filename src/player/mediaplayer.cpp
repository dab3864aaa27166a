#include "mediaplayer.h"

#include <algorithm>
#include <cctype>

namespace zorvane {
namespace {

std::string lowered(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

} // namespace

MediaPlayer::MediaPlayer(Opener opener) : m_opener(std::move(opener)) {}

bool MediaPlayer::command(const std::string &name)
{
    const std::string cmd = lowered(name);
    if (cmd == "open")
        return open();
    if (cmd == "close") {
        close();
        return true;
    }
    if (cmd == "step")
        return step();
    if (cmd == "back")
        return back();
    if (cmd == "play")
        return isOpen();
    return false;
}

bool MediaPlayer::open()
{
    close();
    try {
        m_source = m_opener(m_fileName);
        m_lastError.clear();
    } catch (const ReaderError &error) {
        m_source.reset();
        m_lastError = error.what();
    }
    return isOpen();
}

void MediaPlayer::close()
{
    m_source.reset();
    m_position = 0;
}

bool MediaPlayer::step() { return seek(m_position + 1); }

bool MediaPlayer::back() { return seek(m_position - 1); }

bool MediaPlayer::seek(int frame)
{
    if (!isOpen() || frame < 0 || frame >= length())
        return false;
    m_position = frame;
    return true;
}

int MediaPlayer::length() const { return m_source ? m_source->frameCount() : 0; }

std::string MediaPlayer::whereDestination() const
{
    if (!m_source)
        return {};
    return "0 0 " + std::to_string(m_source->width()) + " " + std::to_string(m_source->height());
}

} // namespace zorvane
