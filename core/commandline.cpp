// SPDX-License-Identifier: MIT
#include "core/commandline.h"

#include <chrono>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <set>

#include "automation/automation.h"
#include "automation/wordcalls.h"
#include "core/convertedrecord.h"
#include "core/documents.h"
#include "core/foldertree.h"
#include "core/module1.h"
#include "core/pathkind.h"
#include "platform/error.h"
#include "platform/fileattr.h"
#include "platform/folder.h"
#include "platform/paths.h"
#include "platform/sharedfolder.h"
#include "platform/systemtext.h"

#ifndef PAVENDEL_VERSION
#define PAVENDEL_VERSION "unknown"
#endif

namespace core {

namespace {

constexpr const char* kUsage =
    "Usage: pavendel [PATH...]\n"
    "       pavendel --convert-to rtf [--outdir DIR] [--recursive] [--skip-converted]\n"
    "                [--quiet] [--] PATH...\n";

constexpr const char* kHelp =
    "Converts Word documents (.doc, .docx and the like) into RTF files.\n"
    "\n"
    "Without --convert-to, the window opens and each PATH is added to its source list.\n"
    "With --convert-to rtf, every Word document PATH stands for (a Word file, or the Word\n"
    "documents of a folder) is converted into an RTF file in DIR, without a window. A file that\n"
    "is already there is never replaced: a name that is taken gets counter digits.\n"
    "\n"
    "Options:\n"
    "  --convert-to rtf  convert without a window (RTF is the one format)\n"
    "  --outdir DIR      where the RTF files go (default: the current folder); made when\n"
    "                    missing, one level\n"
    "  --recursive       convert the documents of each folder PATH's subfolders too, into\n"
    "                    the same subfolders of DIR (made when they get a document); hidden\n"
    "                    folders and links to folders are left out\n"
    "  --skip-converted  leave out each document that a run before converted into the same\n"
    "                    folder, unchanged since and its RTF file still there, and report it\n"
    "                    as skipped: a stopped run started again converts only the rest\n"
    "  --quiet           no progress line; standard error then says only what went wrong\n"
    "  --help            show this help and end\n"
    "  --version         show the version and end\n"
    "  --                end of the options: everything after it is a PATH\n"
    "\n"
    "Each document gives one line on standard output, its fields separated by tabs:\n"
    "  SOURCE<TAB>converted<TAB>OUTPUT\n"
    "  SOURCE<TAB>failed<TAB>DESCRIPTION\n"
    "  SOURCE<TAB>skipped<TAB>OUTPUT (with --skip-converted)\n"
    "with tab, newline, carriage return and backslash in a field written as \\t, \\n, \\r\n"
    "and \\\\, and any other control character as \\x and two hex digits (ESC as \\x1b);\n"
    "names in messages on standard error are written the same way.\n"
    "\n"
    "Each output folder keeps, in the hidden file .pavendel-converted, which source made\n"
    "which RTF file; runs at once, on this machine or others sharing the folder, add to it\n"
    "safely, so an archive can be split among several runs (see the README).\n"
    "\n"
    "Exit status: 0 every document converted (or skipped); 1 a document failed, a PATH\n"
    "named nothing to convert, or standard output could not take a line (which stops the\n"
    "run); 2 the command line was wrong; 130, 143 or 129 stopped by Ctrl+C (SIGINT), SIGTERM\n"
    "or SIGHUP, which end the run after the current document.\n"
    "\n"
    "The office engine reads every document as if an attacker wrote it: no network, no macro,\n"
    "nothing of the program's open files, terminal or sockets, and only its own working\n"
    "folders to read and write (Landlock, or namespaces where the kernel lacks it). On a\n"
    "system with neither, a line on standard error says that the engine could read and change\n"
    "your files; convert only documents you trust there.\n";

struct Options {
    bool help = false;
    bool version = false;
    bool recursive = false;
    bool skipConverted = false;
    bool quiet = false;
    // The first option given that only a conversion takes, to name when --convert-to is missing.
    std::string conversionOption;
    std::optional<std::string> format;
    std::optional<std::string> outdir;
    std::vector<std::string> paths;
};

// Parses the arguments; the message of a usage error otherwise.
std::optional<std::string> parse(const std::vector<std::string>& arguments, Options& options) {
    bool optionsEnded = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (optionsEnded || argument.empty() || argument[0] != '-' || argument == "-") {
            options.paths.push_back(argument);
            continue;
        }
        if (argument == "--") {
            optionsEnded = true;
            continue;
        }
        if (argument == "--help" || argument == "-h") {
            options.help = true;
            continue;
        }
        if (argument == "--version") {
            options.version = true;
            continue;
        }
        if (bool* flag = argument == "--recursive"        ? &options.recursive
                         : argument == "--skip-converted" ? &options.skipConverted
                         : argument == "--quiet"          ? &options.quiet
                                                          : nullptr) {
            *flag = true;
            if (options.conversionOption.empty()) {
                options.conversionOption = argument;
            }
            continue;
        }
        // "--convert-to rtf" or "--convert-to=rtf"; likewise --outdir.
        std::optional<std::string>* value = nullptr;
        std::string name = argument;
        std::optional<std::string> inlineValue;
        if (const std::size_t equals = argument.find('='); equals != std::string::npos) {
            name = argument.substr(0, equals);
            inlineValue = argument.substr(equals + 1);
        }
        if (name == "--convert-to") {
            value = &options.format;
        } else if (name == "--outdir") {
            value = &options.outdir;
            if (options.conversionOption.empty()) {
                options.conversionOption = name;
            }
        } else {
            return "unknown option " + argument;
        }
        if (!inlineValue) {
            if (i + 1 >= arguments.size()) {
                return name + " needs a value";
            }
            inlineValue = arguments[++i];
        }
        *value = *inlineValue;
    }
    return std::nullopt;
}

// A document to convert: the path that is converted, the name it is listed under, and where its
// output goes.
struct Document {
    std::string source;
    std::string name;
    std::string subfolder;  // below the output folder ("" for the folder itself), '/' between
    std::optional<SourceStamp> stamp;
    // The output file's name when the output folder's record shows the document converted.
    std::optional<std::string> skippedAs;
};

// The output folder and the subfolders below it that a run converts into: each reached from the
// folder the run holds open, never through a link, made when it gets its first document, and
// held in use while its documents convert; and their records of what was converted.
class OutputFolders {
 public:
    OutputFolders(std::shared_ptr<const platform::Folder> top, const CommandLineIo& io)
        : m_top(std::move(top)), m_io(io) {}

    // The name of the output file the subfolder's record shows the source converted as (which is
    // still there); a subfolder not yet made has none.
    std::optional<std::string> convertedAs(const std::string& subfolder,
                                           const SourceStamp& source) {
        auto found = m_records.find(subfolder);
        if (found == m_records.end()) {
            std::optional<ConvertedRecord> record;
            if (const std::shared_ptr<const platform::Folder> folder = open(subfolder, false)) {
                try {
                    record.emplace(*folder);
                } catch (const platform::SystemError& error) {
                    m_io.err << "pavendel: " << EscapeField(error.path()) << " cannot be read ("
                             << error.reason() << "): its documents are converted again\n";
                }
            }
            found = m_records.emplace(subfolder, std::move(record)).first;
        }
        if (!found->second) {
            return std::nullopt;
        }
        const std::shared_ptr<const platform::Folder> folder = open(subfolder, false);
        return folder ? found->second->outputOf(source, *folder) : std::nullopt;
    }

    // The subfolder, made when missing and in use until another is entered; nothing, with
    // failure() saying why, when it cannot be made or opened.
    std::shared_ptr<const platform::Folder> enter(const std::string& subfolder) {
        if (m_enteredFolder && m_entered == subfolder) {
            return m_enteredFolder;
        }
        m_inUse.reset();
        m_entered = subfolder;
        m_enteredFolder = open(subfolder, true);
        if (m_enteredFolder) {
            m_inUse = std::make_unique<platform::FolderInUse>(m_enteredFolder);
        }
        return m_enteredFolder;
    }
    const std::string& failure() const { return m_failure; }

    // Notes in the folder's record that the source made the output file; a record that cannot
    // be written is said once a folder, and the document stays converted.
    void note(const platform::Folder& folder, const SourceStamp& source,
              const std::string& output) {
        try {
            ConvertedRecord::Add(folder, source, output);
        } catch (const platform::SystemError& error) {
            if (m_unnoted.insert(folder.path()).second) {
                m_io.err << "pavendel: cannot note which documents were converted in "
                         << EscapeField(error.path()) << " (" << error.reason()
                         << "): --skip-converted will convert them again\n";
            }
        }
    }

 private:
    // The subfolder reached from the top, made when missing with `create`; nothing when it is not
    // there or cannot be opened (the reason in m_failure). The last one opened is kept, since a
    // folder's documents come one after another.
    std::shared_ptr<const platform::Folder> open(const std::string& subfolder, bool create) {
        if (subfolder.empty()) {
            return m_top;
        }
        if (m_last && m_lastName == subfolder) {
            return m_last;
        }
        m_last.reset();
        try {
            m_last = platform::OpenSubfolder(*m_top, subfolder, create);
            m_lastName = subfolder;
        } catch (const platform::SystemError& error) {
            m_failure =
                "The output folder " + error.path() + " cannot be used: " + error.reason() + ".";
        }
        return m_last;
    }

    std::shared_ptr<const platform::Folder> m_top;
    const CommandLineIo& m_io;
    std::map<std::string, std::optional<ConvertedRecord>> m_records;
    std::shared_ptr<const platform::Folder> m_last;
    std::string m_lastName;
    std::string m_entered;
    std::shared_ptr<const platform::Folder> m_enteredFolder;
    std::unique_ptr<platform::FolderInUse> m_inUse;
    std::set<std::string> m_unnoted;
    std::string m_failure;
};

// The progress line on a terminal: the document's place in the run, the time since the run
// began and, once a document has converted, an estimate of the time left, from the pace of the
// conversions so far (documents skipped take none).
class Progress {
 public:
    Progress(const CommandLineIo& io, std::size_t total, bool shown)
        : m_io(io), m_total(total), m_enabled(shown), m_start(now()) {}

    // Before the document at that place converts; `remaining` conversions are left, this one
    // among them.
    void show(std::size_t index, std::size_t remaining, const std::string& name) {
        if (!m_enabled) {
            return;
        }
        const Clock::time_point at = now();
        if (!m_firstShown) {
            m_firstShown = at;
        }
        // Appended piece by piece: GCC 12 warns wrongly about "[" + std::string at -O3.
        std::string line(1, '[');
        line += std::to_string(index + 1);
        line += '/';
        line += std::to_string(m_total);
        line += "] ";
        line += duration(at - m_start);
        line += " elapsed";
        if (m_conversions > 0) {
            const auto pace = (at - *m_firstShown) / m_conversions;
            // Rounded up: a document still to go never reads as no time left.
            const auto left = pace * static_cast<std::int64_t>(remaining);
            line += ", about ";
            line += duration(std::chrono::ceil<std::chrono::seconds>(left));
            line += " left";
        }
        line += ": " + EscapeField(name);
        if (m_io.columns > 1 && line.size() >= static_cast<std::size_t>(m_io.columns)) {
            // One line, or the next one cannot take its place: cut between characters.
            std::size_t cut = static_cast<std::size_t>(m_io.columns) - 1;
            while (cut > 0 && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80) {
                --cut;
            }
            line.resize(cut);
        }
        m_io.err << "\r\x1b[K" << line << std::flush;
        m_shown = true;
    }
    void converted() { ++m_conversions; }
    void clear() {
        if (m_shown) {
            m_io.err << "\r\x1b[K" << std::flush;
            m_shown = false;
        }
    }

 private:
    using Clock = std::chrono::steady_clock;
    Clock::time_point now() const { return m_io.now ? m_io.now() : Clock::now(); }
    // "0:42", "12:03", "1:02:03".
    static std::string duration(Clock::duration length) {
        const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(length).count();
        char text[32];
        if (seconds >= 3600) {
            std::snprintf(
                text, sizeof text, "%lld:%02lld:%02lld", static_cast<long long>(seconds / 3600),
                static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
        } else {
            std::snprintf(text, sizeof text, "%lld:%02lld", static_cast<long long>(seconds / 60),
                          static_cast<long long>(seconds % 60));
        }
        return text;
    }

    const CommandLineIo& m_io;
    std::size_t m_total;
    bool m_enabled;
    Clock::time_point m_start;
    std::optional<Clock::time_point> m_firstShown;
    std::int64_t m_conversions = 0;
    bool m_shown = false;
};

// The output folder with one separator at its end, made when missing (one level); the reason
// when it cannot be used.
std::optional<std::string> prepareOutputFolder(std::string& folder) {
    if (folder.empty()) {
        return "the output folder is empty";
    }
    // Trailing separators go, but the root folder keeps its own.
    folder = platform::WithoutTrailingSeparators(folder);
    if (GetPathKind(folder) != kPathFolder) {
        if (GetPathKind(folder) != kPathNothing) {
            return "the output folder " + folder + " is a file";
        }
        try {
            platform::MkDir(folder);
        } catch (const std::exception& error) {
            return "the output folder " + folder + " cannot be made: " + error.what();
        }
    }
    if (!platform::IsPathSeparator(folder.back())) {
        folder.push_back(platform::kPathSeparator);
    }
    return std::nullopt;
}

// The path as the engine gets it: absolute, since the office server's working folder is not
// this process's concern.
std::string absolute(const std::string& path) {
    std::error_code error;
    const std::filesystem::path full = std::filesystem::absolute(platform::ToFsPath(path), error);
    return error ? path : platform::FromFsPath(full);
}

// Flushes standard output; false, said on standard error, when it could not take what was written
// (a full disk, a reader that went away): a missing line would read as a document never given.
bool written(const CommandLineIo& io) {
    if (io.out.flush()) {
        return true;
    }
    io.err << "pavendel: cannot write to standard output\n";
    return false;
}

}  // namespace

bool WantsCommandLine(const std::vector<std::string>& arguments) {
    for (const std::string& argument : arguments) {
        if (argument == "--") {
            return false;
        }
        if (argument == "-h" || argument.rfind("--", 0) == 0) {
            return true;
        }
    }
    return false;
}

std::string EscapeField(const std::string& field) {
    // Tab, line breaks and the backslash by name, so that a line stays one record; every other
    // control a terminal acts on as \xHH.
    return platform::EscapeTerminalControls(EscapeSeparators(field));
}

int RunCommandLine(const std::vector<std::string>& arguments, const CommandLineIo& io) {
    Options options;
    if (const std::optional<std::string> error = parse(arguments, options)) {
        io.err << "pavendel: " << EscapeField(*error) << "\n"
               << kUsage << "Try 'pavendel --help'.\n";
        return kExitUsage;
    }
    if (options.help) {
        io.out << kUsage << "\n" << kHelp;
        return written(io) ? kExitConverted : kExitFailed;
    }
    if (options.version) {
        io.out << "pavendel " << PAVENDEL_VERSION << "\n";
        return written(io) ? kExitConverted : kExitFailed;
    }
    if (!options.format) {
        io.err << "pavendel: " << options.conversionOption << " needs --convert-to rtf\n" << kUsage;
        return kExitUsage;
    }
    if (*options.format != "rtf") {
        io.err << "pavendel: cannot convert to \"" << EscapeField(*options.format)
               << "\": rtf is the one format\n";
        return kExitUsage;
    }
    if (options.paths.empty()) {
        io.err << "pavendel: no PATH to convert\n" << kUsage;
        return kExitUsage;
    }
    std::string outputFolder = options.outdir.value_or(".");
    if (const std::optional<std::string> error = prepareOutputFolder(outputFolder)) {
        io.err << "pavendel: " << EscapeField(*error) << "\n";
        return kExitUsage;
    }

    // The output folder in absolute form: the engine is given its names so, and a tree walked
    // with --recursive leaves it out when it lies inside.
    const std::string absoluteOutput = absolute(outputFolder);
    int status = kExitConverted;
    std::vector<Document> documents;
    for (const std::string& path : options.paths) {
        const int kind = GetPathKind(path);
        if (kind == kPathNothing) {
            io.err << "pavendel: " << EscapeField(path) << ": no such file or folder\n";
            status = kExitFailed;
            continue;
        }
        const std::size_t before = documents.size();
        // "Letters/" lists "Letters/To Bob.doc", not "Letters//To Bob.doc".
        const std::string folderPath =
            kind == kPathFolder ? platform::WithoutTrailingSeparators(path) : path;
        if (kind == kPathFolder && options.recursive) {
            FolderTree tree = ListFolderTree(folderPath, absoluteOutput);
            for (const std::string& unreadable : tree.unreadable) {
                io.err << "pavendel: " << EscapeField(unreadable) << "\n";
                status = kExitFailed;
            }
            for (TreeDocument& document : tree.documents) {
                documents.push_back({std::move(document.source),
                                     std::move(document.name),
                                     std::move(document.subfolder),
                                     {},
                                     {}});
            }
        } else {
            for (const std::string& name : WordDocumentsOf(path)) {
                documents.push_back(
                    {kind == kPathFile ? path : folderPath + platform::kPathSeparator + name,
                     name,
                     {},
                     {},
                     {}});
            }
        }
        if (documents.size() == before) {
            io.err << "pavendel: " << EscapeField(path) << ": no Word documents to convert\n";
            status = kExitFailed;
        }
    }

    // The output folder is opened once: every name is chosen, and every file saved, in that
    // folder or in a subfolder reached from it, whatever their paths come to name during the run.
    std::shared_ptr<const platform::Folder> folder;
    try {
        folder = std::make_shared<const platform::Folder>(absoluteOutput);
    } catch (const platform::SystemError& error) {
        io.err << "pavendel: the output folder " << EscapeField(outputFolder)
               << " cannot be opened: " << error.reason() << "\n";
        return kExitUsage;
    }
    OutputFolders outputs(folder, io);

    // The documents the output folders' records show as converted already are not converted
    // again; the record is read before the run, and each document's stamp taken before it
    // converts, so that one changed meanwhile is converted again by the next run.
    const std::size_t total = documents.size();
    std::vector<std::string> sources;
    for (Document& document : documents) {
        std::string source = absolute(document.source);
        document.stamp = StampOf(source);
        if (options.skipConverted && document.stamp) {
            document.skippedAs = outputs.convertedAs(document.subfolder, *document.stamp);
        }
        if (!document.skippedAs) {
            sources.push_back(std::move(source));
        }
    }
    std::size_t toConvert = sources.size();
    // The office may convert the documents ahead, several at once; they are still taken and
    // reported one by one, in order.
    const automation::PlannedRun plan("Word.Application", std::move(sources));
    Progress progress(io, total, io.progress && !options.quiet);
    for (std::size_t i = 0; i < total; ++i) {
        if (const int signal = io.stopRequested ? io.stopRequested() : 0; signal != 0) {
            progress.clear();
            io.err << "pavendel: stopped after " << i << " of " << total << " documents\n";
            return 128 + signal;
        }
        const Document& document = documents[i];
        const std::string shownFolder =
            outputFolder + (document.subfolder.empty() ? "" : document.subfolder + "/");
        if (document.skippedAs) {
            io.out << EscapeField(document.source) << "\tskipped\t"
                   << EscapeField(shownFolder + *document.skippedAs) << '\n';
            if (!written(io)) {
                progress.clear();
                io.err << "pavendel: stopped after " << i + 1 << " of " << total << " documents\n";
                return kExitFailed;
            }
            continue;
        }
        progress.show(i, toConvert, document.name);
        std::optional<automation::WordFailure> failure;
        std::string target;
        const std::shared_ptr<const platform::Folder> into = outputs.enter(document.subfolder);
        if (!into) {
            failure = automation::WordFailure{automation::WordStep::SaveAs, outputs.failure()};
        } else {
            // The engine is given the name in absolute form; the line names it as the folder was
            // given. A name another run or program takes before the save gives way to the next.
            const std::string absoluteFolder =
                absoluteOutput + (document.subfolder.empty() ? "" : document.subfolder + "/");
            OutputName name(into, absoluteFolder, document.name);
            const auto shown = [&shownFolder, &absoluteFolder](const std::string& base) {
                return shownFolder + base.substr(absoluteFolder.size()) + ".rtf";
            };
            target = shown(name.basePath());
            failure = automation::ConvertWithWord(
                absolute(document.source), name.basePath() + ".rtf", {}, {},
                [&name, &target, &shown](const std::string&) -> std::optional<std::string> {
                    target = shown(name.next());
                    return name.basePath() + ".rtf";
                });
            if (!failure && document.stamp) {
                outputs.note(*into, *document.stamp, platform::NamePartOf(target));
            }
        }
        --toConvert;
        progress.converted();
        progress.clear();
        io.out << EscapeField(document.source) << '\t' << (failure ? "failed" : "converted") << '\t'
               << EscapeField(failure ? failure->description : target) << '\n';
        if (!written(io)) {
            io.err << "pavendel: stopped after " << i + 1 << " of " << total << " documents\n";
            return kExitFailed;
        }
        if (failure) {
            status = kExitFailed;
        }
    }
    return status;
}

}  // namespace core
