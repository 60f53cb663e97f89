// SPDX-License-Identifier: MIT
// Message boxes and shell calls recorded instead of shown, for as long as the recorder lives.
#pragma once

#include <string>
#include <vector>

#include "platform/msgbox.h"
#include "platform/shell.h"

namespace testsupport {

struct Message {
    std::string prompt;
    int style;
    std::string title;
    bool operator==(const Message&) const = default;
};

class MessageRecorder {
 public:
    MessageRecorder()
        : m_previous(platform::SetMessageBoxBackend(
              [this](const std::string& prompt, int style, const std::string& title) {
                  messages.push_back({prompt, style, title});
                  if ((style & 0x0F) != platform::vbYesNo) {
                      return platform::vbOK;
                  }
                  const int answer = answers.empty() ? platform::vbNo : answers.front();
                  if (!answers.empty()) {
                      answers.erase(answers.begin());
                  }
                  return answer;
              })) {}
    ~MessageRecorder() { platform::SetMessageBoxBackend(m_previous); }
    MessageRecorder(const MessageRecorder&) = delete;
    MessageRecorder& operator=(const MessageRecorder&) = delete;

    std::vector<Message> messages;
    // How the Yes/No questions are answered, in order (No once these are used up).
    std::vector<int> answers;

 private:
    platform::MessageBoxBackend m_previous;
};

struct ShellCall {
    platform::Hwnd owner;
    std::string operation;
    std::string file;
    std::string parameters;
    std::string directory;
    int show;
    bool operator==(const ShellCall&) const = default;
};

class ShellRecorder {
 public:
    ShellRecorder()
        : m_previous(platform::SetShellBackend(
              [this](platform::Hwnd owner, const std::string& operation, const std::string& file,
                     const std::string& parameters, const std::string& directory, int show) {
                  calls.push_back({owner, operation, file, parameters, directory, show});
                  return std::intptr_t{42};
              })) {}
    ~ShellRecorder() { platform::SetShellBackend(m_previous); }
    ShellRecorder(const ShellRecorder&) = delete;
    ShellRecorder& operator=(const ShellRecorder&) = delete;

    std::vector<ShellCall> calls;

 private:
    platform::ShellBackend m_previous;
};

}  // namespace testsupport
