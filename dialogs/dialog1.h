// SPDX-License-Identifier: MIT
// The About box: the program icon, name and version, a legal notice, and a frame with the support
// address and the home page as links that open a new mail and the browser.
#pragma once

#include <QDialog>
#include <QPixmap>

class QGroupBox;
class QLabel;
class QPushButton;

namespace dialogs {

class LinkLabel;

class Dialog1 : public QDialog {
    Q_OBJECT

 public:
    // No explicit owner: it is shown modally over the whole application.
    Dialog1();

 protected:
    void paintEvent(QPaintEvent* event) override;

 private:
    void Label2_Click();
    void Label8_Click();
    void OKButton_Click();

    QLabel* addLabel(const char* name, const QString& text, QWidget* parent, int left, int top,
                     int width, int height);

    QPixmap m_icon;
    QPushButton* OKButton;
    QLabel* Label1;
    QLabel* Label4;
    QLabel* Label5;
    QGroupBox* Frame1;
    LinkLabel* Label2;
    QLabel* Label3;
    QLabel* Label6;
    QLabel* Label7;
    LinkLabel* Label8;
};

// Shows a new About box modally, without an owner, and returns when it is closed.
void ShowAbout();

}  // namespace dialogs
