#include "app/ui/windowplaces.h"

#include <QEvent>
#include <QSettings>
#include <QWidget>

namespace zorvane {
namespace {

QString geometryKey(const QString &key) { return key + QStringLiteral("/geometry"); }

} // namespace

WindowPlaces::WindowPlaces(QString settingsFile, QSettings::Format format, QObject *parent)
        : QObject(parent), m_settingsFile(std::move(settingsFile)), m_format(format)
{}

// The program may end without hiding its windows.
WindowPlaces::~WindowPlaces()
{
    for (const Watched &watched : m_watched)
        if (watched.window && watched.window->isVisible())
            save(watched);
}

void WindowPlaces::watch(QWidget *window, const QString &key)
{
    const QSettings settings(m_settingsFile, m_format);
    const QByteArray geometry = settings.value(geometryKey(key)).toByteArray();
    if (!geometry.isEmpty())
        window->restoreGeometry(geometry);
    m_watched.push_back({window, key});
    window->installEventFilter(this);
}

bool WindowPlaces::eventFilter(QObject *object, QEvent *event)
{
    if (event->type() == QEvent::Hide || event->type() == QEvent::Close) {
        for (const Watched &watched : m_watched)
            if (watched.window == object && watched.window->isWindow())
                save(watched);
    }
    return QObject::eventFilter(object, event);
}

void WindowPlaces::save(const Watched &watched) const
{
    QSettings settings(m_settingsFile, m_format);
    settings.setValue(geometryKey(watched.key), watched.window->saveGeometry());
}

} // namespace zorvane
