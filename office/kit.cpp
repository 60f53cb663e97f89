// SPDX-License-Identifier: MIT
#include "office/kit.h"

#include <dlfcn.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>
#include <LibreOfficeKit/LibreOfficeKit.hxx>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>

#include <nlohmann/json.hpp>

#include "office/diagnostics.h"
#include "office/sandbox.h"
#include "office/testfault.h"
#include "platform/automation.h"
#include "platform/automationwire.h"

namespace fs = std::filesystem;

namespace office {

namespace {

// The engine's own option string for loading: no dialogs ever (a prompt would wait for nobody)
// and the strictest macro security; document macros are never run in any case, since the
// library loads with macro execution off unless told otherwise.
constexpr const char* kLoadOptions = "Batch=true,MacroSecurityLevel=3";

bool hasKitLibrary(const fs::path& programFolder) {
    std::error_code error;
    return fs::exists(programFolder / "libsofficeapp.so", error) ||
           fs::exists(programFolder / "libmergedlo.so", error);
}

// The request: everything up to the end of the line (the server writes nothing after it).
std::string readLine(int fd) {
    std::string line;
    char chunk[4096];
    while (line.find('\n') == std::string::npos) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        line.append(chunk, static_cast<std::size_t>(n));
    }
    return line.substr(0, line.find('\n'));
}

void writeAll(int fd, const std::string& text) {
    for (std::size_t written = 0; written < text.size();) {
        const ssize_t n = ::write(fd, text.data() + written, text.size() - written);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return;
        }
        written += static_cast<std::size_t>(n);
    }
}

std::string takeError(lok::Office& office) {
    char* error = office.getError();
    std::string text = error != nullptr ? error : "";
    office.freeError(error);
    return text.empty() ? "the engine gave no reason" : text;
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
        reinterpret_cast<HiddenPrepareFunction>(::dlsym(module, kHiddenPrepareSymbol)),
        reinterpret_cast<HiddenConvertFunction>(::dlsym(module, kHiddenConvertSymbol)),
    };
    if (ready == nullptr || !hidden || !ready()) {
        ::dlclose(module);
        return {};
    }
    return hidden;  // the module stays loaded for the launcher's life, and so in every instance
}

// The engine's temporary and runtime files go to the folder.
void setPrivateFolder(const std::string& folder) {
    for (const std::string& variable : privateFolderVariables(folder)) {
        const std::size_t equals = variable.find('=');
        ::setenv(variable.substr(0, equals).c_str(), variable.substr(equals + 1).c_str(), 1);
    }
}

// True when a request is waiting on fd already.
bool requestWaiting(int fd) {
    pollfd entry{fd, POLLIN, 0};
    return ::poll(&entry, 1, 0) > 0;
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
    setPrivateFolder(kit.workFolder + "/tmp");
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

int runKitInstance(const Kit& kit, const std::string& tempFolder, int requestFd, int resultFd) {
    setPrivateFolder(tempFolder);
    // The instance ends with _exit as soon as it has answered: tearing the engine down would
    // only cost time, so the office and the document are deliberately never destroyed.
    lok::Office* office = lok::lok_cpp_init(kit.programFolder.c_str(), kit.profileUrl.c_str());
    if (office == nullptr) {
        return 2;
    }
    // The engine catches fatal signals to try to save documents; in an instance that would at
    // best delay the server's fallback and at worst hang: a crash here ends the process at once.
    for (const int fatal : {SIGABRT, SIGSEGV, SIGBUS, SIGILL, SIGFPE}) {
        ::signal(fatal, SIG_DFL);
    }
    // Only while nothing waits: when the document is there already, the warm-up would cost
    // more than it saves.
    if (kit.hidden && !requestWaiting(requestFd)) {
        kit.hidden.prepare();
    }
    const nlohmann::json request = nlohmann::json::parse(readLine(requestFd), nullptr, false);
    const std::optional<std::string> sourceText =
        request.is_object() && request.contains("source")
            ? platform::wire::decodeText(request["source"])
            : std::nullopt;
    const std::optional<std::string> targetText =
        request.is_object() && request.contains("target")
            ? platform::wire::decodeText(request["target"])
            : std::nullopt;
    if (!sourceText || !targetText) {
        return 3;
    }
    const std::string& source = *sourceText;
    const std::string& target = *targetText;
    const std::string name = fs::path(source).filename().string();
    if (faultRequested("engine-crash", name)) {
        ::abort();
    }
    if (faultRequested("engine-hang", name)) {
        for (;;) {
            ::pause();
        }
    }

    nlohmann::json result{{"ok", false}};
    int hidden = kHiddenUnavailable;
    if (kit.hidden) {
        char error[1024] = {};
        hidden = kit.hidden.convert(fileUrl(source).c_str(), fileUrl(target).c_str(), error,
                                    sizeof error);
        if (hidden == kHiddenConverted) {
            result["ok"] = true;
            result["by"] = "hidden";
        } else if (hidden == kHiddenFailed) {
            result["error"] = error[0] != '\0' ? error : "the engine gave no reason";
        }
    }
    if (hidden == kHiddenUnavailable) {
        lok::Document* document = office->documentLoad(fileUrl(source).c_str(), kLoadOptions);
        if (document == nullptr) {
            result["error"] = takeError(*office);
        } else if (!document->saveAs(fileUrl(target).c_str(), "rtf")) {
            result["error"] = takeError(*office);
        } else {
            result["ok"] = true;
            result["by"] = "kit";
        }
    }
    writeAll(resultFd, result.dump() + "\n");
    return 0;
}

}  // namespace office
