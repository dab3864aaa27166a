#include "app/ui/videokeys.h"

#include "player/ui/videodisplay.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>

namespace zorvane {
namespace {

bool isTextField(const QWidget *widget)
{
    if (const auto *combo = qobject_cast<const QComboBox *>(widget))
        return combo->isEditable();
    return qobject_cast<const QLineEdit *>(widget) || qobject_cast<const QAbstractSpinBox *>(widget)
           || qobject_cast<const QTextEdit *>(widget) || qobject_cast<const QPlainTextEdit *>(widget);
}

// A field reached on purpose, by the Tab key, is one the user is about to
// type in; not one that got the focus because it came first.
bool isChosenFocus(Qt::FocusReason reason) { return reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason; }

bool endsTyping(int key) { return key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape; }

bool isEditingKey(const QKeyEvent &key)
{
    if (key.key() == Qt::Key_Backspace || key.key() == Qt::Key_Delete || key.matches(QKeySequence::Paste)
        || key.matches(QKeySequence::Cut) || key.matches(QKeySequence::Undo))
        return true;
    const QString text = key.text();
    return !text.isEmpty() && text.at(0).isPrint() && !(key.modifiers() & Qt::ControlModifier);
}

} // namespace

VideoKeys::VideoKeys(QWidget &window, VideoDisplay &display, Actions actions, QObject *parent)
        : QObject(parent), m_window(window), m_display(display), m_actions(std::move(actions))
{
    qApp->installEventFilter(this);
}

bool VideoKeys::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::FocusIn && type != QEvent::FocusOut
        && type != QEvent::MouseButtonPress)
        return false;
    auto *widget = qobject_cast<QWidget *>(watched);
    if (!widget || !isInWindow(widget))
        return false;
    // A click in a field, even one that has the focus already, is a user
    // about to type there.
    if (type == QEvent::MouseButtonPress) {
        if (isTextField(widget))
            m_typingIn = widget;
        return false;
    }
    if (type == QEvent::FocusIn) {
        if (isTextField(widget) && isChosenFocus(static_cast<QFocusEvent *>(event)->reason()))
            m_typingIn = widget;
        return false;
    }
    if (type == QEvent::FocusOut) {
        if (widget == m_typingIn)
            m_typingIn = nullptr;
        return false;
    }
    const auto &key = static_cast<const QKeyEvent &>(*event);
    followTyping(widget, key);
    return takeKey(key);
}

void VideoKeys::followTyping(QWidget *receiver, const QKeyEvent &key)
{
    if (!isTextField(receiver))
        return;
    if (endsTyping(key.key()))
        m_typingIn = nullptr;
    else if (isEditingKey(key))
        m_typingIn = receiver;
}

bool VideoKeys::takeKey(const QKeyEvent &key)
{
    if (!m_actions.videoOpen())
        return false;
    if (m_display.handleZoomKey(key))
        return true;
    const bool plainArrow = key.modifiers() == Qt::NoModifier || key.modifiers() == Qt::KeypadModifier;
    if (!plainArrow || (key.key() != Qt::Key_Right && key.key() != Qt::Key_Left))
        return false;
    // A field ignoring an arrow passes it to its parents: still the field's.
    if (m_typingIn)
        return false;
    (key.key() == Qt::Key_Right ? m_actions.stepForward : m_actions.stepBack)();
    return true;
}

bool VideoKeys::isInWindow(const QWidget *widget) const { return widget->window() == &m_window; }

} // namespace zorvane
