// SPDX-License-Identifier: MIT
#include "dialogs/dialog1.h"

#include <QGroupBox>
#include <QPainter>
#include <QPushButton>

#include "dialogs/fixeddialog.h"
#include "dialogs/linklabel.h"
#include "dialogs/links.h"
#include "dialogs/programicon.h"
#include "dialogs/twips.h"
#include "platform/gui/qtplatform.h"
#include "platform/shell.h"

namespace dialogs {

namespace {

constexpr int kIconSize = 48;

const QString kLegalNotice = QStringLiteral(
    "Pavendel is free software under the MIT licence. Copying or distributing this program, in "
    "whole or in part, in any way the licence does not allow is unauthorised and will be "
    "prosecuted as far as the law permits.");
const QString kOwnerNotice = QStringLiteral("\u00a9 2026 The Pavendel developers");

// The home page as the link shows it: the address without "https://" or "http://".
QString withoutScheme(const QString& address) {
    const qsizetype separator = address.indexOf(QStringLiteral("://"));
    return separator < 0 ? address : address.mid(separator + 3);
}

}  // namespace

Dialog1::Dialog1() : QDialog(nullptr, kFixedDialogFlags) {
    SetUpFixedDialog(*this, QStringLiteral("About us"), 2760, 3600, 4908, 4116);
    m_icon = ProgramPixmap(kIconSize, devicePixelRatio());

    // Created in tab order. Only "OK" takes the keyboard focus.
    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setGeometry(TwipsRect(*this, 120, 3600, 1215, 375));
    Label1 = addLabel("Label1", QStringLiteral("Pavendel"), this, 840, 240, 2055, 255);
    Label4 = addLabel("Label4", QStringLiteral("Version:2009.9.9"), this, 840, 480, 1455, 255);
    Label5 = addLabel("Label5", kLegalNotice, this, 120, 2280, 4695, 1095);
    Label5->setWordWrap(true);

    // A frame without a caption; the labels inside it are placed within it.
    Frame1 = new QGroupBox(this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setGeometry(TwipsRect(*this, 240, 960, 4450, 1090));
    Label2 = new LinkLabel(platform::gui::ToQString(kSupportAddress), Frame1);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setGeometry(TwipsRect(*this, 1800, 240, 2290, 250));
    Label3 = addLabel("Label3", QStringLiteral("Technical Support:"), Frame1, 120, 240, 1690, 250);
    Label6 = addLabel("Label6", kOwnerNotice, Frame1, 120, 720, 3135, 255);
    QFont noticeFont = font();
    noticeFont.setPointSizeF(9);
    Label6->setFont(noticeFont);
    Label7 = addLabel("Label7", QStringLiteral(" Website:"), Frame1, 120, 480, 850, 250);
    Label8 = new LinkLabel(withoutScheme(platform::gui::ToQString(kHomePage)), Frame1);
    Label8->setObjectName(QStringLiteral("Label8"));
    Label8->setGeometry(TwipsRect(*this, 1800, 480, 1930, 250));

    // Label text starts at the top of its box rather than in the middle.
    for (QLabel* label : findChildren<QLabel*>()) {
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    }

    connect(OKButton, &QPushButton::clicked, this, &Dialog1::OKButton_Click);
    connect(Label2, &LinkLabel::clicked, this, &Dialog1::Label2_Click);
    connect(Label8, &LinkLabel::clicked, this, &Dialog1::Label8_Click);
}

QLabel* Dialog1::addLabel(const char* name, const QString& text, QWidget* parent, int left, int top,
                          int width, int height) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->setGeometry(TwipsRect(*this, left, top, width, height));
    return label;
}

void Dialog1::paintEvent(QPaintEvent* event) {
    QDialog::paintEvent(event);
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_icon);
}

void Dialog1::Label2_Click() {
    platform::ShellExecuteA(platform::gui::HwndOf(this), "open",
                            std::string("mailto:") + kSupportAddress, "", "",
                            platform::SW_SHOWMAXIMIZED);
}

void Dialog1::Label8_Click() {
    platform::ShellExecuteA(platform::gui::HwndOf(this), "open", kHomePage, "", "",
                            platform::SW_SHOW);
}

void Dialog1::OKButton_Click() {
    accept();
}

void ShowAbout() {
    Dialog1 dialog;
    dialog.exec();
}

}  // namespace dialogs
