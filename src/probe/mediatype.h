#pragma once

#include <string>

namespace zorvane {

// Classifies a media file by the signature in its first bytes: "avi",
// "wav", "dat", "ram", "mid", "wmv" or "mpg". Without a known signature
// the tag is the path's extension as written, or "dat" for the video
// extensions whose content was not recognised. Throws ProbeError.
std::string DetectMediaType(const std::string &path);

// Text after the last "." anywhere in the path; the whole path without one.
std::string pathExtension(const std::string &path);

} // namespace zorvane
