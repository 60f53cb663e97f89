// SPDX-License-Identifier: MIT
// Acting on a modal dialog while exec() runs it.
#pragma once

#include <QApplication>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <utility>

namespace testsupport {

// Calls `action` with the modal dialog once exec() shows it, then closes the dialog should the
// action have left it open (a failed check returns early), so that exec() returns.
inline void WhenModal(std::function<void(QWidget*)> action, int attempts = 50) {
    QTimer::singleShot(0, [action = std::move(action), attempts]() mutable {
        QPointer<QWidget> modal = QApplication::activeModalWidget();
        if (modal == nullptr) {
            if (attempts > 1) {
                WhenModal(std::move(action), attempts - 1);
            }
            return;
        }
        action(modal);
        if (modal != nullptr && modal->isVisible()) {
            modal->close();
        }
    });
}

}  // namespace testsupport
