#include "app/ui/commondialog.h"

#include <QFileDialog>
#include <QStringList>

namespace zorvane {

CommonDialog::CommonDialog(QObject *parent) : QObject(parent) {}

bool CommonDialog::showOpen(QWidget *parent)
{
    const QString chosen = QFileDialog::getOpenFileName(parent, QString(), m_fileName, toQtFilter(m_filter));
    if (chosen.isEmpty())
        return false;
    m_fileName = chosen;
    return true;
}

bool CommonDialog::showSave(QWidget *parent)
{
    // Replacing an existing file is what the user asked for by choosing it.
    const QString chosen = QFileDialog::getSaveFileName(parent, QString(), m_fileName, toQtFilter(m_filter), nullptr,
                                                        QFileDialog::DontConfirmOverwrite);
    if (chosen.isEmpty())
        return false;
    m_fileName = chosen;
    return true;
}

QString CommonDialog::toQtFilter(const QString &filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString description = parts[i].trimmed();
        const QString patterns = parts[i + 1].trimmed().replace(QLatin1Char(';'), QLatin1Char(' '));
        // Qt reads the patterns from the last parentheses of each entry.
        if (description.endsWith(QLatin1Char(')')) && description.contains(QLatin1Char('(')))
            filters << description.left(description.lastIndexOf(QLatin1Char('('))) + QLatin1Char('(') + patterns
                           + QLatin1Char(')');
        else
            filters << description + QLatin1String(" (") + patterns + QLatin1Char(')');
    }
    return filters.join(QLatin1String(";;"));
}

} // namespace zorvane
