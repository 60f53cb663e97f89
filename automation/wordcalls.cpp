// SPDX-License-Identifier: MIT
#include "automation/wordcalls.h"

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
                                           const WordFactory& createWord) {
    ObjectPtr word;
    WordStep step = WordStep::Create;
    try {
        word = createWord ? createWord() : CreateObject("Word.Application");
        if (!word) {
            throw AutomationError("Cannot create the object \"Word.Application\".");
        }
        step = WordStep::Open;
        word->get("Documents").asObject()->call("Open", {Variant(source)});
        step = WordStep::SaveAs;
        word->get("ActiveDocument")
            .asObject()
            ->call("SaveAs", {Variant(target)}, {{"FileFormat", Variant(wdFormatRTF)}});
        step = WordStep::Quit;
        word->call("Quit");
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
                word->call("Quit");
            } catch (const std::exception&) {
                // The Word is ended when its last reference goes, whatever Quit said.
            }
        }
        return failure;
    }
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

void SaveRtfAs(const std::string& converted, const std::string& target) {
    try {
        platform::writeNewFile(converted, target);
    } catch (const platform::SystemError& error) {
        const std::string name = target.substr(target.find_last_of(platform::kPathSeparators) + 1);
        throw AutomationError("The RTF file \"" + name +
                              "\" could not be saved: " + error.reason() + ".");
    }
}

bool IsDocumentCall(const std::string& member) {
    return IsMember(member, "Open") || IsMember(member, "SaveAs");
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

std::string DescribeOverrun(const std::string& server, const std::string& member,
                            const std::string& document, const std::string& doing,
                            std::chrono::milliseconds deadline) {
    const std::string limit = " (more than " + DescribeDuration(deadline) + ")";
    const std::string named = document.empty() ? "" : document + " ";
    if (IsMember(member, "Open")) {
        return "The document " + named + "took too long to open" + limit + ", so " + server +
               " was stopped.";
    }
    if (IsMember(member, "SaveAs")) {
        return "The document " + named + "took too long to save as RTF" + limit + ", so " + server +
               " was stopped.";
    }
    return capitalised(server) + " took too long " + doing + limit + ", so it was stopped.";
}

}  // namespace automation
