#include "app/ui/quitsignals.h"

#include "player/framesource.h"

#include <QMetaObject>

#include <windows.h>

namespace zorvane {
namespace {

QObject *g_target = nullptr;
std::function<void()> g_quit;

// The system calls it on a thread of its own, when the console the program
// runs in is closed or gets Ctrl+C or Ctrl+Break.
BOOL WINAPI onConsoleQuit(DWORD event)
{
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT)
        return FALSE;
    stopAllDecoding();
    QMetaObject::invokeMethod(
        g_target, [] { g_quit(); }, Qt::QueuedConnection);
    return TRUE;
}

} // namespace

QuitSignals::QuitSignals(std::function<void()> quit, QObject *parent) : QObject(parent), m_quit(std::move(quit))
{
    g_target = this;
    g_quit = m_quit;
    SetConsoleCtrlHandler(onConsoleQuit, TRUE);
}

QuitSignals::~QuitSignals()
{
    SetConsoleCtrlHandler(onConsoleQuit, FALSE);
    g_target = nullptr;
    g_quit = nullptr;
}

void QuitSignals::takeSignal() { m_quit(); }

} // namespace zorvane
