// SPDX-License-Identifier: MIT
#include "office/server/sofficeengine.h"

#include <sys/wait.h>

#include <filesystem>

#include "automation/automation.h"
#include "office/server/diagnostics.h"
#include "office/server/privatecopy.h"
#include "office/server/sandbox.h"
#include "office/server/sofficeprocess.h"
#include "office/server/sourcecheck.h"

namespace fs = std::filesystem;

namespace office {

using automation::AutomationError;

namespace {

constexpr int kRestartRequested = 81;

std::string quoted(const std::string& text) {
    return "\"" + text + "\"";
}

}  // namespace

SofficeEngine::SofficeEngine(EngineInstall install, int clientFd)
    : m_install(std::move(install)), m_clientFd(clientFd), m_cache(cacheFolder()) {
    removeStaleFolders(m_cache);
    m_work = makeWorkFolder(m_cache, "run");
}

SofficeEngine::~SofficeEngine() {
    std::error_code ignored;
    fs::remove_all(m_work, ignored);
}

void SofficeEngine::ensureProfile() {
    if (m_profileReady) {
        return;
    }
    const std::string prepared = preparedProfile(m_install, m_cache, m_clientFd);
    std::error_code error;
    fs::copy(prepared, fs::path(m_work) / "profile",
             fs::copy_options::recursive | fs::copy_options::copy_symlinks, error);
    fs::create_directories(fs::path(m_work) / "tmp", error);
    if (error) {
        throw AutomationError(
            "The office engine could not copy its settings folder: " + error.message() + ".");
    }
    m_profileReady = true;
}

std::unique_ptr<LoadedDocument> SofficeEngine::open(const std::string& path) {
    const std::string name = fs::path(path).filename().string();
    const FileSniff sniff = checkSource(path);
    const fs::path folder = fs::path(m_work) / ("document-" + std::to_string(++m_opened));
    const fs::path copy = copyIntoFolder(path, folder);
    auto document = std::make_unique<ConvertedDocument>(name, folder);

    ensureProfile();
    EngineRun run;
    run.program = m_install.program;
    run.arguments = quietEngineArguments(m_work + "/profile");
    run.arguments.insert(run.arguments.end(), {"--convert-to", "rtf:Rich Text Format", "--outdir",
                                               (folder / "out").string()});
    if (sniff.kind == FileKind::Html) {
        // Detected on its own an HTML page opens as a web page, which has no RTF export.
        run.arguments.push_back("--infilter=HTML (StarWriter)");
    }
    run.arguments.push_back(copy.string());
    std::vector<std::string> variables = privateFolderVariables(m_work + "/tmp");
    variables.push_back("SAL_USE_VCLPLUGIN=svp");
    run.environment = environmentWith(variables);
    run.folder = folder.string();
    run.ownFolders = {m_work};
    run.clientFd = m_clientFd;

    int status = runEngine(run);
    if (WIFEXITED(status) && WEXITSTATUS(status) == kRestartRequested) {
        status = runEngine(run);
    }
    if (WIFSIGNALED(status)) {
        throw AutomationError("The office engine stopped unexpectedly while opening the document " +
                              quoted(name) + ".");
    }
    // The engine's exit status is 0 even when it converted nothing: the output decides.
    const fs::path rtf = rtfOf(copy);
    if (!startsWithRtf(rtf)) {
        throw AutomationError("The document " + quoted(name) +
                              " could not be opened: it is damaged, or not in a format the "
                              "office engine can read.");
    }
    trace(name + ": converted by the engine's own conversion.");
    document->setRtf(rtf);
    return document;
}

}  // namespace office
