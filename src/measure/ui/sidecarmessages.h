#pragma once

#include "measure/sidecar.h"

#include <QCoreApplication>
#include <QString>

namespace zorvane {

// The user's sentences for a refused calibration file or video.
class SidecarMessages {
    Q_DECLARE_TR_FUNCTIONS(SidecarMessages)

public:
    static QString text(const SidecarProblem &problem);

private:
    static QString reason(const SidecarProblem &problem);
    static QString refusedValues(MeasureErrorKind kind);
};

} // namespace zorvane
