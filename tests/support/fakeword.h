// SPDX-License-Identifier: MIT
// An in-process "Word.Application" for tests: it records every call in one event log, writes a
// small RTF file on SaveAs as the office engine puts its files in place (never over a taken name,
// into the folder a run holds open), and fails on cue. While it lives it is the provider of the
// ProgID.
#pragma once

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <random>
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

    // Everything that happened, in order: "create", "DisplayAlerts=0", "Documents", "Open <path>",
    // "ActiveDocument", "SaveAs <path> FileFormat=<n> ...", "Quit SaveChanges=0", with every
    // argument of a call as given (but Open's named ones); tests add their own events.
    std::vector<std::string> events;
    // The named arguments of the last Open.
    automation::NamedArguments openArguments;
    bool failCreation = false;
    // Documents whose Open fails, by full path; encrypted ones fail as Word does for a password
    // that does not open them.
    std::set<std::string> unreadable;
    std::set<std::string> encrypted;
    bool failSave = false;
    bool failQuit = false;
    int instances = 0;
    // Runs inside every Open, while the call is under way.
    std::function<void()> whileOpening;
    // Runs inside every SaveAs with its target, before the file is written: another program may
    // take the name then.
    std::function<void(const std::string& target)> whileSaving;

 private:
    static std::string event(const std::string& name,
                             const std::vector<automation::Variant>& positional,
                             const automation::NamedArguments& named) {
        std::string text = name;
        for (const automation::Variant& value : positional) {
            text.append(" ").append(value.asString());
        }
        for (const auto& [argument, value] : named) {
            text.append(" ").append(argument).append("=").append(value.asString());
        }
        return text;
    }

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
            m_word.events.push_back(event("SaveAs", positional, named));
            if (m_word.failSave) {
                throw automation::AutomationError("The folder cannot be written.");
            }
            if (m_word.whileSaving) {
                m_word.whileSaving(target);
            }
            // The converted file, removed however the save ends.
            struct Converted {
                std::filesystem::path file =
                    std::filesystem::temp_directory_path() /
                    ("pavendel-fakeword-" + std::to_string(std::random_device{}()) + ".rtf");
                ~Converted() {
                    std::error_code ignored;
                    std::filesystem::remove(file, ignored);
                }
            } converted;
            std::ofstream(converted.file) << "{\\rtf1 converted}";
            automation::SaveRtfAs(converted.file.string(), target);
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
            if (name != "Open") {
                throw automation::AutomationError("Bad call " + name);
            }
            const std::string path = automation::OpenSource(positional, named);
            m_word.events.push_back("Open " + path);
            m_word.openArguments = named;
            if (m_word.whileOpening) {
                m_word.whileOpening();
            }
            if (m_word.unreadable.count(path) != 0) {
                throw automation::AutomationError("The document cannot be opened.");
            }
            if (m_word.encrypted.count(path) != 0) {
                throw automation::AutomationError(
                    "The password is incorrect. Word cannot open the document.",
                    automation::kWordWrongPassword);
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
        automation::Variant call(const std::string& name,
                                 const std::vector<automation::Variant>& positional,
                                 const automation::NamedArguments& named) override {
            if (name != "Quit") {
                throw automation::AutomationError("Bad call " + name);
            }
            automation::QuitArguments(positional, named);
            m_word.events.push_back(event(name, positional, named));
            if (m_word.failQuit) {
                throw automation::AutomationError("Word could not quit.");
            }
            return {};
        }
        void put(const std::string& name, const automation::Variant& value) override {
            m_word.events.push_back(name + "=" + value.asString());
        }

     private:
        FakeWord& m_word;
        automation::ObjectPtr m_active;
    };

    automation::ObjectProvider m_previous;
};

}  // namespace testsupport
