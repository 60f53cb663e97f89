// SPDX-License-Identifier: MIT
// The Word calls the program makes, written once for every front end and back end: the RTF format
// number, the conversion of one document (a fresh Word, Documents.Open, ActiveDocument.SaveAs in
// Rich Text Format, Quit), the arguments SaveAs takes, which calls open or save a document and so
// get the long deadline, and the words for a call that overran its deadline.
//
//   window, command line ──► ConvertWithWord ──► CreateObject("Word.Application")
//   look-ahead (Linux)   ──► ConvertWithWord ──► a fresh office instance of its own
//   office server, the look-ahead's documents ──► SaveAsTarget, SaveRtfAs
//   office client, COM   ──► WordDeadlines, DescribeOverrun
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "automation/automation.h"

namespace automation {

// Word's file format number for Rich Text Format (wdFormatRTF), the only format the program
// writes.
inline constexpr std::int32_t wdFormatRTF = 6;

// The steps of converting one document, in the order they are taken.
enum class WordStep { Create, Open, SaveAs, Quit };

struct WordFailure {
    WordStep step;
    // What failed, as Word (or the office engine) described it.
    std::string description;
};

using WordFactory = std::function<ObjectPtr()>;
using FailureShower = std::function<void(const std::string& description)>;

// Converts one document through a fresh Word: createWord (by default
// CreateObject("Word.Application")), Documents.Open(source), ActiveDocument.SaveAs(target,
// FileFormat:=wdFormatRTF), Quit. Quit is also asked after a failure, when a Word was created.
// Nothing on success, otherwise the step that failed and its description; showFailure, when
// given, gets that description before Quit is asked, so that a window shows it while the Word
// that failed is still there.
std::optional<WordFailure> ConvertWithWord(const std::string& source, const std::string& target,
                                           const FailureShower& showFailure = {},
                                           const WordFactory& createWord = {});

// The target path of a Document.SaveAs call, its arguments checked as Word takes them: FileName
// first, then FileFormat, which may also come by name and must be wdFormatRTF. Throws
// AutomationError saying what is wrong.
std::string SaveAsTarget(const std::vector<Variant>& positional, const NamedArguments& named);

// SaveAs's last step: puts the converted RTF file in place under the target's name without ever
// replacing a file (platform::writeNewFile). Throws AutomationError in SaveAs's words ("The RTF
// file "Report.rtf" could not be saved: ...").
void SaveRtfAs(const std::string& converted, const std::string& target);

// Whether the member opens or saves a document (Open, SaveAs): those calls may take long.
bool IsDocumentCall(const std::string& member);

// How long a call may take before the Word (or office engine) that serves it is ended.
struct WordDeadlines {
    // Open and SaveAs: loading or writing a large document is slow on a busy machine.
    std::chrono::milliseconds document{std::chrono::seconds(120)};
    // Every other call.
    std::chrono::milliseconds call{std::chrono::seconds(10)};

    std::chrono::milliseconds of(const std::string& member) const {
        return IsDocumentCall(member) ? document : call;
    }
};

// "1 second", "10 seconds", "1.5 seconds".
std::string DescribeDuration(std::chrono::milliseconds duration);

// What the user is told when a call overran its deadline and what served it was stopped:
// "The document "Report.doc" took too long to open (more than 120 seconds), so Word was stopped."
// server names what was stopped ("Word", "the office engine"); document names the document as
// the sentence should (empty: not named); doing says what a call other than Open and SaveAs was
// doing ("running Hang").
std::string DescribeOverrun(const std::string& server, const std::string& member,
                            const std::string& document, const std::string& doing,
                            std::chrono::milliseconds deadline);

}  // namespace automation
