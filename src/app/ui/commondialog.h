#pragma once

#include <QObject>
#include <QString>

class QWidget;

namespace zorvane {

// The one open/save dialog of the main window. It keeps the file name last
// chosen or proposed, so the next dialog starts from it. Filters are written
// "Description|pattern|Description|pattern".
class CommonDialog : public QObject {
    Q_OBJECT

public:
    explicit CommonDialog(QObject *parent = nullptr);

    void setFilter(const QString &filter) { m_filter = filter; }
    QString filter() const { return m_filter; }
    void setFileName(const QString &name) { m_fileName = name; }
    QString fileName() const { return m_fileName; }

    // False when the user cancels; fileName() then keeps its value.
    virtual bool showOpen(QWidget *parent);
    virtual bool showSave(QWidget *parent);

    // "Video (*.avi)|*.avi" becomes "Video (*.avi)"; pairs are joined by ";;".
    static QString toQtFilter(const QString &filter);

private:
    QString m_filter;
    QString m_fileName;
};

} // namespace zorvane
