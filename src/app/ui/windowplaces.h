#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <vector>

class QWidget;

namespace zorvane {

// Keeps the size and place of windows from one run to the next, in a
// settings file: each window watched takes back the geometry it had when
// it was last hidden, closed or the program ended. A window never seen
// before keeps its own.
class WindowPlaces : public QObject {
    Q_OBJECT

public:
    explicit WindowPlaces(QString settingsFile, QObject *parent = nullptr);
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
    std::vector<Watched> m_watched;
};

} // namespace zorvane
