// SPDX-License-Identifier: MIT
#include "state/statefiles.h"

#include <filesystem>
#include <system_error>
#include <utility>

#include "platform/paths.h"
#include "platform/textfile.h"

namespace state {

bool IsOn(const std::string& line) {
    return line == "1";
}

StateFiles::StateFiles(std::string folder) : m_folder(std::move(folder)) {}

std::string StateFiles::path(const char* fileName) const {
    return platform::inFolder(m_folder, fileName);
}

namespace {

bool exists(const std::string& path) {
    std::error_code error;
    return std::filesystem::exists(
        std::filesystem::symlink_status(platform::ToFsPath(path), error));
}

std::vector<std::string> readList(const std::string& path) {
    return platform::ReadLines(path).value_or(std::vector<std::string>{});
}

}  // namespace

void StateFiles::CreateOnFirstStart() const {
    if (exists(path(kSourceListFile)) || exists(path(kOutputHistoryFile)) ||
        exists(path(kSettingsFile))) {
        return;
    }
    try {
        platform::WriteLines(path(kSourceListFile), {});
        platform::WriteLines(path(kOutputHistoryFile), {});
        platform::WriteLines(path(kSettingsFile), {"1", "1"});
    } catch (const std::exception&) {
        // A folder that cannot be written is reported when the lists are saved at exit.
    }
}

std::vector<std::string> StateFiles::ReadSourceList() const {
    return readList(path(kSourceListFile));
}

std::vector<std::string> StateFiles::ReadOutputHistory() const {
    return readList(path(kOutputHistoryFile));
}

SettingsLines StateFiles::ReadSettingsLines() const {
    SettingsLines settings;
    const std::vector<std::string> lines = readList(path(kSettingsFile));
    if (!lines.empty()) {
        settings.line1 = lines[0];
        settings.hasLine1 = true;
    }
    if (lines.size() > 1) {
        settings.line2 = lines[1];
        settings.hasLine2 = true;
    }
    return settings;
}

Settings StateFiles::ReadSettings() const {
    const SettingsLines lines = ReadSettingsLines();
    return Settings{IsOn(lines.line1), IsOn(lines.line2)};
}

void StateFiles::WriteSourceList(const std::vector<std::string>& entries) const {
    platform::WriteLines(path(kSourceListFile), entries);
}

void StateFiles::WriteOutputHistory(const std::vector<std::string>& entries) const {
    if (entries.size() <= kMaxOutputHistoryLines) {
        platform::WriteLines(path(kOutputHistoryFile), entries);
        return;
    }
    platform::WriteLines(
        path(kOutputHistoryFile),
        std::vector<std::string>(entries.begin(), entries.begin() + kMaxOutputHistoryLines));
}

void StateFiles::WriteSettings(const Settings& settings) const {
    platform::WriteLines(path(kSettingsFile), {settings.saveSourceList ? "1" : "0",
                                               settings.saveOutputHistory ? "1" : "0"});
}

}  // namespace state
