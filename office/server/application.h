// SPDX-License-Identifier: MIT
// The object model the server offers, in the shape of Word's: the Application with its Documents
// collection and the documents opened through it. Members are matched without regard to case.
//
//   Application: Documents (get), ActiveDocument (get; an error when none is open),
//                DisplayAlerts, AutomationSecurity, Visible (get and put; no alert is ever shown,
//                no macro ever runs, there is no window), Quit([SaveChanges]) (call)
//   Documents:   Count (get), Open(path, [Word's arguments]) (call; the opened document becomes
//                the active one)
//   Document:    Name (get), SaveAs(target, FileFormat:=6, [AddToRecentFiles]) (call; 6 is RTF,
//                nothing else is)
// The arguments are checked as automation/wordcalls.h says Word takes them.
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
    void put(const std::string& name, const automation::Variant& value) override;

    // True once Quit was called: the server answers it and ends.
    bool quitRequested() const;

    struct Session;

 private:
    std::shared_ptr<Session> m_session;
};

}  // namespace office
