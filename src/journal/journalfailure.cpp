#include "journal/journalfailure.h"

namespace zorvane {

std::string restoreQuestion(std::int32_t unsavedPoints)
{
    return std::to_string(unsavedPoints) + " points non enregistrés de cette vidéo ont été retrouvés. Les restaurer ?";
}

namespace {

std::string reasonText(const JournalFailure &failure)
{
    switch (failure.kind) {
    case JournalFailureKind::FolderUnavailable:
        return "le dossier " + failure.path + " n'est pas accessible en écriture";
    case JournalFailureKind::DiskFull: return "le disque est plein";
    case JournalFailureKind::TooLarge: return "le journal a atteint sa taille maximale";
    case JournalFailureKind::WriteFailed: break;
    }
    return "erreur d'écriture dans " + failure.path;
}

} // namespace

std::string journalWarningText(const JournalFailure &failure)
{
    return "Le journal des points ne peut pas être écrit (" + reasonText(failure)
           + "). Les points cliqués restent en mémoire, mais ils ne pourront pas être "
             "retrouvés après un arrêt imprévu : pensez à enregistrer la séquence.";
}

std::optional<std::string> JournalWarnings::take(const JournalFailure &failure)
{
    if (m_warned)
        return std::nullopt;
    m_warned = true;
    return journalWarningText(failure);
}

} // namespace zorvane
