#pragma once

#include <QObject>
#include <QPointer>
#include <QSettings>
#include <QString>

#include <vector>

class QWidget;

namespace zorvane {

// Keeps the size and place of windows from one run to the next, in a
// settings file, or a registry key in the native format on Windows: each
// window watched takes back the geometry it had when it was last hidden,
// closed or the program ended. A window never seen before keeps its own.
class WindowPlaces : public QObject {
    Q_OBJECT

public:
    explicit WindowPlaces(QString settingsFile, QSettings::Format format = QSettings::IniFormat,
                          QObject *parent = nullptr);
    ~WindowPlaces() override;

    // Restores the window's geometry now, under `key`, and saves it from
    // then on.
    void watch(QWidget *window, const QString &key);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Watched {
        QPointer<QWidget> window;
        QString key;
    };

    void save(const Watched &watched) const;

    QString m_settingsFile;
    QSettings::Format m_format;
    std::vector<Watched> m_watched;
};

} // namespace zorvane
