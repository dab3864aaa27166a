#include "track/fieldreader.h"

#include "common/systemfile.h"

#include <cerrno>
#include <system_error>

namespace zorvane {

std::string_view FieldReader::Line::field(std::size_t index) const
{
    return index < count && index < fields.size() ? std::string_view(fields[index]) : std::string_view();
}

FieldReader::FieldReader(const std::filesystem::path &path)
{
    // Non-blocking open, so that a named pipe nobody writes cannot hang us.
    m_fd = systemfile::openForReading(path);
    if (m_fd < 0)
        throw std::system_error(errno, std::generic_category(), path.string());
    systemfile::Status info;
    int error = 0;
    if (!systemfile::status(m_fd, info))
        error = errno;
    else if (info.kind == systemfile::Kind::Directory)
        error = EISDIR;
    else if (info.kind == systemfile::Kind::Pipe)
        error = ENXIO;
    if (error != 0) {
        systemfile::close(m_fd);
        throw std::system_error(error, std::generic_category(), path.string());
    }
    systemfile::makeBlocking(m_fd);
}

FieldReader::~FieldReader() { systemfile::close(m_fd); }

bool FieldReader::next(Line &line)
{
    if (m_stoppedEarly)
        return false;
    line.count = 0;
    for (auto &field : line.fields)
        field.clear();
    std::size_t lineBytes = 0;
    bool inField = false;
    bool sawAnything = false;
    for (;;) {
        const int c = nextByte();
        if (c < 0)
            return sawAnything && !m_stoppedEarly;
        const char ch = static_cast<char>(c);
        if (m_skipLineFeed) {
            m_skipLineFeed = false;
            if (ch == '\n')
                continue;
        }
        sawAnything = true;
        if (ch == '\n' || ch == '\r') {
            m_skipLineFeed = ch == '\r';
            return true;
        }
        if (++lineBytes > kMaxLineBytes) {
            m_stoppedEarly = true;
            return false;
        }
        if (ch == ' ' || ch == '\t') {
            inField = false;
            continue;
        }
        if (!inField) {
            inField = true;
            ++line.count;
        }
        if (line.count <= line.fields.size()) {
            std::string &field = line.fields[line.count - 1];
            // An over-long field keeps one byte too many, so it never parses.
            if (field.size() <= kMaxFieldBytes)
                field += ch;
        }
    }
}

int FieldReader::nextByte()
{
    // A loop, not a test: a first block holding only the byte order mark
    // leaves nothing to return once the mark is skipped.
    while (m_pos == m_size) {
        if (!refill())
            return -1;
    }
    return static_cast<unsigned char>(m_buffer[m_pos++]);
}

bool FieldReader::refill()
{
    if (m_atEnd)
        return false;
    std::int64_t got = 0;
    do {
        got = systemfile::readSome(m_fd, m_buffer.data(), m_buffer.size());
    } while (got < 0 && errno == EINTR);
    if (got <= 0) {
        m_atEnd = true;
        m_stoppedEarly = got < 0;
        return false;
    }
    m_pos = 0;
    m_size = static_cast<std::size_t>(got);
    if (m_firstRead) {
        m_firstRead = false;
        if (m_size >= 3 && std::string_view(m_buffer.data(), 3) == "\xEF\xBB\xBF")
            m_pos = 3;
    }
    return true;
}

} // namespace zorvane
