#pragma once

#include <stdexcept>
#include <string>

namespace zorvane {

enum class ProbeErrorKind {
    CannotOpen,     // missing, unreadable, not a regular file, bad path
    ReadFailed,     // the system refused a read of an opened file
    DivisionByZero, // a video size candidate with height 0
    Overflow,       // a number outside the signed 32-bit range
};

class ProbeError : public std::runtime_error {
public:
    ProbeError(ProbeErrorKind kind, const std::string &message) : std::runtime_error(message), m_kind(kind) {}
    ProbeErrorKind kind() const noexcept { return m_kind; }

private:
    ProbeErrorKind m_kind;
};

} // namespace zorvane
