// SPDX-License-Identifier: MIT
#include "office/client/lookahead.h"

#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <optional>

#include "automation/wordcalls.h"
#include "office/client/connection.h"

namespace office::client {

using automation::AutomationError;
using automation::AutomationObject;
using automation::IsMember;
using automation::NamedArguments;
using automation::ObjectPtr;
using automation::Variant;

namespace {

// How often a run that waits for a document lets the window repaint.
constexpr auto kWaitHookInterval = std::chrono::milliseconds(50);

bool is(const std::string& name, const char* member) {
    return IsMember(name, member);
}

void removeQuietly(const std::string& file) {
    if (!file.empty()) {
        ::unlink(file.c_str());
    }
}

// A document converted ahead: SaveAs puts its result in place under the name the run gives.
class AheadDocument : public AutomationObject {
 public:
    AheadDocument(Lookahead::Taken taken, std::string name)
        : m_taken(std::move(taken)), m_name(std::move(name)) {}
    ~AheadDocument() override { removeQuietly(m_taken.file); }
    AheadDocument(const AheadDocument&) = delete;
    AheadDocument& operator=(const AheadDocument&) = delete;

    Variant get(const std::string& name) override {
        if (is(name, "Name")) {
            return m_name;
        }
        throw AutomationError("The Document object has no property named \"" + name + "\".");
    }

    Variant call(const std::string& name, const std::vector<Variant>& positional,
                 const NamedArguments& named) override {
        if (!is(name, "SaveAs")) {
            throw AutomationError("The Document object has no method named \"" + name + "\".");
        }
        automation::SaveRtfAs(m_taken.file, automation::SaveAsTarget(positional, named));
        return {};
    }

 private:
    Lookahead::Taken m_taken;
    std::string m_name;
};

// The application object of a run that converts ahead. It answers the calls of one conversion
// itself while the document is a planned one, and hands everything to a real instance otherwise.
class AheadApplication : public AutomationObject,
                         public std::enable_shared_from_this<AheadApplication> {
 public:
    AheadApplication(std::shared_ptr<Lookahead> lookahead, std::function<ObjectPtr()> unplanned)
        : m_lookahead(std::move(lookahead)), m_unplanned(std::move(unplanned)) {}

    Variant get(const std::string& name) override {
        if (m_instance) {
            return m_instance->get(name);
        }
        if (is(name, "Documents")) {
            return ObjectPtr(std::make_shared<Documents>(*this));
        }
        if (is(name, "ActiveDocument")) {
            if (!m_active) {
                throw AutomationError("This command is not available because no document is open.");
            }
            return m_active;
        }
        throw AutomationError("The Application object has no property named \"" + name + "\".");
    }

    Variant call(const std::string& name, const std::vector<Variant>& positional,
                 const NamedArguments& named) override {
        if (m_instance) {
            return m_instance->call(name, positional, named);
        }
        if (is(name, "Quit")) {
            automation::QuitArguments(positional, named);
            // The instance that converted the document ended when it had done so.
            m_active.reset();
            return {};
        }
        if (is(name, "Documents") || is(name, "ActiveDocument")) {
            return get(name);
        }
        throw AutomationError("The Application object has no method named \"" + name + "\".");
    }

    // The settings a run makes before it opens its document: they go to the instance that opens
    // an unplanned document too, and the instances that convert ahead were given the same.
    void put(const std::string& name, const Variant& value) override {
        if (m_instance) {
            m_instance->put(name, value);
            return;
        }
        if (!is(name, "DisplayAlerts") && !is(name, "AutomationSecurity") && !is(name, "Visible")) {
            throw AutomationError("The Application object has no property named \"" + name +
                                  "\" that can be set.");
        }
        m_settings.emplace_back(name, value);
    }

 private:
    class Documents : public AutomationObject {
     public:
        explicit Documents(AheadApplication& application)
            : m_application(application.shared_from_this()) {}
        Variant get(const std::string& name) override { return m_application->documentsGet(name); }
        Variant call(const std::string& name, const std::vector<Variant>& positional,
                     const NamedArguments& named) override {
            return m_application->documentsCall(name, positional, named);
        }

     private:
        std::shared_ptr<AheadApplication> m_application;
    };

    Variant documentsGet(const std::string& name) {
        if (m_instance) {
            return m_instance->get("Documents").asObject()->get(name);
        }
        if (is(name, "Count")) {
            return std::int32_t{m_active ? 1 : 0};
        }
        throw AutomationError("The Documents object has no property named \"" + name + "\".");
    }

    Variant documentsCall(const std::string& name, const std::vector<Variant>& positional,
                          const NamedArguments& named) {
        if (!m_instance && is(name, "Open") && !m_active) {
            // Converted ahead with the same arguments as every run's Open.
            const std::string source = automation::OpenSource(positional, named);
            auto taken = m_lookahead->take(source);
            if (taken && taken->result.failed == AheadResult::Failed::Opening) {
                throw AutomationError(taken->result.description);
            }
            // A document that could not be written ahead is converted again, straight into the
            // run's own target: the private folder's disk may be full where the target's is not.
            if (taken && taken->result.failed == AheadResult::Failed::Nothing) {
                m_active = std::make_shared<AheadDocument>(
                    std::move(*taken), std::filesystem::path(source).filename().string());
                return m_active;
            }
            if (taken) {
                ::unlink(taken->file.c_str());
            }
        }
        if (!m_instance) {
            if (m_active) {
                throw AutomationError(
                    "Only one document can be opened in an instance that converts ahead.");
            }
            m_instance = m_unplanned();
            for (const auto& [setting, value] : m_settings) {
                m_instance->put(setting, value);
            }
        }
        return m_instance->get("Documents").asObject()->call(name, positional, named);
    }

    std::shared_ptr<Lookahead> m_lookahead;
    std::function<ObjectPtr()> m_unplanned;
    ObjectPtr m_instance;
    ObjectPtr m_active;
    automation::NamedArguments m_settings;
};

}  // namespace

void AheadCancel::onCancel(std::function<void()> abort) {
    std::unique_lock lock(m_mutex);
    if (m_cancelled) {
        lock.unlock();
        if (abort) {
            abort();
        }
        return;
    }
    m_abort = std::move(abort);
}

void AheadCancel::cancel() {
    std::function<void()> abort;
    {
        std::lock_guard lock(m_mutex);
        m_cancelled = true;
        abort = std::move(m_abort);
    }
    if (abort) {
        abort();
    }
}

bool AheadCancel::cancelled() const {
    std::lock_guard lock(m_mutex);
    return m_cancelled;
}

AheadConverter convertInFreshInstances(OfficeOptions options, std::shared_ptr<Launcher> launcher) {
    return [options = std::move(options), launcher = std::move(launcher)](
               const std::string& source, const std::string& target, AheadCancel& cancel) {
        // The calls do not run the wait hook: they are made on a slot's thread, not the window's.
        auto connection = std::make_shared<Connection>(options, false);
        cancel.onCancel([weak = std::weak_ptr<Connection>(connection)] {
            if (auto alive = weak.lock()) {
                alive->abort();
            }
        });
        const std::optional<automation::WordFailure> failure =
            automation::ConvertWithWord(source, target, {}, [&connection, &launcher] {
                connection->start(launcher);
                return connection->root();
            });
        cancel.onCancel({});
        if (!failure || failure->step == automation::WordStep::Quit) {
            // Written: what Quit said does not matter, the instance ends with its connection.
            return AheadResult{};
        }
        return AheadResult{failure->step == automation::WordStep::SaveAs
                               ? AheadResult::Failed::Saving
                               : AheadResult::Failed::Opening,
                           failure->description};
    };
}

Lookahead::Lookahead(std::vector<std::string> sources, AheadConverter convert, AheadLimits limits,
                     std::string folder)
    : m_convert(std::move(convert)), m_limits(limits), m_folder(std::move(folder)) {
    m_limits.slots = std::max(1, m_limits.slots);
    m_limits.waitingResults = std::max(0, m_limits.waitingResults);
    for (std::size_t i = 0; i < sources.size(); ++i) {
        Entry entry;
        entry.source = std::move(sources[i]);
        // Named by position only, so that no name of the user's reaches the private folder.
        entry.file = m_folder + "/" + std::to_string(i + 1) + ".rtf";
        std::error_code unknown;
        entry.bytes = std::filesystem::file_size(entry.source, unknown);
        if (unknown) {
            entry.bytes = 0;
        }
        m_entries.push_back(std::move(entry));
    }
    const auto slots =
        std::min<std::size_t>(static_cast<std::size_t>(m_limits.slots), m_entries.size());
    for (std::size_t i = 0; i < slots; ++i) {
        m_slots.emplace_back([this] { runSlot(); });
    }
}

Lookahead::~Lookahead() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        for (Entry& entry : m_entries) {
            if (entry.state == State::Converting) {
                entry.cancel->cancel();
            }
        }
    }
    m_changed.notify_all();
    for (std::thread& slot : m_slots) {
        slot.join();
    }
    std::error_code ignored;
    std::filesystem::remove_all(m_folder, ignored);
}

ObjectPtr Lookahead::application(std::function<ObjectPtr()> unplanned) {
    return std::make_shared<AheadApplication>(shared_from_this(), std::move(unplanned));
}

std::ptrdiff_t Lookahead::nextToStart() const {
    if (m_cursor >= m_entries.size()) {
        return -1;
    }
    // The document the run is at always starts; the others only within the bounds.
    if (m_entries[m_cursor].state == State::Waiting) {
        return static_cast<std::ptrdiff_t>(m_cursor);
    }
    const std::size_t bound = static_cast<std::size_t>(m_limits.waitingResults);
    const std::size_t end = m_cursor + 1 + std::min(bound, m_entries.size() - m_cursor - 1);
    std::size_t ahead = 0;
    for (std::size_t i = m_cursor + 1; i < end; ++i) {
        ahead += m_entries[i].state == State::Converting || m_entries[i].state == State::Done;
    }
    if (ahead >= bound || !diskHasRoom()) {
        return -1;
    }
    // The largest document within the bound starts first: the time a document takes grows with
    // its size, and a long one started early converts beside the short ones instead of holding
    // up the end of the run. Equal sizes start in list order.
    std::ptrdiff_t largest = -1;
    for (std::size_t i = m_cursor + 1; i < end; ++i) {
        if (m_entries[i].state == State::Waiting &&
            (largest < 0 ||
             m_entries[i].bytes > m_entries[static_cast<std::size_t>(largest)].bytes)) {
            largest = static_cast<std::ptrdiff_t>(i);
        }
    }
    return largest;
}

bool Lookahead::diskHasRoom() const {
    struct statvfs info {};
    if (::statvfs(m_folder.c_str(), &info) != 0) {
        return false;
    }
    return static_cast<std::uint64_t>(info.f_bavail) * info.f_frsize >= m_limits.reservedBytes;
}

void Lookahead::runSlot() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        std::ptrdiff_t next = -1;
        // Waiting for room is bounded in time: the free disk space may grow without anything
        // here changing.
        m_changed.wait_for(lock, std::chrono::seconds(1), [this, &next] {
            next = m_stopping ? -1 : nextToStart();
            return m_stopping || next >= 0;
        });
        if (m_stopping) {
            return;
        }
        if (next < 0) {
            continue;
        }
        Entry& entry = m_entries[static_cast<std::size_t>(next)];
        entry.state = State::Converting;
        entry.cancel = std::make_shared<AheadCancel>();
        const std::string source = entry.source;
        const std::string file = entry.file;
        const auto cancel = entry.cancel;
        lock.unlock();
        AheadResult result = m_convert(source, file, *cancel);
        lock.lock();
        Entry& done = m_entries[static_cast<std::size_t>(next)];
        if (done.state == State::Gone || cancel->cancelled()) {
            // Passed over while it converted.
            done.state = State::Gone;
            removeQuietly(file);
        } else {
            done.state = State::Done;
            done.result = std::move(result);
        }
        m_changed.notify_all();
    }
}

void Lookahead::drop(Entry& entry) {
    if (entry.state == State::Converting) {
        entry.cancel->cancel();
    } else if (entry.state == State::Done) {
        removeQuietly(entry.file);
    }
    entry.state = State::Gone;
}

std::optional<Lookahead::Taken> Lookahead::take(const std::string& source) {
    std::unique_lock lock(m_mutex);
    std::size_t found = m_cursor;
    while (found < m_entries.size() &&
           (m_entries[found].source != source || m_entries[found].state == State::Gone)) {
        ++found;
    }
    if (found == m_entries.size()) {
        return std::nullopt;
    }
    // The run passed over the documents before this one (their sources went missing, say):
    // their conversions are of no use any more.
    for (std::size_t i = m_cursor; i < found; ++i) {
        drop(m_entries[i]);
    }
    m_cursor = found;
    m_changed.notify_all();
    Entry& entry = m_entries[found];
    while (entry.state != State::Done) {
        if (automation::HasAutomationWaitHook()) {
            m_changed.wait_for(lock, kWaitHookInterval);
            lock.unlock();
            automation::RunAutomationWaitHook();
            lock.lock();
        } else {
            m_changed.wait(lock);
        }
    }
    Taken taken;
    taken.result = std::move(entry.result);
    taken.file = entry.file;
    entry.state = State::Gone;
    m_cursor = found + 1;
    m_changed.notify_all();
    return taken;
}

}  // namespace office::client
