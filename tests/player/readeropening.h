#pragma once

#include "player/framereader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace zorvane::testing {

// The kind of error opening `file` raises; the message must name the file.
// A file that opens is a failure of the calling test.
inline ReaderErrorKind errorKindOpening(const std::filesystem::path &file, std::string *message = nullptr)
{
    try {
        FrameReader reader(file.string());
    } catch (const ReaderError &error) {
        EXPECT_NE(std::string(error.what()).find(file.string()), std::string::npos)
            << "message does not name the file: " << error.what();
        if (message)
            *message = error.what();
        return error.kind();
    }
    ADD_FAILURE() << file << " opened";
    return ReaderErrorKind::DecodeFailed;
}

} // namespace zorvane::testing
