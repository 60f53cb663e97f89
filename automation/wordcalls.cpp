// SPDX-License-Identifier: MIT
#include "automation/wordcalls.h"

#include <cstdlib>
#include <exception>
#include <sstream>

#include "platform/error.h"
#include "platform/newfile.h"
#include "platform/paths.h"

namespace automation {

namespace {

std::string plural(std::size_t count, const char* noun) {
    return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

// The last part of a path, as Windows and POSIX systems separate them.
std::string fileName(const std::string& path) {
    return path.substr(path.find_last_of(platform::kPathSeparators) + 1);
}

// The sentence's first word as a capital: "the office engine" begins one.
std::string capitalised(std::string text) {
    if (!text.empty() && text[0] >= 'a' && text[0] <= 'z') {
        text[0] = static_cast<char>(text[0] - 'a' + 'A');
    }
    return text;
}

}  // namespace

std::optional<WordFailure> ConvertWithWord(const std::string& source, const std::string& target,
                                           const FailureShower& showFailure,
                                           const WordFactory& createWord,
                                           const NextTarget& nextTarget) {
    ObjectPtr word;
    WordStep step = WordStep::Create;
    try {
        word = createWord ? createWord() : CreateObject("Word.Application");
        if (!word) {
            throw AutomationError("Cannot create the object \"Word.Application\".");
        }
        word->put("DisplayAlerts", Variant(wdAlertsNone));
        word->put("AutomationSecurity", Variant(msoAutomationSecurityForceDisable));
        step = WordStep::Open;
        try {
            word->get("Documents")
                .asObject()
                ->call("Open", {Variant(source)},
                       {{"ReadOnly", Variant(true)},
                        {"AddToRecentFiles", Variant(false)},
                        {"ConfirmConversions", Variant(false)},
                        {"NoEncodingDialog", Variant(true)},
                        {"PasswordDocument", Variant(kNoPassword)}});
        } catch (const AutomationError& error) {
            if (error.number() == kWordWrongPassword) {
                throw AutomationError("The document \"" + fileName(source) +
                                          "\" is protected with a password, so it cannot be "
                                          "opened.",
                                      error.number());
            }
            throw;
        }
        step = WordStep::SaveAs;
        for (std::string saveAs = target;;) {
            try {
                word->get("ActiveDocument")
                    .asObject()
                    ->call("SaveAs", {Variant(saveAs)},
                           {{"FileFormat", Variant(wdFormatRTF)},
                            {"AddToRecentFiles", Variant(false)}});
                break;
            } catch (const AutomationError& error) {
                std::optional<std::string> next;
                if (error.number() == kFileAlreadyExists && nextTarget) {
                    next = nextTarget(saveAs);
                }
                if (!next) {
                    throw;
                }
                saveAs = std::move(*next);
            }
        }
        step = WordStep::Quit;
        word->call("Quit", {}, {{"SaveChanges", Variant(wdDoNotSaveChanges)}});
        word.reset();
        return std::nullopt;
    } catch (const std::exception& error) {
        const auto* automation = dynamic_cast<const AutomationError*>(&error);
        WordFailure failure{step, automation != nullptr ? automation->description() : error.what()};
        if (showFailure) {
            showFailure(failure.description);
        }
        if (word) {
            try {
                word->call("Quit", {}, {{"SaveChanges", Variant(wdDoNotSaveChanges)}});
            } catch (const std::exception&) {
                // The Word is ended when its last reference goes, whatever Quit said.
            }
        }
        return failure;
    }
}

std::string OpenSource(const std::vector<Variant>& positional, const NamedArguments& named) {
    if (positional.size() != 1) {
        throw AutomationError("Open takes the path of the document first, but was given " +
                              plural(positional.size(), "positional argument") + ".");
    }
    for (const auto& [argument, value] : named) {
        if (IsMember(argument, "PasswordDocument")) {
            if (!value.isString()) {
                throw AutomationError("PasswordDocument must be text.");
            }
        } else if (IsMember(argument, "ReadOnly") || IsMember(argument, "AddToRecentFiles") ||
                   IsMember(argument, "ConfirmConversions") ||
                   IsMember(argument, "NoEncodingDialog")) {
            if (!value.isBool()) {
                throw AutomationError(argument + " must be True or False.");
            }
        } else {
            throw AutomationError("Open has no argument named \"" + argument + "\".");
        }
    }
    if (!positional[0].isString() || positional[0].asString().empty()) {
        throw AutomationError("Open needs the path of the document as text.");
    }
    return positional[0].asString();
}

std::string SaveAsTarget(const std::vector<Variant>& positional, const NamedArguments& named) {
    if (positional.empty() || positional.size() > 2) {
        throw AutomationError("SaveAs takes the target path and FileFormat, but was given " +
                              plural(positional.size(), "positional argument") + ".");
    }
    std::optional<Variant> format;
    if (positional.size() == 2) {
        format = positional[1];
    }
    for (const auto& [argument, value] : named) {
        if (IsMember(argument, "AddToRecentFiles")) {
            if (!value.isBool()) {
                throw AutomationError("AddToRecentFiles must be True or False.");
            }
            continue;
        }
        if (!IsMember(argument, "FileFormat")) {
            throw AutomationError("SaveAs has no argument named \"" + argument + "\".");
        }
        if (format) {
            throw AutomationError("SaveAs was given FileFormat twice.");
        }
        format = value;
    }
    if (!positional[0].isString() || positional[0].asString().empty()) {
        throw AutomationError("SaveAs needs the target path as text.");
    }
    if (!format) {
        throw AutomationError(
            "SaveAs needs FileFormat 6 (Rich Text Format), the only format it writes.");
    }
    if (!format->isInt()) {
        throw AutomationError(
            "FileFormat must be a number; only 6 (Rich Text Format) is supported.");
    }
    if (format->asInt() != wdFormatRTF) {
        throw AutomationError("Saving in file format " + std::to_string(format->asInt()) +
                              " is not supported; only FileFormat 6 (Rich Text Format) is.");
    }
    return positional[0].asString();
}

void QuitArguments(const std::vector<Variant>& positional, const NamedArguments& named) {
    std::vector<Variant> given = positional;
    for (const auto& [argument, value] : named) {
        if (!IsMember(argument, "SaveChanges")) {
            throw AutomationError("Quit has no argument named \"" + argument + "\".");
        }
        given.push_back(value);
    }
    if (given.size() > 1) {
        throw AutomationError("Quit takes SaveChanges alone, but was given " +
                              plural(given.size(), "argument") + ".");
    }
    // wdDoNotSaveChanges, wdSaveChanges (-1), wdPromptToSaveChanges (-2).
    if (!given.empty() && (!given[0].isInt() || given[0].asInt() < -2 || given[0].asInt() > 0)) {
        throw AutomationError("SaveChanges must be 0, -1 or -2.");
    }
}

void SaveRtfAs(const std::string& converted, const std::string& target) {
    const auto failed = [&target](const platform::SystemError& error) {
        return "The RTF file \"" + fileName(target) + "\" could not be saved: " + error.reason() +
               ".";
    };
    try {
        platform::writeNewFile(converted, target);
    } catch (const platform::NameTaken& error) {
        throw AutomationError(failed(error), kFileAlreadyExists);
    } catch (const platform::SystemError& error) {
        throw AutomationError(failed(error));
    }
}

bool IsDocumentCall(const std::string& member) {
    return IsMember(member, "Open") || IsMember(member, "SaveAs");
}

std::optional<WordDeadlines> ParseWordDeadlines(const std::string& text) {
    std::istringstream fields(text);
    std::vector<std::chrono::milliseconds> values;
    for (std::string field; std::getline(fields, field, ',');) {
        char* end = nullptr;
        const double seconds = std::strtod(field.c_str(), &end);
        if (field.empty() || end == nullptr || *end != '\0' || !(seconds > 0) || seconds > 86400) {
            return std::nullopt;
        }
        values.emplace_back(static_cast<std::int64_t>(seconds * 1000));
    }
    if (values.size() != 3) {
        return std::nullopt;
    }
    WordDeadlines deadlines;
    deadlines.document = values[0];
    deadlines.call = values[1];
    deadlines.start = values[2];
    return deadlines;
}

std::optional<std::string> DescribePathTooLongForWord(const std::string& path) {
    // UTF-16 code units of the UTF-8 path: one for each character, two for one above U+FFFF (a
    // lead byte of four bytes), as the system counts the path it hands Word.
    std::size_t units = 0;
    for (const unsigned char byte : path) {
        if ((byte & 0xC0) != 0x80) {
            units += byte >= 0xF0 ? 2 : 1;
        }
    }
    if (units <= kWordPathLimit) {
        return std::nullopt;
    }
    return "The path of \"" + fileName(path) + "\" is too long for Word: it has " +
           std::to_string(units) + " characters, and Word takes at most " +
           std::to_string(kWordPathLimit) + ".";
}

std::string DescribeDuration(std::chrono::milliseconds duration) {
    std::ostringstream text;
    if (duration.count() % 1000 == 0) {
        text << duration.count() / 1000;
    } else {
        text.precision(1);
        text << std::fixed << static_cast<double>(duration.count()) / 1000.0;
    }
    text << (duration == std::chrono::seconds(1) ? " second" : " seconds");
    return text.str();
}

std::string DescribeStartOverrun(const std::string& server, std::chrono::milliseconds deadline) {
    return capitalised(server) + " did not start in time (more than " + DescribeDuration(deadline) +
           "), so it was stopped.";
}

std::string DescribeOverrun(const std::string& server, const std::string& member,
                            const std::string& document, const std::string& doing,
                            std::chrono::milliseconds deadline) {
    const std::string limit = " (more than " + DescribeDuration(deadline) + ")";
    const std::string named = document.empty() ? "" : document + " ";
    // Word asks its questions in windows of its own, which nobody sees while it works unseen.
    const std::string waiting =
        server == "Word" ? " Word may have been waiting for an answer in a window of its own." : "";
    if (IsMember(member, "Open")) {
        return "The document " + named + "took too long to open" + limit + ", so " + server +
               " was stopped." + waiting;
    }
    if (IsMember(member, "SaveAs")) {
        return "The document " + named + "took too long to save as RTF" + limit + ", so " + server +
               " was stopped." + waiting;
    }
    return capitalised(server) + " took too long " + doing + limit + ", so it was stopped." +
           waiting;
}

}  // namespace automation
