// SPDX-License-Identifier: MIT
// The three state files that carry the program's state from one run to the next:
//   EXCEL.txt   the source list, one path per line, in list order;
//   output.txt  the output-folder history, newest first, at most 201 lines written;
//   set.txt     two lines: "1" saves the source list at exit, "1" saves the history at exit.
// Lines end in CR LF. A setting is on only when its line is exactly "1".
#pragma once

#include <string>
#include <vector>

namespace state {

inline constexpr const char* kSourceListFile = "EXCEL.txt";
inline constexpr const char* kOutputHistoryFile = "output.txt";
inline constexpr const char* kSettingsFile = "set.txt";
// The history keeps list positions 0 to 200.
inline constexpr std::size_t kMaxOutputHistoryLines = 201;

struct Settings {
    bool saveSourceList = false;
    bool saveOutputHistory = false;
};

// The raw lines of set.txt; a line that is not there is empty.
struct SettingsLines {
    std::string line1;
    std::string line2;
    bool hasLine1 = false;
    bool hasLine2 = false;
};

bool IsOn(const std::string& line);

class StateFiles {
 public:
    explicit StateFiles(std::string folder);

    const std::string& folder() const { return m_folder; }
    std::string path(const char* fileName) const;

    // On the very first start, when the folder holds none of the three files, creates them:
    // both lists empty and set.txt with "1" and "1", so that a new user's lists are remembered.
    // Failures are ignored: the program then runs with empty lists and both settings off.
    void CreateOnFirstStart() const;

    // Missing or unreadable files read as empty lists and as both settings off.
    std::vector<std::string> ReadSourceList() const;
    std::vector<std::string> ReadOutputHistory() const;
    SettingsLines ReadSettingsLines() const;
    Settings ReadSettings() const;

    // Each replaces its file atomically and throws platform::SystemError when it cannot.
    void WriteSourceList(const std::vector<std::string>& entries) const;
    // Writes at most the first 201 entries.
    void WriteOutputHistory(const std::vector<std::string>& entries) const;
    void WriteSettings(const Settings& settings) const;

 private:
    std::string m_folder;
};

}  // namespace state
