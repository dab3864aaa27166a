#include "track/systemerror.h"

#include "common/systemfile.h"

#include <cerrno>

namespace zorvane {

namespace {

// Appended rather than added: GCC 12 warns falsely of an overlap in
// "text" + std::to_string() at -O3.
std::string systemErrorNumber(int error)
{
    std::string text = "erreur système ";
    text += std::to_string(error);
    return text;
}

} // namespace

std::string frenchSystemReason(int error)
{
    if (systemfile::isQuotaExceeded(error))
        return "le quota de disque est dépassé";
    switch (error) {
    case ENOSPC: return "le disque est plein";
    case EFBIG: return "le fichier dépasse la taille permise";
    case EACCES:
    case EPERM: return "l'accès est refusé";
    case EROFS: return "le disque est en lecture seule";
    case ENOENT: return "le fichier ou son dossier n'existe pas";
    case ENOTDIR: return "un élément du chemin n'est pas un dossier";
    case EISDIR: return "c'est un dossier";
    case ENAMETOOLONG: return "le nom est trop long";
    case EIO: return "erreur d'entrée-sortie sur le disque";
    case ENXIO: return "le périphérique n'est pas disponible";
    default: return systemErrorNumber(error);
    }
}

} // namespace zorvane
