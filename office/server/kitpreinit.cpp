// SPDX-License-Identifier: MIT
#include "office/server/kitpreinit.h"

#include <dlfcn.h>
#include <LibreOfficeKit/LibreOfficeKit.hxx>

#include <chrono>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <optional>

#include "office/server/diagnostics.h"
#include "office/server/sandbox.h"

namespace fs = std::filesystem;

namespace office {

namespace {

bool hasKitLibrary(const fs::path& programFolder) {
    std::error_code error;
    return fs::exists(programFolder / "libsofficeapp.so", error) ||
           fs::exists(programFolder / "libmergedlo.so", error);
}

// Every document is checked for signatures as it loads, and the first check of a process asks
// GnuPG which engines it has by running gpgconf, gpg and gpgsm: about 0.1 s of every instance's
// first load. GnuPG's library keeps the answer in the process, so asking once here, before any
// instance is forked, spares them all; it is a fact about this machine, not about a document.
void askGnupgOnce() {
    void* library = ::dlopen("libgpgme.so.11", RTLD_NOW | RTLD_GLOBAL);
    if (library == nullptr) {
        return;  // the engine then asks in each instance, as it would anyway
    }
    using CheckVersion = const char* (*)(const char*);
    using EngineInfo = int (*)(void**);
    const auto checkVersion =
        reinterpret_cast<CheckVersion>(::dlsym(library, "gpgme_check_version"));
    const auto engineInfo = reinterpret_cast<EngineInfo>(::dlsym(library, "gpgme_get_engine_info"));
    if (checkVersion != nullptr && engineInfo != nullptr) {
        checkVersion(nullptr);
        void* engines = nullptr;
        engineInfo(&engines);
    }
}

// Opened only now that the engine's library is loaded: the module's UNO libraries then resolve
// to the engine's own, already in the process, never to another copy on the system.
HiddenConversion loadHiddenConversion(const std::string& moduleFolder) {
    const std::string path = (fs::path(moduleFolder) / kHiddenModuleName).string();
    void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) {
        return {};
    }
    const auto ready = reinterpret_cast<HiddenReadyFunction>(::dlsym(module, kHiddenReadySymbol));
    HiddenConversion hidden{
        reinterpret_cast<HiddenWarmFunction>(::dlsym(module, kHiddenWarmSymbol)),
        reinterpret_cast<HiddenConvertFunction>(::dlsym(module, kHiddenConvertSymbol)),
        reinterpret_cast<HiddenFlushFunction>(::dlsym(module, kHiddenFlushSymbol)),
    };
    if (ready == nullptr || !hidden || !ready()) {
        ::dlclose(module);
        return {};
    }
    return hidden;  // the module stays loaded for the launcher's life, and so in every instance
}

// Converts the engine's own blank document once before any instance is forked (hiddenload.h),
// in a folder of the launcher's that is removed again: nothing of it reaches an instance but
// what the engine set up for it, the same for every instance and holding no source's content.
void warmEngine(const Kit& kit) {
    const fs::path folder = fs::path(kit.workFolder) / "warm";
    std::error_code error;
    fs::create_directories(folder, error);
    if (error) {
        return;
    }
    const auto start = std::chrono::steady_clock::now();
    kit.hidden.warm(fileUrl(folder.string()).c_str());
    trace("the engine warmed up in " +
          std::to_string(std::chrono::duration_cast<std::chrono::milliseconds>(
                             std::chrono::steady_clock::now() - start)
                             .count()) +
          " ms before any instance was forked.");
    fs::remove_all(folder, error);
}

}  // namespace

std::optional<Kit> preinitKit(const EngineInstall& install, const std::string& moduleFolder) {
    const fs::path programFolder = fs::path(install.program).parent_path();
    if (install.program.empty() || !hasKitLibrary(programFolder)) {
        return std::nullopt;
    }
    Kit kit;
    kit.programFolder = programFolder.string();
    std::string prepared;
    try {
        const std::string cache = cacheFolder();
        removeStaleFolders(cache);
        prepared = preparedProfile(install, cache, -1);
        kit.workFolder = makeWorkFolder(cache, "launch");
    } catch (const std::exception&) {
        return std::nullopt;  // the servers' own conversion reports what is wrong
    }
    // Two copies of the program must not share a live profile: the launcher gets its own.
    std::error_code error;
    fs::copy(prepared, fs::path(kit.workFolder) / "profile",
             fs::copy_options::recursive | fs::copy_options::copy_symlinks, error);
    fs::create_directories(fs::path(kit.workFolder) / "tmp", error);
    if (error) {
        removeKitFolder(kit);
        return std::nullopt;
    }
    kit.profileUrl = fileUrl(kit.workFolder + "/profile");

    // The library reads its settings while preinitialising, before it looks at the profile it
    // is given, so the profile is named in the environment too; the engine's temporary files go
    // to the launcher's folder.
    ::setenv("UserInstallation", kit.profileUrl.c_str(), 1);
    usePrivateFolder(kit.workFolder + "/tmp");
    const int status = lok_preinit(kit.programFolder.c_str(), kit.profileUrl.c_str());
    // Engines started later (the full conversion) are told their own profile.
    ::unsetenv("UserInstallation");
    if (status != 0) {
        removeKitFolder(kit);
        return std::nullopt;
    }
    askGnupgOnce();
    if (moduleFolder.empty()) {
        trace("engine instances convert through LibreOfficeKit's document calls, as asked.");
    } else if (!hiddenModuleFits(install.version)) {
        diagnose(
            "the engine is LibreOffice " +
            (install.version.empty() ? std::string("of an unknown version") : install.version) +
            ", but the hidden conversion module was built for " + hiddenModuleSeries() +
            "; engine instances convert through LibreOfficeKit's document calls instead, "
            "and documents with comments take the engine's own conversion.");
    } else {
        kit.hidden = loadHiddenConversion(moduleFolder);
        // $PAVENDEL_OFFICE_WARMUP=0 leaves the warm-up out, for tests and diagnosis.
        const char* warmUp = std::getenv("PAVENDEL_OFFICE_WARMUP");
        if (kit.hidden && (warmUp == nullptr || std::string(warmUp) != "0")) {
            warmEngine(kit);
        }
        if (kit.hidden.flush != nullptr) {
            kit.hidden.flush();
        }
        if (!kit.hidden) {
            diagnose(
                "the hidden conversion module could not be loaded; engine instances convert "
                "through LibreOfficeKit's document calls.");
        }
    }
    return kit;
}

// A build without the engine's SDK (the fuzz build) has no hidden conversion module: no engine
// fits it.
#ifndef PAVENDEL_HIDDEN_MODULE_SERIES
#define PAVENDEL_HIDDEN_MODULE_SERIES ""
#endif

std::string hiddenModuleSeries() {
    return PAVENDEL_HIDDEN_MODULE_SERIES;
}

bool hiddenModuleFits(const std::string& engineVersion) {
    const std::string series = hiddenModuleSeries();
    if (series.empty()) {
        return false;
    }
    // "7.4" and "7.4.7.2" are of the series "7.4"; "7.40" is not.
    return engineVersion.rfind(series, 0) == 0 &&
           (engineVersion.size() == series.size() || engineVersion[series.size()] == '.');
}

void removeKitFolder(const Kit& kit) {
    if (!kit.workFolder.empty()) {
        std::error_code ignored;
        fs::remove_all(kit.workFolder, ignored);
    }
}

}  // namespace office
