// SPDX-License-Identifier: MIT
#include "office/server/sofficeengine.h"

#include <gsf/gsf.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>

#include "automation/automation.h"
#include "automation/wordcalls.h"
#include "office/server/diagnostics.h"
#include "office/server/filekind.h"
#include "office/server/sandbox.h"
#include "office/server/sofficeprocess.h"
#include "platform/error.h"
#include "platform/systemtext.h"

namespace fs = std::filesystem;

namespace office {

using automation::AutomationError;

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

// More than Word writes into a document (it refuses files over 2 GB): a package that unpacks to
// more is made to exhaust the engine's memory and time, not to be read.
constexpr long long kLargestUnpacked = 2LL << 30;

struct GObjectUnref {
    void operator()(void* object) const { g_object_unref(object); }
};

// What the parts below a folder of a zip package add up to once unpacked, as the package's
// directory gives their sizes. The engine reads no part past the size given there (a package that
// says less than its part holds fails to load), so these sizes bound what it unpacks.
long long unpackedSize(GsfInfile* folder) {
    long long total = 0;
    const int children = gsf_infile_num_children(folder);
    for (int i = 0; i < children && total <= kLargestUnpacked; ++i) {
        const std::unique_ptr<GsfInput, GObjectUnref> child(gsf_infile_child_by_index(folder, i));
        if (!child) {
            continue;
        }
        if (GSF_IS_INFILE(child.get()) && gsf_infile_num_children(GSF_INFILE(child.get())) >= 0) {
            total += unpackedSize(GSF_INFILE(child.get()));
        } else {
            total += gsf_input_size(child.get());
        }
    }
    return total;
}

// The unpacked size of a zip package; 0 when it cannot be read as one (the engine then says
// what is wrong with it).
long long unpackedSize(const std::string& path) {
    GError* error = nullptr;
    const std::unique_ptr<GsfInput, GObjectUnref> input(gsf_input_stdio_new(path.c_str(), &error));
    g_clear_error(&error);
    if (!input) {
        return 0;
    }
    const std::unique_ptr<GsfInfile, GObjectUnref> zip(gsf_infile_zip_new(input.get(), &error));
    g_clear_error(&error);
    return zip ? unpackedSize(zip.get()) : 0;
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
    automation::SaveRtfAs(m_rtf.string(), target);
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
        case FileKind::Zip:
            if (const long long unpacked = unpackedSize(path); unpacked > kLargestUnpacked) {
                char size[32];
                std::snprintf(size, sizeof size, "%.1f", static_cast<double>(unpacked) / (1 << 30));
                throw AutomationError("The document " + quoted(name) +
                                      " cannot be opened: unpacked, it would take " + size +
                                      " GB, more than a Word document holds.");
            }
            break;
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
