#include "measure/ui/sidecarmessages.h"

#include "track/systemerror.h"

namespace zorvane {
namespace {

QString quoted(const std::string &text) { return QStringLiteral("« %1 »").arg(QString::fromStdString(text)); }

QString systemReason(int error) { return QString::fromStdString(frenchSystemReason(error)); }

} // namespace

QString SidecarMessages::text(const SidecarProblem &problem)
{
    const QString file = quoted(problem.file.string());
    switch (problem.kind) {
    case MeasureErrorKind::SidecarUnreadable:
        return tr("Impossible de lire le fichier d'étalonnage %1 : %2.").arg(file, systemReason(problem.systemError));
    case MeasureErrorKind::NeedsVideo:
        return tr("Impossible d'examiner la vidéo %1 : %2.").arg(file, systemReason(problem.systemError));
    case MeasureErrorKind::SidecarNewer:
        return tr("Le fichier d'étalonnage %1 vient d'une version plus récente du programme : l'étalonnage n'a pas "
                  "été chargé.")
            .arg(file);
    case MeasureErrorKind::OtherVideo: {
        const auto video = [](const CalibratedVideo &v) {
            return tr("%1, %2 images, %3 octets")
                .arg(quoted(v.fileName), QString::number(v.frameCount), QString::number(v.sizeBytes));
        };
        return tr("L'étalonnage %1 a été fait sur une autre vidéo (%2) que celle qui est ouverte (%3) : il n'a pas "
                  "été chargé.")
            .arg(file, video(problem.saved), video(problem.open));
    }
    default: break;
    }
    const QString where =
        problem.line > 0 ? tr("ligne %1 : %2").arg(QString::number(problem.line), reason(problem)) : reason(problem);
    return tr("Le fichier d'étalonnage %1 est endommagé (%2) : l'étalonnage n'a pas été chargé.").arg(file, where);
}

QString SidecarMessages::reason(const SidecarProblem &problem)
{
    const QString word = quoted(problem.word);
    switch (problem.fault) {
    case SidecarFault::TooLong: return tr("beaucoup trop long");
    case SidecarFault::NotCalibrationFile: return tr("ce n'est pas un fichier d'étalonnage");
    case SidecarFault::UnreadableVersion: return tr("numéro de version illisible");
    case SidecarFault::UnknownKey: return tr("mot %1 inconnu").arg(word);
    case SidecarFault::RepeatedKey: return tr("%1 répété").arg(word);
    case SidecarFault::MissingKey: return tr("%1 manquant").arg(word);
    case SidecarFault::MissingValue: return tr("valeur manquante");
    case SidecarFault::ExtraValues: return tr("valeurs en trop");
    case SidecarFault::NotANumber: return tr("%1 n'est pas un nombre valable").arg(word);
    case SidecarFault::InfiniteNumber: return tr("nombre infini");
    case SidecarFault::UnexpectedWord:
        return tr("%1 au lieu de %2 ou %3").arg(word, quoted(problem.expected[0]), quoted(problem.expected[1]));
    case SidecarFault::BadVideoEscape: return tr("nom de vidéo mal écrit");
    case SidecarFault::VideoNameNotAlone: return tr("nom de vidéo vide ou avec un dossier");
    case SidecarFault::NegativeFrameCount: return tr("nombre d'images négatif");
    case SidecarFault::ImpossibleValues: return refusedValues(problem.refusedAs);
    case SidecarFault::ImpossibleMass: return tr("la masse doit être un nombre de kilogrammes plus grand que zéro");
    case SidecarFault::ImpossibleGravity: return tr("g doit être un nombre de m/s² plus grand que zéro");
    }
    return {};
}

// The calibration's and the clock's own sentences.
QString SidecarMessages::refusedValues(MeasureErrorKind kind)
{
    switch (kind) {
    case MeasureErrorKind::SamePoints:
        return tr("Les deux points de l'échelle sont confondus : cliquez les deux extrémités d'une longueur connue.");
    case MeasureErrorKind::DistanceNotPositive:
        return tr("La distance entre les deux points doit être plus grande que zéro.");
    case MeasureErrorKind::DistanceTooLarge:
        return tr("La distance entre les deux points est trop grande (au plus 1 000 000 000 m).");
    case MeasureErrorKind::SameAxisPoints:
        return tr("Les deux points de l'axe x sont confondus : cliquez deux points distincts de la pente.");
    case MeasureErrorKind::FactorInvalid:
        return tr("Le facteur de ralenti doit être un nombre plus grand que zéro "
                  "(1 pour une vidéo à vitesse normale, 8 pour 240 images/s lues à 30).");
    default: return tr("Le pas « Pas (ms) » doit être un nombre de millisecondes plus grand que zéro.");
    }
}

} // namespace zorvane
