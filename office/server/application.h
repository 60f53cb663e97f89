// SPDX-License-Identifier: MIT
// The object model the server offers, in the shape of Word's: the Application with its Documents
// collection and the documents opened through it. Members are matched without regard to case.
//
//   Application: Documents (get), ActiveDocument (get; an error when none is open), Quit (call)
//   Documents:   Count (get), Open(path) (call; the opened document becomes the active one)
//   Document:    Name (get), SaveAs(target, FileFormat:=6) (call; 6 is RTF, nothing else is)
#pragma once

#include <memory>

#include "automation/automation.h"
#include "office/server/engine.h"

namespace office {

class Application : public automation::AutomationObject {
 public:
    explicit Application(std::shared_ptr<Engine> engine);
    ~Application() override;

    automation::Variant get(const std::string& name) override;
    automation::Variant call(const std::string& name,
                             const std::vector<automation::Variant>& positional,
                             const automation::NamedArguments& named) override;

    // True once Quit was called: the server answers it and ends.
    bool quitRequested() const;

    struct Session;

 private:
    std::shared_ptr<Session> m_session;
};

}  // namespace office
