// SPDX-License-Identifier: MIT
#include "office/server/profile.h"

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string_view>

#include "automation/automation.h"
#include "office/server/sandbox.h"
#include "office/server/sofficeprocess.h"
#include "platform/error.h"
#include "platform/paths.h"

namespace fs = std::filesystem;

namespace office {

namespace {

// soffice.bin asks for a restart after it has set up a new profile.
constexpr int kRestartRequested = 81;

std::string readSmallFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// "ProductKey=LibreOffice 7.4" in the bootstraprc beside the program gives "7.4".
std::string engineVersion(const fs::path& program) {
    std::istringstream lines(readSmallFile(program.parent_path() / "bootstraprc"));
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind("ProductKey=", 0) == 0) {
            const std::size_t space = line.find_last_of(' ');
            std::string version = space == std::string::npos ? "" : line.substr(space + 1);
            while (!version.empty() && (version.back() == '\r' || version.back() == ' ')) {
                version.pop_back();
            }
            return version;
        }
    }
    return {};
}

std::string item(const char* path, const char* name, const std::string& value) {
    return std::string("<item oor:path=\"") + path + "\"><prop oor:name=\"" + name +
           "\" oor:op=\"fuse\"><value>" + value + "</value></prop></item>\n";
}

// The file inside a prepared profile that holds the digest of everything else in it.
constexpr const char* kDigestFile = "pavendel-digest";

// A digest of a folder's tree: every entry's relative path, kind, permissions and contents
// (a link's target), in name order. FNV-1a over 64 bits: it tells an edited profile from the
// prepared one; it is no secret, since whoever can edit the profile can edit its digest too.
std::string treeDigest(const fs::path& folder) {
    std::vector<fs::path> entries;
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(folder, error);
         !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
        const fs::path relative = it->path().lexically_relative(folder);
        if (relative != kDigestFile) {
            entries.push_back(relative);
        }
    }
    if (error) {
        return {};
    }
    std::sort(entries.begin(), entries.end());
    std::uint64_t hash = 0xcbf29ce484222325ULL;
    const auto mix = [&hash](std::string_view bytes) {
        for (const char c : bytes) {
            hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001b3ULL;
        }
        hash = (hash ^ 0xFF) * 0x100000001b3ULL;  // ends every field
    };
    for (const fs::path& relative : entries) {
        const fs::path path = folder / relative;
        struct stat info {};
        if (::lstat(path.c_str(), &info) != 0) {
            return {};
        }
        mix(relative.string());
        mix(std::to_string(info.st_mode));
        if (S_ISLNK(info.st_mode)) {
            mix(fs::read_symlink(path, error).string());
        } else if (S_ISREG(info.st_mode)) {
            mix(readSmallFile(path));
        }
    }
    char text[20];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return text;
}

bool processAlive(pid_t pid) {
    return pid > 0 && (::kill(pid, 0) == 0 || errno != ESRCH);
}

}  // namespace

EngineInstall findEngine() {
    std::vector<fs::path> candidates;
    if (const char* chosen = std::getenv("PAVENDEL_OFFICE_ENGINE"); chosen && *chosen) {
        candidates.emplace_back(chosen);
    } else {
        candidates = {"/usr/lib/libreoffice/program/soffice.bin",
                      "/usr/lib64/libreoffice/program/soffice.bin"};
        std::error_code error;
        std::vector<fs::path> bundled;
        for (const auto& entry : fs::directory_iterator("/opt", error)) {
            if (entry.path().filename().string().rfind("libreoffice", 0) == 0) {
                bundled.push_back(entry.path() / "program" / "soffice.bin");
            }
        }
        std::sort(bundled.rbegin(), bundled.rend());  // the newest version first
        candidates.insert(candidates.end(), bundled.begin(), bundled.end());
    }
    for (const fs::path& program : candidates) {
        if (::access(program.c_str(), X_OK) == 0 && fs::is_regular_file(program)) {
            return {program.string(), engineVersion(program)};
        }
    }
    return {};
}

std::string engineMissingDescription() {
    return "LibreOffice, which Pavendel uses to read Word documents, is not installed. Install "
           "the package libreoffice-writer-nogui (for example: sudo apt install "
           "libreoffice-writer-nogui) and try again.";
}

std::string profileSettings(const std::string& version) {
    std::string xcu =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<oor:items xmlns:oor=\"http://openoffice.org/2001/registry\" "
        "xmlns:xs=\"http://www.w3.org/2001/XMLSchema\" "
        "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">\n";
    if (!version.empty()) {
        xcu += item("/org.openoffice.Setup/Product", "ooSetupLastVersion", version);
    }
    xcu += item("/org.openoffice.Office.Common/Misc", "UseLocking", "false");
    xcu +=
        item("/org.openoffice.Office.Common/Security/Scripting", "DisableMacrosExecution", "true");
    xcu += item("/org.openoffice.Office.Common/Security/Scripting", "MacroSecurityLevel", "3");
    xcu += item("/org.openoffice.Office.Common/Security/Scripting", "BlockUntrustedRefererLinks",
                "true");
    // 0: never update links when loading (1 asks, 2 always).
    xcu += item("/org.openoffice.Office.Writer/Content/Update", "Link", "0");
    xcu += item("/org.openoffice.Office.Common/Save/Document", "CreateBackup", "false");
    xcu += "</oor:items>\n";
    return xcu;
}

void removeStaleFolders(const std::string& cache) {
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(cache, error)) {
        const std::string name = entry.path().filename().string();
        char prefix[16] = {};
        int pid = 0;
        if (std::sscanf(name.c_str(), "%15[a-z]-%d-", prefix, &pid) != 2) {
            continue;
        }
        const std::string kind(prefix);
        if ((kind == "run" || kind == "prepare" || kind == "launch" || kind == "ahead") &&
            pid != ::getpid() && !processAlive(pid)) {
            std::error_code ignored;
            fs::remove_all(entry.path(), ignored);
        }
    }
}

std::string preparedProfile(const EngineInstall& engine, const std::string& cache, int clientFd) {
    // One prepared profile per engine version and build and per set of this program's settings:
    // a profile serves every installation of the same build, a new build gets a new one, and so
    // does a program whose settings changed (a stricter security setting must not wait for the
    // user to clear the cache).
    const std::string settings = profileSettings(engine.version);
    const std::string identity =
        engine.version + "\n" +
        readSmallFile(fs::path(engine.program).parent_path() / "versionrc") + "\n" + settings;
    char key[32];
    std::snprintf(key, sizeof key, "%016zx", std::hash<std::string>{}(identity));
    const fs::path prepared = fs::path(cache) / (std::string("profile-") + key);
    if (fs::exists(prepared / "user" / "registrymodifications.xcu")) {
        const std::string recorded = readSmallFile(prepared / kDigestFile);
        if (!recorded.empty() && recorded == treeDigest(prepared)) {
            return prepared.string();
        }
        // Edited since it was prepared (or prepared by a version that kept no digest): every
        // later document would run with whatever the edit enabled, so it is prepared again.
        // Moved aside first, so that a server copying it meanwhile never sees half of it.
        const fs::path aside = makeWorkFolder(cache, "prepare");
        std::error_code error;
        fs::rename(prepared, aside / "edited", error);
        fs::remove_all(aside, error);
        if (fs::exists(prepared)) {
            throw automation::AutomationError("The office engine's settings folder " +
                                              prepared.string() +
                                              " was changed and cannot be replaced.");
        }
    }

    const fs::path work = makeWorkFolder(cache, "prepare");
    const fs::path profile = work / "profile";
    fs::create_directories(profile / "user");
    fs::create_directories(work / "tmp");
    std::ofstream(profile / "user" / "registrymodifications.xcu", std::ios::binary) << settings;
    EngineRun run;
    run.program = engine.program;
    run.arguments = quietEngineArguments(profile.string());
    run.arguments.push_back("--terminate_after_init");
    run.environment = environmentWith(privateFolderVariables((work / "tmp").string()));
    run.folder = work.string();
    run.ownFolders = {work.string()};
    run.clientFd = clientFd;
    int status = 0;
    try {
        for (int attempt = 0; attempt < 3; ++attempt) {
            status = runEngine(run);
            if (!WIFEXITED(status) || WEXITSTATUS(status) != kRestartRequested) {
                break;
            }
        }
    } catch (...) {
        std::error_code ignored;
        fs::remove_all(work, ignored);
        throw;
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::error_code ignored;
        fs::remove_all(work, ignored);
        throw automation::AutomationError(
            "The office engine (" + engine.program + ") could not set up its settings folder: " +
            (WIFSIGNALED(status) ? "it stopped unexpectedly"
                                 : "it ended with status " + std::to_string(WEXITSTATUS(status))) +
            ".");
    }
    std::ofstream(profile / kDigestFile, std::ios::binary) << treeDigest(profile);
    // Another server may have prepared the same profile meanwhile: then its copy stays.
    std::error_code error;
    fs::rename(profile, prepared, error);
    fs::remove_all(work, error);
    return prepared.string();
}

std::string cacheFolder() {
    try {
        return platform::cacheFolder();
    } catch (const platform::SystemError& error) {
        if (error.operation() == "use") {
            throw automation::AutomationError("The office engine cannot use its folder " +
                                              error.path() + ": " + error.reason() +
                                              ". Set HOME or XDG_CACHE_HOME to a folder of your "
                                              "own.");
        }
        throw automation::AutomationError("The office engine could not create its folder " +
                                          error.path() + ": " + error.reason() + ".");
    }
}

std::string makeWorkFolder(const std::string& cache, const char* prefix, int owner) {
    try {
        return platform::makeWorkFolder(cache, prefix, owner);
    } catch (const platform::SystemError& error) {
        throw automation::AutomationError(
            "The office engine could not create its working folder in " + cache + ": " +
            error.reason() + ".");
    }
}

std::string fileUrl(const std::string& path) {
    static const char* hex = "0123456789ABCDEF";
    std::string url = "file://";
    for (unsigned char c : path) {
        if (std::isalnum(c) || c == '/' || c == '-' || c == '.' || c == '_' || c == '~') {
            url += static_cast<char>(c);
        } else {
            url += '%';
            url += hex[c >> 4];
            url += hex[c & 15];
        }
    }
    return url;
}

std::vector<std::string> quietEngineArguments(const std::string& profileFolder) {
    return {std::string("-env:UserInstallation=") + fileUrl(profileFolder),
            "--headless",
            "--invisible",
            "--nologo",
            "--norestore",
            "--nodefault",
            "--nolockcheck"};
}

}  // namespace office
