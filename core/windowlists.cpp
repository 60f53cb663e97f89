// SPDX-License-Identifier: MIT
#include "core/windowlists.h"

#include <exception>
#include <vector>

#include "core/listcommands.h"
#include "platform/error.h"

namespace core {

namespace {

// Runs one save and returns what to tell the user when it fails, or an empty text.
template <typename Save>
std::string trySave(const Save& save, const std::string& path) {
    try {
        save();
        return {};
    } catch (const platform::SystemError& error) {
        return "Could not save " + error.path() + ": " + error.reason();
    } catch (const std::exception& error) {
        return "Could not save " + path + ": " + error.what();
    }
}

}  // namespace

void RestoreLists(const MainControls& controls, const state::StateFiles& files) {
    for (const std::string& path : files.ReadSourceList()) {
        controls.ListView1.append(path);
        controls.ListView1.setSmallIcon(controls.ListView1.count(), IconForPath(path));
    }
    for (const std::string& folder : files.ReadOutputHistory()) {
        controls.Combo2.insert(controls.Combo2.count(), folder);
    }
    if (controls.Combo2.count() >= 1) {
        controls.Combo2.setCurrentPosition(0);
    }
}

std::string SaveLists(const MainControls& controls, const state::StateFiles& files) {
    const state::Settings settings = files.ReadSettings();
    std::vector<std::string> failures;
    if (settings.saveSourceList) {
        std::vector<std::string> entries;
        for (int position = 1; position <= controls.ListView1.count(); ++position) {
            entries.push_back(controls.ListView1.text(position));
        }
        failures.push_back(
            trySave([&] { files.WriteSourceList(entries); }, files.path(state::kSourceListFile)));
    }
    if (settings.saveOutputHistory) {
        std::vector<std::string> entries;
        for (int position = 0; position < controls.Combo2.count(); ++position) {
            entries.push_back(controls.Combo2.itemText(position));
        }
        failures.push_back(trySave([&] { files.WriteOutputHistory(entries); },
                                   files.path(state::kOutputHistoryFile)));
    }
    std::string message;
    for (const std::string& failure : failures) {
        if (!failure.empty()) {
            message += (message.empty() ? "" : "\n") + failure;
        }
    }
    return message;
}

}  // namespace core
