#include "journal/ui/journaltexts.h"

#include <QCoreApplication>

namespace zorvane {
namespace {

QString tr(const char *text) { return QCoreApplication::translate("Journal", text); }

QString reasonText(const JournalFailure &failure)
{
    const QString path = QString::fromStdString(failure.path);
    switch (failure.kind) {
    case JournalFailureKind::FolderUnavailable: return tr("le dossier %1 n'est pas accessible en écriture").arg(path);
    case JournalFailureKind::DiskFull: return tr("le disque est plein");
    case JournalFailureKind::TooLarge: return tr("le journal a atteint sa taille maximale");
    case JournalFailureKind::WriteFailed: break;
    }
    return tr("erreur d'écriture dans %1").arg(path);
}

} // namespace

QString restoreQuestionText(std::int32_t unsavedPoints)
{
    return tr("%1 points non enregistrés de cette vidéo ont été retrouvés. Les restaurer ?").arg(unsavedPoints);
}

QString journalWarningText(const JournalFailure &failure)
{
    return tr("Le journal des points ne peut pas être écrit (%1). Les points cliqués restent en mémoire, mais ils "
              "ne pourront pas être retrouvés après un arrêt imprévu : pensez à enregistrer la séquence.")
        .arg(reasonText(failure));
}

} // namespace zorvane
