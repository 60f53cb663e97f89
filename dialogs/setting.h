// SPDX-License-Identifier: MIT
// The settings dialog: two check boxes that decide whether the source list and the output-folder
// history are written back when the main window closes. It shows the two lines of set.txt and
// writes them again only when the user presses "OK".
#pragma once

#include <QDialog>

#include "state/statefiles.h"

class QCheckBox;
class QPushButton;

namespace dialogs {

class Setting : public QDialog {
    Q_OBJECT

 public:
    // Builds the dialog and shows the stored settings (Form_Load). No explicit owner: it is
    // shown modally over the whole application.
    explicit Setting(const state::StateFiles& files);

 protected:
    void keyPressEvent(QKeyEvent* event) override;

 private:
    void Form_Load();
    void OKButton_Click();
    void CancelButton_Click();

    state::StateFiles m_files;
    QPushButton* OKButton;
    QPushButton* CancelButton;
    QCheckBox* Check1;
    QCheckBox* Check2;
};

// Shows a new settings dialog modally, without an owner, and returns when it is closed.
void ShowSettings(const state::StateFiles& files);

}  // namespace dialogs
