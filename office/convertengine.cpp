// SPDX-License-Identifier: MIT
#include "office/convertengine.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "office/diagnostics.h"
#include "office/engineprocess.h"
#include "office/filekind.h"
#include "office/newfile.h"
#include "office/sandbox.h"
#include "platform/automation.h"
#include "platform/error.h"
#include "platform/systemtext.h"

namespace fs = std::filesystem;

namespace office {

using platform::AutomationError;

namespace {

constexpr int kRestartRequested = 81;

std::string quoted(const std::string& text) {
    return "\"" + text + "\"";
}

// The private copy keeps the document's own name where the engine's command line takes it as it
// is, since fields (FILENAME) show it in the converted text; other names (a name that is not
// UTF-8 among them, which the engine's URLs cannot carry) become "document" with the extension,
// which the engine's type detection weighs.
std::string privateCopyName(const fs::path& source) {
    const std::string name = source.filename().string();
    const bool plain = !name.empty() && name.size() <= 200 && name.front() != '.' &&
                       platform::IsValidUtf8(name) &&
                       std::none_of(name.begin(), name.end(), [](unsigned char c) {
                           return c < 0x20 || c == 0x7F || c == '%' || c == '#' || c == '?' ||
                                  c == '*' || c == '\\';
                       });
    if (plain && source.has_extension()) {
        return name;
    }
    std::string extension = source.extension().string();
    if (!extension.empty()) {
        extension.erase(0, 1);
    }
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    const bool usable = !extension.empty() && extension.size() <= 8 &&
                        std::all_of(extension.begin(), extension.end(),
                                    [](unsigned char c) { return std::isalnum(c) != 0; });
    return "document." + (usable ? extension : std::string("doc"));
}

}  // namespace

bool startsWithRtf(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    char head[6] = {};
    in.read(head, sizeof head);
    return in.gcount() == sizeof head && std::memcmp(head, "{\\rtf1", sizeof head) == 0;
}

ConvertedDocument::~ConvertedDocument() {
    std::error_code ignored;
    fs::remove_all(m_folder, ignored);
}

void ConvertedDocument::saveRtf(const std::string& target) {
    writeNewFile(m_rtf.string(), target);
}

FileSniff checkSource(const std::string& path) {
    const fs::path source(path);
    const std::string name = source.filename().string();
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        if (errno == ENOENT || errno == ENOTDIR) {
            throw AutomationError("The document " + quoted(name) + " could not be found (" + path +
                                  ").");
        }
        throw AutomationError("The document " + quoted(name) +
                              " could not be read: " + std::strerror(errno) + ".");
    }
    if (S_ISDIR(info.st_mode)) {
        throw AutomationError(quoted(path) + " is a folder, not a document.");
    }
    if (!S_ISREG(info.st_mode)) {
        throw AutomationError(quoted(path) + " is not a document file.");
    }

    FileSniff sniff;
    try {
        sniff = sniffFile(path);
    } catch (const platform::SystemError& error) {
        throw AutomationError("The document " + quoted(name) +
                              " could not be read: " + error.reason() + ".");
    }
    switch (sniff.kind) {
        case FileKind::Encrypted:
            throw AutomationError("The document " + quoted(name) +
                                  " is protected with a password, so it cannot be opened.");
        case FileKind::Picture:
            throw AutomationError("The file " + quoted(name) + " is " + sniff.what +
                                  ", not a Word document.");
        case FileKind::Binary:
            throw AutomationError("The file " + quoted(name) +
                                  " is not a Word document: it holds neither text nor a document "
                                  "format that can be read.");
        default:
            break;
    }
    return sniff;
}

fs::path copyIntoFolder(const std::string& path, const fs::path& folder) {
    const fs::path source(path);
    const fs::path copy = folder / "in" / privateCopyName(source);
    std::error_code error;
    fs::create_directories(folder / "in", error);
    fs::create_directories(folder / "out", error);
    if (!error) {
        fs::copy_file(source, copy, error);
    }
    if (error) {
        std::error_code ignored;
        fs::remove_all(folder, ignored);
        throw AutomationError("The document " + quoted(source.filename().string()) +
                              " could not be read: " + error.message() + ".");
    }
    return copy;
}

ConvertEngine::ConvertEngine(EngineInstall install, int clientFd)
    : m_install(std::move(install)), m_clientFd(clientFd), m_cache(cacheFolder()) {
    removeStaleFolders(m_cache);
    m_work = makeWorkFolder(m_cache, "run");
}

ConvertEngine::~ConvertEngine() {
    std::error_code ignored;
    fs::remove_all(m_work, ignored);
}

void ConvertEngine::ensureProfile() {
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

std::unique_ptr<LoadedDocument> ConvertEngine::open(const std::string& path) {
    const std::string name = fs::path(path).filename().string();
    const FileSniff sniff = checkSource(path);
    const fs::path folder = fs::path(m_work) / ("document-" + std::to_string(++m_opened));
    const fs::path copy = copyIntoFolder(path, folder);
    auto document = std::make_unique<ConvertedDocument>(name, folder);

    ensureProfile();
    EngineRun run;
    run.program = m_install.program;
    run.arguments = {"-env:UserInstallation=" + fileUrl(m_work + "/profile"),
                     "--headless",
                     "--invisible",
                     "--nologo",
                     "--norestore",
                     "--nodefault",
                     "--nolockcheck",
                     "--convert-to",
                     "rtf:Rich Text Format",
                     "--outdir",
                     (folder / "out").string()};
    if (sniff.kind == FileKind::Html) {
        // Detected on its own an HTML page opens as a web page, which has no RTF export.
        run.arguments.push_back("--infilter=HTML (StarWriter)");
    }
    run.arguments.push_back(copy.string());
    std::vector<std::string> variables = privateFolderVariables(m_work + "/tmp");
    variables.push_back("SAL_USE_VCLPLUGIN=svp");
    run.environment = environmentWith(variables);
    run.folder = folder.string();
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

fs::path rtfOf(const fs::path& copy) {
    return copy.parent_path().parent_path() / "out" / (copy.stem().string() + ".rtf");
}

}  // namespace office
