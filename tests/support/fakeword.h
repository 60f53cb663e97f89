// SPDX-License-Identifier: MIT
// An in-process "Word.Application" for tests: it records every call in one event log, writes a
// small RTF file on SaveAs, and fails on cue. While it lives it is the provider of the ProgID.
#pragma once

#include <fstream>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/automation.h"

namespace testsupport {

class FakeWord {
 public:
    FakeWord() {
        m_previous =
            platform::RegisterProvider("Word.Application", [this]() -> platform::ObjectPtr {
                events.push_back("create");
                if (failCreation) {
                    throw platform::AutomationError("The office engine is not installed.");
                }
                ++instances;
                return std::make_shared<Application>(*this);
            });
    }
    ~FakeWord() { platform::RegisterProvider("Word.Application", m_previous); }
    FakeWord(const FakeWord&) = delete;
    FakeWord& operator=(const FakeWord&) = delete;

    // Everything that happened, in order: "create", "Documents", "Open <path>",
    // "ActiveDocument", "SaveAs <path> FileFormat=<n>", "Quit"; tests add their own events.
    std::vector<std::string> events;
    bool failCreation = false;
    // Documents whose Open fails, by full path.
    std::set<std::string> unreadable;
    bool failSave = false;
    int instances = 0;
    // Runs inside every Open, while the call is under way.
    std::function<void()> whileOpening;

 private:
    class Document : public platform::AutomationObject {
     public:
        explicit Document(FakeWord& word) : m_word(word) {}
        platform::Variant get(const std::string& name) override {
            throw platform::AutomationError("Unknown property " + name);
        }
        platform::Variant call(const std::string& name,
                               const std::vector<platform::Variant>& positional,
                               const platform::NamedArguments& named) override {
            if (name != "SaveAs" || positional.size() != 1 || named.size() != 1) {
                throw platform::AutomationError("Bad call " + name);
            }
            const std::string target = positional[0].asString();
            m_word.events.push_back("SaveAs " + target + " " + named[0].first + "=" +
                                    named[0].second.asString());
            if (m_word.failSave) {
                throw platform::AutomationError("The folder cannot be written.");
            }
            std::ofstream(target) << "{\\rtf1 converted}";
            return {};
        }

     private:
        FakeWord& m_word;
    };

    class Documents : public platform::AutomationObject {
     public:
        Documents(FakeWord& word, platform::ObjectPtr& active) : m_word(word), m_active(active) {}
        platform::Variant get(const std::string& name) override {
            throw platform::AutomationError("Unknown property " + name);
        }
        platform::Variant call(const std::string& name,
                               const std::vector<platform::Variant>& positional,
                               const platform::NamedArguments& named) override {
            if (name != "Open" || positional.size() != 1 || !named.empty()) {
                throw platform::AutomationError("Bad call " + name);
            }
            const std::string path = positional[0].asString();
            m_word.events.push_back("Open " + path);
            if (m_word.whileOpening) {
                m_word.whileOpening();
            }
            if (m_word.unreadable.count(path) != 0) {
                throw platform::AutomationError("The document cannot be opened.");
            }
            m_active = std::make_shared<Document>(m_word);
            return m_active;
        }

     private:
        FakeWord& m_word;
        platform::ObjectPtr& m_active;
    };

    class Application : public platform::AutomationObject {
     public:
        explicit Application(FakeWord& word) : m_word(word) {}
        platform::Variant get(const std::string& name) override {
            m_word.events.push_back(name);
            if (name == "Documents") {
                return platform::ObjectPtr(std::make_shared<Documents>(m_word, m_active));
            }
            if (name == "ActiveDocument" && m_active) {
                return m_active;
            }
            throw platform::AutomationError("No document is open.");
        }
        platform::Variant call(const std::string& name, const std::vector<platform::Variant>&,
                               const platform::NamedArguments&) override {
            m_word.events.push_back(name);
            return {};
        }

     private:
        FakeWord& m_word;
        platform::ObjectPtr m_active;
    };

    platform::ObjectProvider m_previous;
};

}  // namespace testsupport
