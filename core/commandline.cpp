// SPDX-License-Identifier: MIT
#include "core/commandline.h"

#include <exception>
#include <filesystem>
#include <memory>
#include <optional>

#include "automation/automation.h"
#include "automation/wordcalls.h"
#include "core/documents.h"
#include "core/module1.h"
#include "core/pathkind.h"
#include "platform/error.h"
#include "platform/fileattr.h"
#include "platform/folder.h"
#include "platform/paths.h"
#include "platform/systemtext.h"

#ifndef PAVENDEL_VERSION
#define PAVENDEL_VERSION "unknown"
#endif

namespace core {

namespace {

constexpr const char* kUsage =
    "Usage: pavendel [PATH...]\n"
    "       pavendel --convert-to rtf [--outdir DIR] [--] PATH...\n";

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
    "  --help            show this help and end\n"
    "  --version         show the version and end\n"
    "  --                end of the options: everything after it is a PATH\n"
    "\n"
    "Each document gives one line on standard output, its fields separated by tabs:\n"
    "  SOURCE<TAB>converted<TAB>OUTPUT\n"
    "  SOURCE<TAB>failed<TAB>DESCRIPTION\n"
    "with tab, newline, carriage return and backslash in a field written as \\t, \\n, \\r\n"
    "and \\\\, and any other control character as \\x and two hex digits (ESC as \\x1b);\n"
    "names in messages on standard error are written the same way.\n"
    "\n"
    "Exit status: 0 every document converted; 1 a document failed, a PATH named nothing to\n"
    "convert, or standard output could not take a line (which stops the run); 2 the command\n"
    "line was wrong; 130, 143 or 129 stopped by Ctrl+C (SIGINT), SIGTERM or SIGHUP, which end\n"
    "the run after the current document.\n"
    "\n"
    "The office engine reads every document as if an attacker wrote it: no network, no macro,\n"
    "nothing of the program's open files, terminal or sockets, and only its own working\n"
    "folders to read and write (Landlock, or namespaces where the kernel lacks it). On a\n"
    "system with neither, a line on standard error says that the engine could read and change\n"
    "your files; convert only documents you trust there.\n";

struct Options {
    bool help = false;
    bool version = false;
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

// A document to convert: the path that is converted and the name it is listed under.
struct Document {
    std::string source;
    std::string name;
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
    std::string named;
    named.reserve(field.size());
    for (const char c : field) {
        switch (c) {
            case '\t':
                named += "\\t";
                break;
            case '\n':
                named += "\\n";
                break;
            case '\r':
                named += "\\r";
                break;
            case '\\':
                named += "\\\\";
                break;
            default:
                named += c;
        }
    }
    return platform::EscapeTerminalControls(named);
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
        io.err << "pavendel: --outdir needs --convert-to rtf\n" << kUsage;
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

    int status = kExitConverted;
    std::vector<Document> documents;
    for (const std::string& path : options.paths) {
        const int kind = GetPathKind(path);
        if (kind == kPathNothing) {
            io.err << "pavendel: " << EscapeField(path) << ": no such file or folder\n";
            status = kExitFailed;
            continue;
        }
        const std::vector<std::string> names = WordDocumentsOf(path);
        if (names.empty()) {
            io.err << "pavendel: " << EscapeField(path) << ": no Word documents to convert\n";
            status = kExitFailed;
        }
        for (const std::string& name : names) {
            documents.push_back(
                {kind == kPathFile ? path : path + platform::kPathSeparator + name, name});
        }
    }

    // The output folder is opened once: every name is chosen, and every file saved, in that
    // folder, whatever its path comes to name during the run.
    const std::string absoluteOutput = absolute(outputFolder);
    std::shared_ptr<const platform::Folder> folder;
    try {
        folder = std::make_shared<const platform::Folder>(absoluteOutput);
    } catch (const platform::SystemError& error) {
        io.err << "pavendel: the output folder " << outputFolder
               << " cannot be opened: " << error.reason() << "\n";
        return kExitUsage;
    }
    const platform::FolderInUse output(folder);
    const std::size_t total = documents.size();
    // The office may convert the documents ahead, several at once; they are still taken and
    // reported one by one, in order.
    std::vector<std::string> sources;
    for (const Document& document : documents) {
        sources.push_back(absolute(document.source));
    }
    const automation::PlannedRun plan("Word.Application", std::move(sources));
    for (std::size_t i = 0; i < total; ++i) {
        if (const int signal = io.stopRequested ? io.stopRequested() : 0; signal != 0) {
            if (io.progress) {
                io.err << "\r\x1b[K";
            }
            io.err << "pavendel: stopped after " << i << " of " << total << " documents\n";
            return 128 + signal;
        }
        const Document& document = documents[i];
        if (io.progress) {
            io.err << "\r\x1b[K[" << i + 1 << "/" << total << "] " << EscapeField(document.name)
                   << std::flush;
        }
        // The engine is given the name in absolute form; the line names it as the folder was
        // given. A name another run or program takes before the save gives way to the next.
        OutputName name(folder, absoluteOutput, document.name);
        const auto shown = [&outputFolder, &absoluteOutput](const std::string& base) {
            return outputFolder + base.substr(absoluteOutput.size()) + ".rtf";
        };
        std::string target = shown(name.basePath());
        const std::optional<automation::WordFailure> failure = automation::ConvertWithWord(
            absolute(document.source), name.basePath() + ".rtf", {}, {},
            [&name, &target, &shown](const std::string&) -> std::optional<std::string> {
                target = shown(name.next());
                return name.basePath() + ".rtf";
            });
        if (io.progress) {
            io.err << "\r\x1b[K" << std::flush;
        }
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
