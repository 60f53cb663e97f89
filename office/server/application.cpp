// SPDX-License-Identifier: MIT
#include "office/server/application.h"

#include <algorithm>
#include <vector>

#include "automation/wordcalls.h"

namespace office {

using automation::AutomationError;
using automation::NamedArguments;
using automation::Variant;

class Document;

struct Application::Session {
    std::shared_ptr<Engine> engine;
    automation::ObjectPtr documents;
    std::vector<std::shared_ptr<Document>> open;
    bool quit = false;
    // Word's defaults for an Application started by automation.
    std::int32_t displayAlerts = -1;      // wdAlertsAll
    std::int32_t automationSecurity = 1;  // msoAutomationSecurityLow
};

namespace {

bool is(const std::string& name, const char* member) {
    return automation::IsMember(name, member);
}

std::string plural(std::size_t count, const char* noun) {
    return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

[[noreturn]] void noMember(const char* object, const std::string& name) {
    throw AutomationError("The " + std::string(object) +
                          " object has no property or method named \"" + name + "\".");
}

[[noreturn]] void notAProperty(const char* object, const std::string& name) {
    throw AutomationError(name + " is a method of the " + object +
                          " object and must be called, not read.");
}

void expectNoArguments(const std::string& what, const std::vector<Variant>& positional,
                       const NamedArguments& named) {
    if (!positional.empty() || !named.empty()) {
        throw AutomationError(what + " takes no arguments, but was given " +
                              plural(positional.size() + named.size(), "argument") + ".");
    }
}

}  // namespace

class Document : public automation::AutomationObject {
 public:
    explicit Document(std::unique_ptr<LoadedDocument> loaded) : m_loaded(std::move(loaded)) {}

    Variant get(const std::string& name) override {
        if (is(name, "Name")) {
            return m_loaded->name();
        }
        if (is(name, "SaveAs")) {
            notAProperty("Document", name);
        }
        noMember("Document", name);
    }

    Variant call(const std::string& name, const std::vector<Variant>& positional,
                 const NamedArguments& named) override {
        if (!is(name, "SaveAs")) {
            if (is(name, "Name")) {
                expectNoArguments(name, positional, named);
                return get(name);
            }
            noMember("Document", name);
        }
        m_loaded->saveRtf(automation::SaveAsTarget(positional, named));
        return {};
    }

 private:
    std::unique_ptr<LoadedDocument> m_loaded;
};

namespace {

class Documents : public automation::AutomationObject {
 public:
    explicit Documents(Application::Session& session) : m_session(session) {}

    Variant get(const std::string& name) override {
        if (is(name, "Count")) {
            return static_cast<std::int32_t>(m_session.open.size());
        }
        if (is(name, "Open")) {
            notAProperty("Documents", name);
        }
        noMember("Documents", name);
    }

    Variant call(const std::string& name, const std::vector<Variant>& positional,
                 const NamedArguments& named) override {
        if (!is(name, "Open")) {
            if (is(name, "Count")) {
                expectNoArguments(name, positional, named);
                return get(name);
            }
            noMember("Documents", name);
        }
        // What the named arguments ask of Word the engine does anyway: it converts a private copy
        // read-only, keeps no list of recent files, asks no question and refuses an encrypted
        // document, whatever password it is given.
        auto document = std::make_shared<Document>(
            m_session.engine->open(automation::OpenSource(positional, named)));
        m_session.open.push_back(document);
        return automation::ObjectPtr(document);
    }

 private:
    Application::Session& m_session;
};

}  // namespace

Application::Application(std::shared_ptr<Engine> engine) : m_session(std::make_shared<Session>()) {
    m_session->engine = std::move(engine);
    m_session->documents = std::make_shared<Documents>(*m_session);
}

Application::~Application() = default;

Variant Application::get(const std::string& name) {
    if (is(name, "Documents")) {
        return m_session->documents;
    }
    if (is(name, "ActiveDocument")) {
        if (m_session->open.empty()) {
            throw AutomationError("This command is not available because no document is open.");
        }
        return automation::ObjectPtr(m_session->open.back());
    }
    if (is(name, "DisplayAlerts")) {
        return m_session->displayAlerts;
    }
    if (is(name, "AutomationSecurity")) {
        return m_session->automationSecurity;
    }
    if (is(name, "Visible")) {
        return false;
    }
    if (is(name, "Quit")) {
        notAProperty("Application", name);
    }
    noMember("Application", name);
}

void Application::put(const std::string& name, const Variant& value) {
    // The engine never shows an alert and never runs a macro, whatever these say; they are kept
    // so that reading them back gives what was set.
    if (is(name, "DisplayAlerts")) {
        m_session->displayAlerts = value.asInt();
    } else if (is(name, "AutomationSecurity")) {
        m_session->automationSecurity = value.asInt();
    } else if (is(name, "Visible")) {
        if (value.asBool()) {
            throw AutomationError("The office engine has no window to show.");
        }
    } else if (is(name, "Documents") || is(name, "ActiveDocument")) {
        throw AutomationError(name + " is read-only.");
    } else {
        noMember("Application", name);
    }
}

Variant Application::call(const std::string& name, const std::vector<Variant>& positional,
                          const NamedArguments& named) {
    if (is(name, "Quit")) {
        // Nothing is ever saved back: the documents are private copies.
        automation::QuitArguments(positional, named);
        // Closing the documents drops whatever the engine keeps for them.
        m_session->open.clear();
        m_session->quit = true;
        return {};
    }
    if (is(name, "Documents") || is(name, "ActiveDocument")) {
        expectNoArguments(name, positional, named);
        return get(name);
    }
    noMember("Application", name);
}

bool Application::quitRequested() const {
    return m_session->quit;
}

}  // namespace office
