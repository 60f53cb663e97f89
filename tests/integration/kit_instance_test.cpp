// SPDX-License-Identifier: MIT
// Engine instances on the real engine, forked from this process after it has preinitialised the
// engine as the launcher does: each converts one corpus document, through the hidden conversion
// module when it is there, else through LibreOfficeKit's own document calls. Documents the
// engine cannot digest fail promptly, with a reason, instead of waiting for an answer nobody
// can give.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>

#include "office/server/kitinstance.h"
#include "office/server/kitpreinit.h"
#include "office/server/profile.h"

namespace fs = std::filesystem;

namespace {

using Outcome = office::EngineInstance::Outcome;

class KitInstance : public testing::Test {
 protected:
    static void SetUpTestSuite() {
        // The engine's library writes its settings back into the kit's folder as this process
        // exits; a handler registered before the library is loaded runs after that.
        std::atexit([] {
            if (s_kit) {
                office::removeKitFolder(*s_kit);
            }
        });
        s_kit = office::preinitKit(office::findEngine(), PAVENDEL_PROGRAM_DIR);
    }

    struct Converted {
        office::EngineInstance::Result result;
        std::string rtf;
        std::chrono::duration<double> took;
    };

    // One instance of the kit converts a copy of the corpus document.
    Converted convert(const office::Kit& kit, const std::string& name) {
        const std::string folder = m_work + "/" + name;
        fs::create_directories(folder + "/engine-temp");
        const std::string source = folder + "/" + name;
        fs::copy_file(fs::path(PAVENDEL_DEFAULT_CORPUS) / name, source);
        const std::string target = folder + "/out.rtf";
        const std::string temp = folder + "/engine-temp";
        office::ForkedInstance instance(
            [&kit, temp](int requestFd, int resultFd) {
                return office::runKitInstance(kit, temp, requestFd, resultFd);
            },
            office::ForkedInstance::kStallLimit,
            office::engineLimits(office::findEngine().program, {folder}, {kit.workFolder}));
        const auto started = std::chrono::steady_clock::now();
        Converted converted{instance.convert(source, target, -1), {}, {}};
        converted.took = std::chrono::steady_clock::now() - started;
        std::ifstream in(target, std::ios::binary);
        converted.rtf.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        return converted;
    }

    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(m_work, ignored);
    }

    static inline std::optional<office::Kit> s_kit;
    // An instance reads no files but the engine's own: its documents go where the server puts
    // its private copies, into a working folder in the cache folder.
    std::string m_work = office::makeWorkFolder(office::cacheFolder(), "run");
};

TEST_F(KitInstance, ConvertsDocumentsWithCommentsThroughTheHiddenConversion) {
    ASSERT_TRUE(s_kit) << "LibreOfficeKit could not be preinitialised";
    ASSERT_TRUE(s_kit->hidden) << "the hidden conversion module was not loaded from "
                               << PAVENDEL_PROGRAM_DIR;
    // LibreOfficeKit's own calls refuse all three documents with comments (the last two carry
    // them as well); the hidden conversion converts each.
    for (const char* name : {"comment.docx", "footnote.doc", "simple.doc"}) {
        const Converted converted = convert(*s_kit, name);
        EXPECT_EQ(converted.result.outcome, Outcome::Converted)
            << name << ": " << converted.result.detail;
        EXPECT_THAT(converted.rtf, testing::StartsWith("{\\rtf1")) << name;
    }
}

TEST_F(KitInstance, FailsPromptlyOnWhatNeedsAnAnswerOrIsDamaged) {
    ASSERT_TRUE(s_kit && s_kit->hidden);
    // A password would be asked for, and a damaged package offered for repair: nobody answers
    // in an instance, so both must fail at once rather than wait.
    for (const char* name :
         {"PasswordProtected.doc", "bug53475-password-is-pass.docx", "truncated62886.docx"}) {
        const Converted converted = convert(*s_kit, name);
        EXPECT_EQ(converted.result.outcome, Outcome::Failed) << name;
        EXPECT_FALSE(converted.result.detail.empty()) << name;
        EXPECT_LT(converted.took.count(), 20.0) << name;
        EXPECT_TRUE(converted.rtf.empty()) << name << " left an RTF behind";
    }
}

TEST_F(KitInstance, ConvertsThroughTheKitCallsWhenTheModuleIsMissing) {
    ASSERT_TRUE(s_kit);
    office::Kit plain = *s_kit;
    plain.hidden = {};
    for (const char* name : {"simple.doc", "58067.docx"}) {
        const Converted converted = convert(plain, name);
        EXPECT_EQ(converted.result.outcome, Outcome::Converted)
            << name << ": " << converted.result.detail;
        EXPECT_THAT(converted.rtf, testing::StartsWith("{\\rtf1")) << name;
    }
}

}  // namespace
