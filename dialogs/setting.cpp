// SPDX-License-Identifier: MIT
#include "dialogs/setting.h"

#include <QCheckBox>
#include <QKeyEvent>
#include <QPushButton>

#include "dialogs/fixeddialog.h"
#include "dialogs/links.h"
#include "dialogs/twips.h"
#include "platform/error.h"
#include "platform/msgbox.h"

namespace dialogs {

namespace {

// The caption of the first box ends in a line break; the box shows the caption's single line of
// text, so the line break neither adds an empty second line nor draws a stray mark.
const QString kCheck1Caption = QStringLiteral("Automatically save the current file\r\n");
const QString kCheck2Caption = QStringLiteral("Automatically save the output directory");

QString withoutLineBreaks(QString caption) {
    while (caption.endsWith(QLatin1Char('\n')) || caption.endsWith(QLatin1Char('\r'))) {
        caption.chop(1);
    }
    return caption;
}

QPushButton* commandButton(const QString& caption, QWidget* parent) {
    auto* button = new QPushButton(caption, parent);
    // Neither Enter nor Escape presses a button of this dialog.
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

}  // namespace

Setting::Setting(const state::StateFiles& files)
    : QDialog(nullptr, kFixedDialogFlags), m_files(files) {
    SetUpFixedDialog(*this, QStringLiteral("Setting"), 2760, 3756, 3732, 1560);

    // Created in tab order: OK, Cancel, then the two boxes.
    OKButton = commandButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setGeometry(TwipsRect(*this, 360, 1080, 1215, 375));
    CancelButton = commandButton(QStringLiteral("Cancel"), this);
    CancelButton->setObjectName(QStringLiteral("CancelButton"));
    CancelButton->setGeometry(TwipsRect(*this, 2040, 1080, 1215, 375));
    Check1 = new QCheckBox(withoutLineBreaks(kCheck1Caption), this);
    Check1->setObjectName(QStringLiteral("Check1"));
    Check1->setGeometry(TwipsRect(*this, 360, 240, 2895, 370));
    Check2 = new QCheckBox(kCheck2Caption, this);
    Check2->setObjectName(QStringLiteral("Check2"));
    Check2->setGeometry(TwipsRect(*this, 360, 600, 3135, 255));
    setTabOrder(OKButton, CancelButton);
    setTabOrder(CancelButton, Check1);
    setTabOrder(Check1, Check2);
    OKButton->setFocus();

    connect(OKButton, &QPushButton::clicked, this, &Setting::OKButton_Click);
    connect(CancelButton, &QPushButton::clicked, this, &Setting::CancelButton_Click);

    Form_Load();
}

void Setting::keyPressEvent(QKeyEvent* event) {
    // QDialog closes on Escape; this dialog closes only through its buttons or its frame.
    if (event->matches(QKeySequence::Cancel)) {
        event->ignore();
        return;
    }
    QDialog::keyPressEvent(event);
}

void Setting::Form_Load() {
    // A missing file or line leaves its box unticked; anything but exactly "1" unticks it.
    const state::SettingsLines lines = m_files.ReadSettingsLines();
    Check1->setChecked(lines.hasLine1 && state::IsOn(lines.line1));
    Check2->setChecked(lines.hasLine2 && state::IsOn(lines.line2));
}

void Setting::OKButton_Click() {
    try {
        m_files.WriteSettings(state::Settings{Check1->isChecked(), Check2->isChecked()});
    } catch (const platform::SystemError& error) {
        // The old file stays as it was (the write is atomic); the dialog still closes.
        platform::MsgBox(
            "The settings could not be saved to " + error.path() + ".\n\n" + error.reason() + ".",
            platform::vbCritical, "Pavendel");
    }
    accept();
}

void Setting::CancelButton_Click() {
    reject();
}

void ShowSettings(const state::StateFiles& files) {
    Setting dialog(files);
    dialog.exec();
}

}  // namespace dialogs
