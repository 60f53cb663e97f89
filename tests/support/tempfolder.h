// SPDX-License-Identifier: MIT
// A temporary folder for one test, removed with everything in it when the test ends.
#pragma once

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

namespace testsupport {

// A character that command lines and messages must take care with inside a file name: '"' where
// the system allows it in names, "'" on Windows, which does not. And the root folder of the
// system's paths, with its separator.
#ifdef _WIN32
inline constexpr const char* kQuoteInName = "'";
inline constexpr const char* kRoot = "C:\\";
#else
inline constexpr const char* kQuoteInName = "\"";
inline constexpr const char* kRoot = "/";
#endif

class TempFolder {
 public:
#ifdef _WIN32
    TempFolder() {
        // A name no other test has taken: create_directory says whether it made the folder.
        static int made = 0;
        for (int attempt = 0; attempt < 1000; ++attempt) {
            const std::filesystem::path folder =
                std::filesystem::temp_directory_path() /
                ("pavendel-test-" + std::to_string(std::rand()) + "-" + std::to_string(++made));
            if (std::filesystem::create_directory(folder)) {
                m_path = text(folder);
                return;
            }
        }
        throw std::runtime_error("cannot create a temporary folder");
    }
#else
    TempFolder() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "pavendel-test-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("cannot create a temporary folder");
        }
        m_path = pattern;
    }
#endif
    ~TempFolder() {
        std::error_code error;
        // Folders a test made unreadable must be opened again before they can be removed.
        for (auto it = std::filesystem::recursive_directory_iterator(
                 m_path, std::filesystem::directory_options::skip_permission_denied, error);
             !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
            std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add, error);
        }
        std::filesystem::remove_all(m_path, error);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& path() const {
        return m_path;
    }
    // The path of a name in the folder, "/" in the name standing for the system's separator.
    std::string operator/(const std::string& name) const {
        return native(m_path + "/" + name);
    }

    // Creates a file (and its folders) holding the given bytes; returns its path.
    std::string write(const std::string& name, const std::string& contents = "x") const {
        const std::filesystem::path file = fsPath(m_path) / fsPath(name);
        std::filesystem::create_directories(file.parent_path());
        std::ofstream out(file, std::ios::binary);
        out << contents;
        return native(text(file));
    }
    std::string mkdir(const std::string& name) const {
        const std::filesystem::path folder = fsPath(m_path) / fsPath(name);
        std::filesystem::create_directories(folder);
        return native(text(folder));
    }
    std::string read(const std::string& name) const {
        std::ifstream in(fsPath(m_path) / fsPath(name), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

 private:
    // The test's names are UTF-8, which the standard library's paths take as such only when told.
    static std::filesystem::path fsPath(const std::string& name) {
        return std::filesystem::path(std::u8string(name.begin(), name.end()));
    }
    static std::string text(const std::filesystem::path& path) {
        const std::u8string utf8 = path.u8string();
        return std::string(utf8.begin(), utf8.end());
    }
    static std::string native(std::string path) {
#ifdef _WIN32
        std::replace(path.begin(), path.end(), '/', '\\');
#endif
        return path;
    }

    std::string m_path;
};

}  // namespace testsupport
