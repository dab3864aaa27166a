#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace zorvane {

// The Help window: how the mouse works on the video area.
class Dialog : public QDialog {
    Q_OBJECT

public:
    explicit Dialog(QWidget *parent = nullptr);

    static QString helpText();
    bool closedByUser() const { return m_closedByUser; }

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void OKButton_Click();

    QLabel *m_label1 = nullptr;
    QPushButton *m_okButton = nullptr;
    bool m_closedByUser = false;
};

} // namespace zorvane
