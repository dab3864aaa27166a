#pragma once

#include "app/ui/commondialog.h"

#include <QString>
#include <QStringList>

#include <deque>
#include <optional>

namespace zorvane::testing {

// Answers the window's dialogs from a queue: a path, or nothing to cancel.
class ScriptedDialog : public CommonDialog {
public:
    std::deque<std::optional<QString>> answers;
    QStringList filtersShown;
    QStringList namesProposed;

    bool showOpen(QWidget *) override { return answer(); }
    bool showSave(QWidget *) override { return answer(); }

private:
    bool answer()
    {
        filtersShown << filter();
        namesProposed << fileName();
        if (answers.empty())
            return false;
        const std::optional<QString> next = answers.front();
        answers.pop_front();
        if (!next)
            return false;
        setFileName(*next);
        return true;
    }
};

} // namespace zorvane::testing
