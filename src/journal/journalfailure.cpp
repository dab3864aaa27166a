#include "journal/journalfailure.h"

namespace zorvane {

bool JournalWarnings::take(const JournalFailure &)
{
    if (m_warned)
        return false;
    m_warned = true;
    return true;
}

} // namespace zorvane
