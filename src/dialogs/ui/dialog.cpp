#include "dialogs/ui/dialog.h"

#include "dialogs/ui/dialogfont.h"
#include "dialogs/ui/programicon.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

namespace zorvane {

Dialog::Dialog(QWidget *parent)
        : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint
                              | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName("Dialog");
    setWindowTitle("Aide");
    setWindowIcon(programIcon());
    setFont(dialogFont());
    setGeometry(184, 250, 242, 149);
    setFixedSize(242, 149);

    m_okButton = new QPushButton("OK", this);
    m_okButton->setObjectName("OKButton");
    m_okButton->setGeometry(64, 120, 81, 25);
    // Not the window's default: Enter presses it only while it has the focus.
    m_okButton->setDefault(false);
    m_okButton->setAutoDefault(true);
    connect(m_okButton, &QPushButton::clicked, this, &Dialog::OKButton_Click);

    m_label1 = new QLabel("Label1", this);
    m_label1->setObjectName("Label1");
    m_label1->setGeometry(8, 8, 225, 97);
    m_label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_label1->setWordWrap(true);
    m_label1->setFocusPolicy(Qt::NoFocus);
    m_label1->setText(helpText());

    m_okButton->setFocus();
}

QString Dialog::helpText()
{
    return QString::fromUtf8("Clique gauche pour rajouter un point.\r\n"
                             "Clique droit pour avancer d'une image.\r\n"
                             "Clique milieu pour reculer d'une image.");
}

void Dialog::OKButton_Click()
{
    // Hidden, not closed: the window and its text are kept for the next time.
    hide();
}

void Dialog::keyPressEvent(QKeyEvent *event)
{
    // The window has no cancel button, so Escape does nothing.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void Dialog::closeEvent(QCloseEvent *event)
{
    QDialog::closeEvent(event);
    if (event->isAccepted())
        m_closedByUser = true;
}

} // namespace zorvane
