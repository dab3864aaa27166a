#pragma once

#include "dialogs/ui/dialog.h"

#include <memory>

namespace zorvane {

// Owns the Help window: made on first use, kept while only hidden, dropped
// once the user closes it with its close box.
class HelpWindow {
public:
    // Shows the window modally, without owner; returns once it is hidden or closed.
    void showModal();

    // The current window, made if there is none.
    Dialog &window();
    bool exists() const { return m_dialog != nullptr; }

private:
    std::unique_ptr<Dialog> m_dialog;
};

} // namespace zorvane
