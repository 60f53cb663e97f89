// SPDX-License-Identifier: MIT
// The engine's private settings folder ("user installation"). One is prepared per installed
// engine version under $XDG_CACHE_HOME/pavendel/ and every server works on its own copy, since
// two engines on one live profile hand work to each other or fail.
//
// The prepared profile holds the settings that make conversions safe and quick:
//   - ooSetupLastVersion: without it every start runs the engine's first-start graphics tests
//     (about 3 s);
//   - macros never run, links from untrusted referers are blocked, linked content is never
//     updated on load;
//   - no lock files, so nothing is written beside a document.
#pragma once

#include <string>
#include <vector>

namespace office {

struct EngineInstall {
    std::string program;  // soffice.bin
    std::string version;  // "7.4"; empty when unknown
};

// The engine to use: $PAVENDEL_OFFICE_ENGINE when set, else the usual places LibreOffice is
// installed in. Empty program when there is none.
EngineInstall findEngine();

// The description given when findEngine found nothing.
std::string engineMissingDescription();

// The cache folder ($XDG_CACHE_HOME/pavendel, platform::cacheFolder). Throws
// automation::AutomationError saying what is wrong with it.
std::string cacheFolder();

// The contents of user/registrymodifications.xcu for a new profile.
std::string profileSettings(const std::string& version);

// Removes the working folders ("run-<pid>-…", "prepare-<pid>-…", "launch-<pid>-…", and the
// client's "ahead-<pid>-…") that processes no longer alive left in the cache folder, for instance
// after being killed.
void removeStaleFolders(const std::string& cache);

// The prepared profile of the engine, prepared now (running the engine once) if it is not there
// yet. clientFd as in EngineRun. Throws automation::AutomationError or ClientGone.
std::string preparedProfile(const EngineInstall& engine, const std::string& cache, int clientFd);

// A new working folder "<prefix>-<pid>-XXXXXX" in the cache folder (platform::makeWorkFolder).
// Throws automation::AutomationError.
std::string makeWorkFolder(const std::string& cache, const char* prefix, int owner = 0);

// A file URL for a local path, as the engine's -env:UserInstallation wants it.
std::string fileUrl(const std::string& path);

// The engine's arguments for a run without a window, a logo, restored documents or a lock check,
// with the profile in the folder; a run's own arguments follow them.
std::vector<std::string> quietEngineArguments(const std::string& profileFolder);

}  // namespace office
