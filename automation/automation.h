// SPDX-License-Identifier: MIT
// Late-bound automation: objects created by ProgID whose members are reached by name, the small
// variant type their arguments and results travel in, and the error every failure comes back as.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace automation {

class AutomationObject;
using ObjectPtr = std::shared_ptr<AutomationObject>;

// A failed creation or call. The description is written for the user and is shown as it is.
class AutomationError : public std::runtime_error {
 public:
    explicit AutomationError(std::string description, std::int32_t number = 0);
    const std::string& description() const { return m_description; }
    // The error number the server gave with the description (Word's own error numbers come as
    // 0x800A0000 plus the number, as Visual Basic reports them); 0 when it gave none.
    std::int32_t number() const { return m_number; }

 private:
    std::string m_description;
    std::int32_t m_number;
};

// Empty, bool, 32-bit integer, string or object.
class Variant {
 public:
    Variant() = default;
    Variant(bool value) : m_value(value) {}
    Variant(std::int32_t value) : m_value(value) {}
    Variant(std::string value) : m_value(std::move(value)) {}
    Variant(const char* value) : m_value(std::string(value)) {}
    Variant(ObjectPtr value) : m_value(std::move(value)) {}

    bool isEmpty() const { return std::holds_alternative<std::monostate>(m_value); }
    bool isBool() const { return std::holds_alternative<bool>(m_value); }
    bool isInt() const { return std::holds_alternative<std::int32_t>(m_value); }
    bool isString() const { return std::holds_alternative<std::string>(m_value); }
    bool isObject() const { return std::holds_alternative<ObjectPtr>(m_value); }

    // Each throws AutomationError ("Type mismatch") when the value holds another type, except
    // that asString also gives the text of a bool ("True", "False") or an integer, and "" for
    // empty, and asInt also takes a bool (True is -1, as in the automation convention).
    bool asBool() const;
    std::int32_t asInt() const;
    std::string asString() const;
    ObjectPtr asObject() const;

    bool operator==(const Variant&) const = default;

 private:
    std::variant<std::monostate, bool, std::int32_t, std::string, ObjectPtr> m_value;
};

using NamedArguments = std::vector<std::pair<std::string, Variant>>;

class AutomationObject {
 public:
    virtual ~AutomationObject() = default;
    // Property get.
    virtual Variant get(const std::string& name) = 0;
    // Method call with positional arguments first, then named ones.
    virtual Variant call(const std::string& name, const std::vector<Variant>& positional = {},
                         const NamedArguments& named = {}) = 0;
    // Property put ("Application.DisplayAlerts = 0"). An object without properties that can be set
    // refuses it, as this default does.
    virtual void put(const std::string& name, const Variant& value);
};

// Whether a member name given by a caller is the member, compared without regard to case, as
// late-bound automation matches names.
bool IsMember(const std::string& name, const char* member);

// A new object of the given ProgID (compared without regard to case); throws AutomationError
// when no provider is registered for it or the provider fails.
ObjectPtr CreateObject(const std::string& progId);

using ObjectProvider = std::function<ObjectPtr()>;

// Makes the provider create the objects of the ProgID and returns the provider it replaces (an
// empty one when there was none); an empty provider removes the ProgID. No provider is
// registered from the start: each program registers its own at its entry point (on Linux, the
// office engine of the program folder as "Word.Application"). A ProgID without a provider goes
// to the system (COM on Windows).
// A provider registered with a planner also learns, before a run, which documents its objects
// will open and save as RTF, in that order, so that it may convert them ahead; registering a
// provider without one removes the planner the ProgID had.
using DocumentPlanner = std::function<void(std::vector<std::string> sources)>;
ObjectProvider RegisterProvider(const std::string& progId, ObjectProvider provider,
                                DocumentPlanner planner = {});

// Tells the provider of the ProgID which documents the objects it creates next will open and
// save as RTF, in that order; an empty list ends the plan and drops what was converted ahead and
// not taken. Does nothing when the provider has no planner. A run that plans ends the plan too,
// whichever way it ends (see PlannedRun).
void PlanDocuments(const std::string& progId, std::vector<std::string> sources);

// Plans the documents for its lifetime.
class PlannedRun {
 public:
    PlannedRun(std::string progId, std::vector<std::string> sources);
    ~PlannedRun();
    PlannedRun(const PlannedRun&) = delete;
    PlannedRun& operator=(const PlannedRun&) = delete;

 private:
    std::string m_progId;
};

// Called about twenty times a second while a call waits for the office engine, on the thread
// that waits, so that a window can repaint meanwhile. It must not make automation calls itself.
// Returns the hook it replaces.
using WaitHook = std::function<void()>;
WaitHook SetAutomationWaitHook(WaitHook hook);
// Runs the hook, if one is set; the automation client calls it while it waits.
void RunAutomationWaitHook();
bool HasAutomationWaitHook();

}  // namespace automation
