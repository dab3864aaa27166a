#include "track/systemerror.h"

#include "common/systemfile.h"

#include <cerrno>

namespace zorvane {

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
    default: return "erreur système " + std::to_string(error);
    }
}

} // namespace zorvane
