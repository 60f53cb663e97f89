// SPDX-License-Identifier: MIT
#include "office/client/officeclient.h"

#include <sched.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <string>

#include "office/client/connection.h"
#include "office/client/lookahead.h"
#include "office/client/officelauncher.h"
#include "platform/error.h"
#include "platform/paths.h"

namespace office::client {

using automation::ObjectProvider;
using automation::ObjectPtr;

namespace {

// What one office instance may take at its peak (proportional set size, with what it shares
// with the launcher counted in part), with a margin for large documents; and what the desktop
// keeps for itself.
constexpr std::uint64_t kInstanceKiB = std::uint64_t{512} << 10;
constexpr std::uint64_t kDesktopReserveKiB = std::uint64_t{1} << 20;

// What the provider and its planner share: the launcher, how fresh instances are made, and the
// look-ahead of the run under way.
struct OfficeState {
    explicit OfficeState(OfficeOptions chosen)
        : options(std::move(chosen)),
          launcher(std::make_shared<LauncherSlot>(options)),
          instances(freshInstances(options, launcher)) {}
    OfficeOptions options;
    std::shared_ptr<LauncherSlot> launcher;
    ObjectProvider instances;
    std::mutex mutex;
    std::shared_ptr<Lookahead> lookahead;
};

}  // namespace

int conversionSlots(const OfficeOptions& options) {
    constexpr int kMostSlots = 8;
    if (options.conversions > 0) {
        return std::min(options.conversions, kMostSlots);
    }
    if (const char* chosen = std::getenv("PAVENDEL_CONVERSIONS"); chosen != nullptr) {
        char* end = nullptr;
        const long value = std::strtol(chosen, &end, 10);
        if (end != chosen && *end == '\0' && value >= 1) {
            return static_cast<int>(std::min<long>(value, kMostSlots));
        }
    }
    // One per processor this program may run on, as long as the memory leaves the desktop room.
    cpu_set_t cpus;
    CPU_ZERO(&cpus);
    const int processors = ::sched_getaffinity(0, sizeof(cpus), &cpus) == 0 ? CPU_COUNT(&cpus) : 1;
    std::uint64_t availableKiB = 0;
    std::ifstream meminfo("/proc/meminfo");
    for (std::string line; std::getline(meminfo, line);) {
        if (line.rfind("MemAvailable:", 0) == 0) {
            availableKiB = std::strtoull(line.c_str() + 13, nullptr, 10);
        }
    }
    int byMemory = kMostSlots;
    if (availableKiB > 0) {
        const std::uint64_t reserve = kDesktopReserveKiB;
        byMemory = availableKiB > reserve
                       ? static_cast<int>(std::min<std::uint64_t>(
                             (availableKiB - reserve) / kInstanceKiB, kMostSlots))
                       : 1;
    }
    return std::clamp(std::min(processors, byMemory), 1, kMostSlots);
}

OfficeAutomation officeAutomation(OfficeOptions options) {
    auto state = std::make_shared<OfficeState>(std::move(options));
    OfficeAutomation automation;
    automation.provider = [state]() -> ObjectPtr {
        std::shared_ptr<Lookahead> lookahead;
        {
            std::lock_guard lock(state->mutex);
            lookahead = state->lookahead;
        }
        if (lookahead) {
            return lookahead->application(state->instances);
        }
        return state->instances();
    };
    automation.planner = [state](std::vector<std::string> sources) {
        std::shared_ptr<Lookahead> previous;
        {
            std::lock_guard lock(state->mutex);
            previous = std::move(state->lookahead);
        }
        // Stops what the previous plan still had under way (once the run lets go of it).
        const bool ended = previous != nullptr;
        previous.reset();
        if (sources.empty()) {
            if (ended) {
                // Back to one spare: a program that waits for its next run holds one instance.
                if (auto launcher = state->launcher->running()) {
                    launcher->keepSpares(1);
                }
            }
            return;
        }
        AheadLimits limits;
        limits.slots = conversionSlots(state->options);
        std::string folder;
        try {
            folder = platform::makeWorkFolder(platform::cacheFolder(), "ahead");
        } catch (const platform::SystemError&) {
            return;  // then every document converts when the run reaches it
        }
        // Started here, on the run's thread: the launcher ends with the thread that started it,
        // and the slots' threads end with the plan.
        auto launcher = state->launcher->get();
        if (launcher) {
            launcher->keepSpares(limits.slots);
        }
        auto lookahead = std::make_shared<Lookahead>(
            std::move(sources), convertInFreshInstances(state->options, launcher), limits, folder);
        std::lock_guard lock(state->mutex);
        state->lookahead = std::move(lookahead);
    };
    automation.startEarly = [state] { state->launcher->startEarly(); };
    return automation;
}

std::function<void()> RegisterWordApplication(OfficeOptions options) {
    OfficeAutomation office = officeAutomation(std::move(options));
    automation::RegisterProvider("Word.Application", std::move(office.provider),
                                 std::move(office.planner));
    return std::move(office.startEarly);
}

ObjectProvider officeProvider(OfficeOptions options) {
    return OfficeState(std::move(options)).instances;
}

}  // namespace office::client
