#include "dialogs/ui/helpwindow.h"

namespace zorvane {

Dialog &HelpWindow::window()
{
    if (!m_dialog)
        m_dialog = std::make_unique<Dialog>();
    return *m_dialog;
}

void HelpWindow::showModal()
{
    window().exec();
    if (m_dialog->closedByUser())
        m_dialog.reset();
}

} // namespace zorvane
