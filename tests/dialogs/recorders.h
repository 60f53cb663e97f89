// SPDX-License-Identifier: MIT
// Stand-ins for the shell and the message boxes that record what they are asked, and a way to
// act on a modal dialog while exec() runs it.
#pragma once

#include <QApplication>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/msgbox.h"
#include "platform/shell.h"

namespace testsupport {

struct ShellCall {
    platform::Hwnd owner;
    std::string operation, file, parameters, directory;
    int showCommand;
};

// Records ShellExecuteA calls and answers with `result`; puts the previous backend back.
class ShellRecorder {
 public:
    explicit ShellRecorder(std::intptr_t result = 42)
        : m_previous(platform::SetShellBackend(
              [this, result](platform::Hwnd owner, const std::string& operation,
                             const std::string& file, const std::string& parameters,
                             const std::string& directory, int showCommand) {
                  calls.push_back({owner, operation, file, parameters, directory, showCommand});
                  return result;
              })) {}
    ~ShellRecorder() { platform::SetShellBackend(std::move(m_previous)); }

    std::vector<ShellCall> calls;

 private:
    platform::ShellBackend m_previous;
};

struct MessageBoxCall {
    std::string prompt;
    int style;
    std::string title;
};

class MessageBoxRecorder {
 public:
    MessageBoxRecorder()
        : m_previous(platform::SetMessageBoxBackend(
              [this](const std::string& prompt, int style, const std::string& title) {
                  calls.push_back({prompt, style, title});
                  return platform::vbOK;
              })) {}
    ~MessageBoxRecorder() { platform::SetMessageBoxBackend(std::move(m_previous)); }

    std::vector<MessageBoxCall> calls;

 private:
    platform::MessageBoxBackend m_previous;
};

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
