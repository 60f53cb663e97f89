// SPDX-License-Identifier: MIT
// The Word calls the program makes, written once for every front end and back end: the RTF format
// number, the conversion of one document (a fresh Word, Documents.Open, ActiveDocument.SaveAs in
// Rich Text Format, Quit), the arguments those calls take, which calls open or save a document and
// so get the long deadline, and the words for a call that overran its deadline.
//
//   window, command line ──► ConvertWithWord ──► CreateObject("Word.Application")
//   look-ahead (Linux)   ──► ConvertWithWord ──► a fresh office instance of its own
//   office server, the look-ahead's documents ──► OpenSource, SaveAsTarget, QuitArguments,
//                                                 SaveRtfAs
//   office client, COM   ──► WordDeadlines, DescribeOverrun
//
// Word started by automation is invisible, but it still asks questions (a password, "open
// read-only?", a text encoding, "save changes?") in windows of its own that nobody sees, and it
// runs the macros of the documents it opens unless told not to. So every Word is set up before
// the document is opened, and every call says what Word would otherwise ask:
//
//   Application.DisplayAlerts = wdAlertsNone             no alerts; Word takes their defaults
//   Application.AutomationSecurity = ForceDisable        no macro of any document runs
//   Documents.Open(source, ReadOnly:=True,               nothing written beside the source, no
//                  AddToRecentFiles:=False,              "file in use" or "read-only
//                  ConfirmConversions:=False,            recommended" question, not in Word's
//                  NoEncodingDialog:=True,               recent files, no conversion or encoding
//                  PasswordDocument:=kNoPassword)        dialog, an encrypted document fails at
//                                                        once instead of asking for its password
//   ActiveDocument.SaveAs(target, FileFormat:=6, AddToRecentFiles:=False)
//                                                        again under the next free name when
//                                                        another program took this one meanwhile
//   Quit(SaveChanges:=wdDoNotSaveChanges)                no "save changes?" question
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
// Application.DisplayAlerts: no alerts or message boxes (WdAlertLevel).
inline constexpr std::int32_t wdAlertsNone = 0;
// Application.AutomationSecurity: every macro of every file opened by automation disabled, without
// a security alert (MsoAutomationSecurity). A Word started by automation enables them all.
inline constexpr std::int32_t msoAutomationSecurityForceDisable = 3;
// Quit's SaveChanges: quit without saving anything (WdSaveOptions).
inline constexpr std::int32_t wdDoNotSaveChanges = 0;
// The password every Open gives: no real document has it, so Word ignores it for a document
// without one and fails at once for an encrypted one, where it would otherwise ask.
inline constexpr const char* kNoPassword = "#pavendel#none#";
// The error Word reports for a password that does not open the document (5408, as Visual Basic
// numbers Word's errors, 0x800A0000 plus the number).
inline constexpr std::int32_t kWordWrongPassword = static_cast<std::int32_t>(0x800A1520u);

// "File already exists" (Visual Basic's error 58, as Word numbers it): what SaveAs raises when the
// office engine finds the target's name taken as it writes the file, which it never replaces.
inline constexpr std::int32_t kFileAlreadyExists = static_cast<std::int32_t>(0x800A003Au);

// The steps of converting one document, in the order they are taken.
enum class WordStep { Create, Open, SaveAs, Quit };

struct WordFailure {
    WordStep step;
    // What failed, as Word (or the office engine) described it.
    std::string description;
};

using WordFactory = std::function<ObjectPtr()>;
using FailureShower = std::function<void(const std::string& description)>;
// Given a target whose name SaveAs found taken (kFileAlreadyExists), the next target to save as;
// nothing to let the conversion fail.
using NextTarget = std::function<std::optional<std::string>(const std::string& taken)>;

// Converts one document through a fresh Word: createWord (by default
// CreateObject("Word.Application")) and its settings, Documents.Open(source, ...),
// ActiveDocument.SaveAs(target, FileFormat:=wdFormatRTF, ...), Quit, with the arguments above.
// When SaveAs finds the target's name taken and nextTarget gives another target, SaveAs is asked
// again with that one, as often as that happens. Quit is also asked after a failure, when a Word
// was created. Nothing on success, otherwise the step that failed (the settings count as creating
// Word) and its description; showFailure, when given, gets that description before Quit is asked,
// so that a window shows it while the Word that failed is still there.
std::optional<WordFailure> ConvertWithWord(const std::string& source, const std::string& target,
                                           const FailureShower& showFailure = {},
                                           const WordFactory& createWord = {},
                                           const NextTarget& nextTarget = {});

// The arguments of the calls, checked as Word takes them; each throws AutomationError saying what
// is wrong. Documents.Open: the path first, and by name only the arguments ConvertWithWord gives.
// Document.SaveAs: FileName first, then FileFormat, which may also come by name and must be
// wdFormatRTF, and AddToRecentFiles by name. Quit: SaveChanges, first or by name, one of Word's
// three save options.
std::string OpenSource(const std::vector<Variant>& positional, const NamedArguments& named);
std::string SaveAsTarget(const std::vector<Variant>& positional, const NamedArguments& named);
void QuitArguments(const std::vector<Variant>& positional, const NamedArguments& named);

// SaveAs's last step: puts the converted RTF file in place under the target's name without ever
// replacing a file (platform::writeNewFile), in the folder in use for the target's folder when
// there is one (platform/folder.h). Throws AutomationError in SaveAs's words ("The RTF file
// "Report.rtf" could not be saved: ..."), numbered kFileAlreadyExists when the name is taken.
void SaveRtfAs(const std::string& converted, const std::string& target);

// Whether the member opens or saves a document (Open, SaveAs): those calls may take long.
bool IsDocumentCall(const std::string& member);

// How long a call may take before the Word (or office engine) that serves it is ended.
struct WordDeadlines {
    // Open and SaveAs: loading or writing a large document is slow on a busy machine.
    std::chrono::milliseconds document{std::chrono::seconds(120)};
    // Every other call.
    std::chrono::milliseconds call{std::chrono::seconds(10)};
    // Starting Word up to the answer to its first call: the first start after Word was installed
    // or updated, or on a busy machine, takes far longer than a call.
    std::chrono::milliseconds start{std::chrono::seconds(60)};

    std::chrono::milliseconds of(const std::string& member) const {
        return IsDocumentCall(member) ? document : call;
    }
};

// Deadlines written as "document,call,start" in seconds ("120,10,60"), as $PAVENDEL_WORD_DEADLINES
// gives them for tests and diagnosis; nothing when the text is not three positive numbers.
std::optional<WordDeadlines> ParseWordDeadlines(const std::string& text);

// The longest path Word opens or saves, in characters (UTF-16 code units, as Windows counts them):
// a longer one fails with a message of Word's that does not say why.
inline constexpr std::size_t kWordPathLimit = 255;
// The description for a path longer than that, naming the file; nothing for a path Word takes.
std::optional<std::string> DescribePathTooLongForWord(const std::string& path);

// What the user is told when what serves the calls did not start by its deadline and was stopped:
// "Word did not start in time (more than 60 seconds), so it was stopped."
std::string DescribeStartOverrun(const std::string& server, std::chrono::milliseconds deadline);

// "1 second", "10 seconds", "1.5 seconds".
std::string DescribeDuration(std::chrono::milliseconds duration);

// What the user is told when a call overran its deadline and what served it was stopped:
// "The document "Report.doc" took too long to open (more than 120 seconds), so Word was stopped."
// server names what was stopped ("Word", "the office engine"); document names the document as
// the sentence should (empty: not named); doing says what a call other than Open and SaveAs was
// doing ("running Hang"). Word, unlike the office engine, may ask a question in a window nobody
// sees; a sentence about Word says so.
std::string DescribeOverrun(const std::string& server, const std::string& member,
                            const std::string& document, const std::string& doing,
                            std::chrono::milliseconds deadline);

}  // namespace automation
