#pragma once

#include "journal/journalfailure.h"

#include <QString>

#include <cstdint>

namespace zorvane {

// What the window says of the journal, in the user's language.
QString restoreQuestionText(std::int32_t unsavedPoints);
QString journalWarningText(const JournalFailure &failure);

} // namespace zorvane
