#pragma once

#include <string>

namespace zorvane {

// Why a file operation failed, in French words for the user, from errno.
std::string frenchSystemReason(int error);

} // namespace zorvane
