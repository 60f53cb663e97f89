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

#include "automation/automation.h"
#include "automation/wordcalls.h"

namespace testsupport {

class FakeWord {
 public:
    FakeWord() {
        m_previous =
            automation::RegisterProvider("Word.Application", [this]() -> automation::ObjectPtr {
                events.push_back("create");
                if (failCreation) {
                    throw automation::AutomationError("The office engine is not installed.");
                }
                ++instances;
                return std::make_shared<Application>(*this);
            });
    }
    ~FakeWord() { automation::RegisterProvider("Word.Application", m_previous); }
    FakeWord(const FakeWord&) = delete;
    FakeWord& operator=(const FakeWord&) = delete;

    // Everything that happened, in order: "create", "Documents", "Open <path>",
    // "ActiveDocument", "SaveAs <path> FileFormat=<n>", "Quit"; tests add their own events.
    std::vector<std::string> events;
    bool failCreation = false;
    // Documents whose Open fails, by full path.
    std::set<std::string> unreadable;
    bool failSave = false;
    bool failQuit = false;
    int instances = 0;
    // Runs inside every Open, while the call is under way.
    std::function<void()> whileOpening;

 private:
    class Document : public automation::AutomationObject {
     public:
        explicit Document(FakeWord& word) : m_word(word) {}
        automation::Variant get(const std::string& name) override {
            throw automation::AutomationError("Unknown property " + name);
        }
        automation::Variant call(const std::string& name,
                                 const std::vector<automation::Variant>& positional,
                                 const automation::NamedArguments& named) override {
            if (name != "SaveAs") {
                throw automation::AutomationError("Bad call " + name);
            }
            // Refuses what Word would refuse, then records the arguments as they were given.
            const std::string target = automation::SaveAsTarget(positional, named);
            std::string event = "SaveAs";
            for (const automation::Variant& value : positional) {
                event.append(" ").append(value.asString());
            }
            for (const auto& [argument, value] : named) {
                event.append(" ").append(argument).append("=").append(value.asString());
            }
            m_word.events.push_back(event);
            if (m_word.failSave) {
                throw automation::AutomationError("The folder cannot be written.");
            }
            std::ofstream(target) << "{\\rtf1 converted}";
            return {};
        }

     private:
        FakeWord& m_word;
    };

    class Documents : public automation::AutomationObject {
     public:
        Documents(FakeWord& word, automation::ObjectPtr& active) : m_word(word), m_active(active) {}
        automation::Variant get(const std::string& name) override {
            throw automation::AutomationError("Unknown property " + name);
        }
        automation::Variant call(const std::string& name,
                                 const std::vector<automation::Variant>& positional,
                                 const automation::NamedArguments& named) override {
            if (name != "Open" || positional.size() != 1 || !named.empty()) {
                throw automation::AutomationError("Bad call " + name);
            }
            const std::string path = positional[0].asString();
            m_word.events.push_back("Open " + path);
            if (m_word.whileOpening) {
                m_word.whileOpening();
            }
            if (m_word.unreadable.count(path) != 0) {
                throw automation::AutomationError("The document cannot be opened.");
            }
            m_active = std::make_shared<Document>(m_word);
            return m_active;
        }

     private:
        FakeWord& m_word;
        automation::ObjectPtr& m_active;
    };

    class Application : public automation::AutomationObject {
     public:
        explicit Application(FakeWord& word) : m_word(word) {}
        automation::Variant get(const std::string& name) override {
            m_word.events.push_back(name);
            if (name == "Documents") {
                return automation::ObjectPtr(std::make_shared<Documents>(m_word, m_active));
            }
            if (name == "ActiveDocument" && m_active) {
                return m_active;
            }
            throw automation::AutomationError("No document is open.");
        }
        automation::Variant call(const std::string& name, const std::vector<automation::Variant>&,
                                 const automation::NamedArguments&) override {
            m_word.events.push_back(name);
            if (name == "Quit" && m_word.failQuit) {
                throw automation::AutomationError("Word could not quit.");
            }
            return {};
        }

     private:
        FakeWord& m_word;
        automation::ObjectPtr m_active;
    };

    automation::ObjectProvider m_previous;
};

}  // namespace testsupport
