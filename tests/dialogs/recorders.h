// SPDX-License-Identifier: MIT
// Stand-ins for the shell and the message boxes that record what the dialogs ask of them, and a
// way to act on a modal dialog while exec() runs it.
#pragma once

#include <QApplication>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/msgbox.h"
#include "platform/shell.h"

namespace testsupport {

struct ShellCall {
    platform::Hwnd owner;
    std::string operation;
    std::string file;
    std::string parameters;
    std::string directory;
    int showCommand;
};

// Records every ShellExecuteA call and answers with the given result; restores the previous
// backend when it goes.
class ShellRecorder {
 public:
    explicit ShellRecorder(std::intptr_t result = 42)
        : m_previous(platform::SetShellBackend(
              [this, result](platform::Hwnd owner, const std::string& operation,
                             const std::string& file, const std::string& parameters,
                             const std::string& directory, int showCommand) {
                  m_calls.push_back({owner, operation, file, parameters, directory, showCommand});
                  return result;
              })) {}
    ~ShellRecorder() { platform::SetShellBackend(std::move(m_previous)); }
    ShellRecorder(const ShellRecorder&) = delete;
    ShellRecorder& operator=(const ShellRecorder&) = delete;

    const std::vector<ShellCall>& calls() const { return m_calls; }

 private:
    std::vector<ShellCall> m_calls;
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
                  m_calls.push_back({prompt, style, title});
                  return platform::vbOK;
              })) {}
    ~MessageBoxRecorder() { platform::SetMessageBoxBackend(std::move(m_previous)); }
    MessageBoxRecorder(const MessageBoxRecorder&) = delete;
    MessageBoxRecorder& operator=(const MessageBoxRecorder&) = delete;

    const std::vector<MessageBoxCall>& calls() const { return m_calls; }

 private:
    std::vector<MessageBoxCall> m_calls;
    platform::MessageBoxBackend m_previous;
};

// Calls `action` with the modal dialog once exec() shows it. Should the action leave the dialog
// open (a failed check returns early), the dialog is closed so that exec() returns.
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
