// SPDX-License-Identifier: MIT
#include "automation/automation.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <mutex>

#include "automation/systemobject.h"

namespace automation {

namespace {

AutomationError typeMismatch() {
    return AutomationError("Type mismatch.");
}

std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

struct Registry {
    std::mutex mutex;
    std::map<std::string, ObjectProvider> providers;
    std::map<std::string, DocumentPlanner> planners;
};

Registry& registry() {
    static Registry* instance = new Registry;
    return *instance;
}

}  // namespace

AutomationError::AutomationError(std::string description, std::int32_t number)
    : std::runtime_error(description), m_description(std::move(description)), m_number(number) {}

void AutomationObject::put(const std::string& name, const Variant&) {
    throw AutomationError("Object doesn't support this property or method: " + name + ".");
}

bool Variant::asBool() const {
    if (const bool* value = std::get_if<bool>(&m_value)) {
        return *value;
    }
    throw typeMismatch();
}

std::int32_t Variant::asInt() const {
    if (const std::int32_t* value = std::get_if<std::int32_t>(&m_value)) {
        return *value;
    }
    if (const bool* value = std::get_if<bool>(&m_value)) {
        return *value ? -1 : 0;
    }
    throw typeMismatch();
}

std::string Variant::asString() const {
    if (const std::string* value = std::get_if<std::string>(&m_value)) {
        return *value;
    }
    if (const bool* value = std::get_if<bool>(&m_value)) {
        return *value ? "True" : "False";
    }
    if (const std::int32_t* value = std::get_if<std::int32_t>(&m_value)) {
        return std::to_string(*value);
    }
    if (isEmpty()) {
        return {};
    }
    throw typeMismatch();
}

ObjectPtr Variant::asObject() const {
    if (const ObjectPtr* value = std::get_if<ObjectPtr>(&m_value); value && *value) {
        return *value;
    }
    throw AutomationError("Object required.");
}

bool IsMember(const std::string& name, const char* member) {
    const std::string_view wanted(member);
    return name.size() == wanted.size() &&
           std::equal(name.begin(), name.end(), wanted.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) ==
                      std::tolower(static_cast<unsigned char>(b));
           });
}

ObjectPtr CreateObject(const std::string& progId) {
    ObjectProvider provider;
    {
        Registry& reg = registry();
        std::lock_guard lock(reg.mutex);
        auto found = reg.providers.find(lowerCase(progId));
        if (found != reg.providers.end()) {
            provider = found->second;
        }
    }
    if (!provider) {
        return CreateSystemObject(progId);
    }
    ObjectPtr object = provider();
    if (!object) {
        throw AutomationError("Cannot create the object \"" + progId + "\".");
    }
    return object;
}

ObjectProvider RegisterProvider(const std::string& progId, ObjectProvider provider,
                                DocumentPlanner planner) {
    Registry& reg = registry();
    std::lock_guard lock(reg.mutex);
    const std::string key = lowerCase(progId);
    ObjectProvider previous;
    auto found = reg.providers.find(key);
    if (found != reg.providers.end()) {
        previous = std::move(found->second);
        reg.providers.erase(found);
    }
    reg.planners.erase(key);
    if (provider) {
        reg.providers.emplace(key, std::move(provider));
        if (planner) {
            reg.planners.emplace(key, std::move(planner));
        }
    }
    return previous;
}

void PlanDocuments(const std::string& progId, std::vector<std::string> sources) {
    DocumentPlanner planner;
    {
        Registry& reg = registry();
        std::lock_guard lock(reg.mutex);
        auto found = reg.planners.find(lowerCase(progId));
        if (found != reg.planners.end()) {
            planner = found->second;
        }
    }
    if (planner) {
        planner(std::move(sources));
    }
}

PlannedRun::PlannedRun(std::string progId, std::vector<std::string> sources)
    : m_progId(std::move(progId)) {
    PlanDocuments(m_progId, std::move(sources));
}

PlannedRun::~PlannedRun() {
    PlanDocuments(m_progId, {});
}

namespace {

WaitHook& waitHook() {
    static WaitHook hook;
    return hook;
}

}  // namespace

WaitHook SetAutomationWaitHook(WaitHook hook) {
    return std::exchange(waitHook(), std::move(hook));
}

void RunAutomationWaitHook() {
    if (waitHook()) {
        waitHook()();
    }
}

bool HasAutomationWaitHook() {
    return static_cast<bool>(waitHook());
}

}  // namespace automation
