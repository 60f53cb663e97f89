// SPDX-License-Identifier: MIT
// One conversion through Word, as the window, the command line and the look-ahead make it: the
// caller learns which step failed (the look-ahead reports a document that did not open, but
// converts one that it could not write again), sees the description before the Word is quit, and
// the Word that was made is quit whatever failed.
#include "automation/wordcalls.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "support/fakeword.h"
#include "support/tempfolder.h"

namespace {

using automation::WordStep;
using testing::ElementsAre;
using testing::Pair;

struct StepCase {
    const char* name;
    std::function<void(testsupport::FakeWord&, const std::string& source)> arrange;
    WordStep step;
    const char* description;
};

class ConvertWithWordSteps : public testing::TestWithParam<StepCase> {};

TEST_P(ConvertWithWordSteps, SaysWhichStepFailedAndQuitsTheWordItMade) {
    testsupport::TempFolder folder;
    testsupport::FakeWord word;
    const std::string source = folder.write("in/Report.doc");
    GetParam().arrange(word, source);
    std::vector<std::string> shown;
    std::size_t eventsWhenShown = 0;
    const auto failure =
        automation::ConvertWithWord(source, folder / "Report.rtf", [&](const std::string& text) {
            shown.push_back(text);
            eventsWhenShown = word.events.size();
        });
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->step, GetParam().step);
    EXPECT_EQ(failure->description, GetParam().description);
    EXPECT_THAT(shown, ElementsAre(GetParam().description));
    if (GetParam().step == WordStep::Create) {
        EXPECT_THAT(word.events, ElementsAre("create")) << "nothing to quit";
    } else {
        EXPECT_EQ(word.events.back(), "Quit SaveChanges=0");
        EXPECT_LT(eventsWhenShown, word.events.size()) << "shown while the Word was still there";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Steps, ConvertWithWordSteps,
    testing::Values(
        StepCase{"Create",
                 [](testsupport::FakeWord& w, const std::string&) { w.failCreation = true; },
                 WordStep::Create, "The office engine is not installed."},
        StepCase{"Open",
                 [](testsupport::FakeWord& w, const std::string& source) {
                     w.unreadable.insert(source);
                 },
                 WordStep::Open, "The document cannot be opened."},
        StepCase{
            "Password",
            [](testsupport::FakeWord& w, const std::string& source) { w.encrypted.insert(source); },
            WordStep::Open,
            "The document \"Report.doc\" is protected with a password, so it cannot be "
            "opened."},
        StepCase{"SaveAs", [](testsupport::FakeWord& w, const std::string&) { w.failSave = true; },
                 WordStep::SaveAs, "The folder cannot be written."},
        StepCase{"Quit", [](testsupport::FakeWord& w, const std::string&) { w.failQuit = true; },
                 WordStep::Quit, "Word could not quit."}),
    [](const testing::TestParamInfo<StepCase>& row) { return std::string(row.param.name); });

// Word asks nothing, runs no macro, writes nothing beside the source and remembers nothing of the
// conversion; the Word the caller gives is the one used.
TEST(ConvertWithWord, SetsTheWordItIsGivenUpToAskNothingRunNoMacroAndKeepNoTrace) {
    testsupport::TempFolder folder;
    testsupport::FakeWord word;
    const std::string source = folder.write("in/Report.doc");
    int made = 0;
    const auto failure = automation::ConvertWithWord(source, folder / "Report.rtf", {}, [&] {
        ++made;
        return automation::CreateObject("Word.Application");
    });
    EXPECT_EQ(failure, std::nullopt);
    EXPECT_EQ(made, 1);
    EXPECT_THAT(word.events, ElementsAre("create", "DisplayAlerts=0", "AutomationSecurity=3",
                                         "Documents", "Open " + source, "ActiveDocument",
                                         "SaveAs " + (folder / "Report.rtf") +
                                             " FileFormat=6 AddToRecentFiles=False",
                                         "Quit SaveChanges=0"));
    EXPECT_THAT(word.openArguments,
                testing::UnorderedElementsAre(
                    Pair("ReadOnly", automation::Variant(true)),
                    Pair("AddToRecentFiles", automation::Variant(false)),
                    Pair("ConfirmConversions", automation::Variant(false)),
                    Pair("NoEncodingDialog", automation::Variant(true)),
                    Pair("PasswordDocument", automation::Variant(automation::kNoPassword))));
}

// The targets SaveAs was asked to save as, in order.
std::vector<std::string> saveTargets(const testsupport::FakeWord& word) {
    std::vector<std::string> targets;
    for (const std::string& event : word.events) {
        if (event.rfind("SaveAs ", 0) == 0) {
            targets.push_back(event.substr(7, event.find(" FileFormat=") - 7));
        }
    }
    return targets;
}

// SaveAs finds the name taken (another program made the file meanwhile) as often as the caller
// has another target to give; a save that fails for any other reason is never tried again.
TEST(ConvertWithWord, SavesAgainUnderTheNextTargetOnlyWhileTheNameIsTaken) {
    testsupport::TempFolder folder;
    const std::string source = folder.write("in/Report.doc");
    folder.write("Report.rtf", "another program's file");
    folder.write("Report1.rtf", "another program's file");
    // The FakeWord that lives at the call is the one it converts with.
    const auto convert = [&](std::vector<std::string>& taken, std::vector<std::string> targets) {
        return automation::ConvertWithWord(
            source, folder / "Report.rtf", {}, {},
            [&taken, targets](const std::string& target) mutable -> std::optional<std::string> {
                taken.push_back(target);
                if (targets.empty()) {
                    return std::nullopt;
                }
                std::string next = targets.front();
                targets.erase(targets.begin());
                return next;
            });
    };
    {
        testsupport::FakeWord word;
        std::vector<std::string> taken;
        EXPECT_EQ(convert(taken, {folder / "Report1.rtf", folder / "Report2.rtf"}), std::nullopt);
        EXPECT_THAT(taken, ElementsAre(folder / "Report.rtf", folder / "Report1.rtf"));
        EXPECT_THAT(saveTargets(word), ElementsAre(folder / "Report.rtf", folder / "Report1.rtf",
                                                   folder / "Report2.rtf"));
        EXPECT_EQ(word.events.back(), "Quit SaveChanges=0");
        EXPECT_EQ(folder.read("Report2.rtf"), "{\\rtf1 converted}");
        EXPECT_EQ(folder.read("Report.rtf"), "another program's file");
        EXPECT_EQ(folder.read("Report1.rtf"), "another program's file");
    }
    {
        // No other target: the taken name is the failure, in SaveAs's words.
        testsupport::FakeWord word;
        std::vector<std::string> taken;
        const auto failure = convert(taken, {});
        ASSERT_TRUE(failure);
        EXPECT_EQ(failure->step, WordStep::SaveAs);
        EXPECT_THAT(failure->description, testing::HasSubstr("\"Report.rtf\" could not be saved"));
        EXPECT_THAT(taken, ElementsAre(folder / "Report.rtf"));
    }
    {
        testsupport::FakeWord word;
        word.failSave = true;
        std::vector<std::string> taken;
        const auto failure = convert(taken, {folder / "Report2.rtf"});
        ASSERT_TRUE(failure);
        EXPECT_EQ(failure->description, "The folder cannot be written.");
        EXPECT_THAT(taken, testing::IsEmpty());
        EXPECT_THAT(saveTargets(word), ElementsAre(folder / "Report.rtf"));
    }
}

TEST(SaveRtfAs, NumbersATakenNameAsFileAlreadyExistsAndNoOtherFailure) {
    testsupport::TempFolder folder;
    const std::string converted = folder.write("converted.rtf", "{\\rtf1 new}");
    folder.write("out/taken.rtf", "another program's file");
    const auto numberOf = [&](const std::string& target) {
        try {
            automation::SaveRtfAs(converted, target);
        } catch (const automation::AutomationError& error) {
            return error.number();
        }
        ADD_FAILURE() << target << " was saved";
        return std::int32_t{-1};
    };
    EXPECT_EQ(numberOf(folder / "out/taken.rtf"), automation::kFileAlreadyExists);
    EXPECT_EQ(numberOf(folder / "missing/new.rtf"), 0);
    EXPECT_EQ(folder.read("out/taken.rtf"), "another program's file");
}

}  // namespace
