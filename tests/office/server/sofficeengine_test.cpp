// SPDX-License-Identifier: MIT
// SofficeEngine's own logic, with a stand-in script in place of LibreOffice: what it
// refuses before the engine runs, how it reads the engine's outcome, where it writes.
#include "office/server/sofficeengine.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <vector>

#include "automation/automation.h"
#include "hostile/hostilefiles.h"
#include "office/server/profile.h"
#include "support/automationtest.h"
#include "support/tempfolder.h"

namespace fs = std::filesystem;

namespace {

using testsupport::descriptionOf;
using testsupport::ScopedEnv;

using automation::AutomationError;
using testing::HasSubstr;

// Stands in for soffice.bin: set-up runs succeed; a conversion does what the mode says.
std::string standInEngine(const testsupport::TempFolder& folder, const std::string& mode) {
    const std::string path = folder.write(
        "engine/" + mode,
        "#!/bin/sh\n"
        "case \"$*\" in *--convert-to*) ;; *) exit 0 ;; esac\n"
        "out=; prev=; for a in \"$@\"; do [ \"$prev\" = --outdir ] && out=$a; prev=$a; last=$a; "
        "done\n"
        "stem=$(basename \"$last\"); stem=${stem%.*}\n"
        "case " +
            mode +
            " in\n"
            "  writes) printf '{\\\\rtf1 converted %s from %s}' \"$last\" \"$PWD\" > "
            "\"$out/$stem.rtf\" ;;\n"
            "  junk) printf 'not rtf' > \"$out/$stem.rtf\" ;;\n"
            "  crashes) kill -9 $$ ;;\n"
            "esac\n");
    ::chmod(path.c_str(), 0755);
    return path;
}

class SofficeEngineTest : public testing::Test {
 protected:
    testsupport::TempFolder m_folder;
    ScopedEnv m_cache{"XDG_CACHE_HOME", m_folder.mkdir("cache")};

    std::unique_ptr<office::SofficeEngine> engine(const std::string& mode) {
        return std::make_unique<office::SofficeEngine>(
            office::EngineInstall{standInEngine(m_folder, mode), ""}, -1);
    }
};

TEST_F(SofficeEngineTest, ConvertsAPrivateCopyAndSavesItAtTheTarget) {
    const std::string source = m_folder.write("docs/Quarterly report.DOC", "Plain words\n");
    m_folder.mkdir("out");
    {
        auto converter = engine("writes");
        auto document = converter->open(source);
        EXPECT_EQ(document->name(), "Quarterly report.DOC");
        document->saveRtf(m_folder / "out/report.rtf");
    }
    const std::string rtf = m_folder.read("out/report.rtf");
    EXPECT_THAT(rtf, testing::StartsWith("{\\rtf1 converted "));
    EXPECT_THAT(rtf, HasSubstr("/in/Quarterly report.DOC from "));
    EXPECT_THAT(rtf, testing::Not(HasSubstr("/docs")));
    // Nothing new beside the source, nothing left in the output folder but the RTF, and the
    // server's working folder gone with the engine.
    EXPECT_EQ(std::distance(fs::directory_iterator(m_folder / "docs"), fs::directory_iterator()),
              1);
    EXPECT_EQ(std::distance(fs::directory_iterator(m_folder / "out"), fs::directory_iterator()), 1);
    for (const auto& entry : fs::directory_iterator(m_folder / "cache/pavendel")) {
        EXPECT_THAT(entry.path().filename().string(), testing::StartsWith("profile-"));
    }
}

struct RefusalCase {
    const char* name;
    std::string mode;
    std::function<std::string(const testsupport::TempFolder&)> makeSource;
    std::vector<std::string> expected;
};

void PrintTo(const RefusalCase& row, std::ostream* out) {
    *out << row.name;
}

class SofficeEngineRefusal : public SofficeEngineTest,
                             public testing::WithParamInterface<RefusalCase> {};

TEST_P(SofficeEngineRefusal, SaysWhyInPlainWords) {
    auto converter = engine(GetParam().mode);
    const std::string source = GetParam().makeSource(m_folder);
    const std::string description = descriptionOf([&] { converter->open(source); });
    for (const std::string& part : GetParam().expected) {
        EXPECT_THAT(description, HasSubstr(part));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Documents, SofficeEngineRefusal,
    testing::Values(
        RefusalCase{"Missing",
                    "writes",
                    [](const testsupport::TempFolder& f) { return f / "gone.doc"; },
                    {"The document \"gone.doc\" could not be found"}},
        RefusalCase{"Folder",
                    "writes",
                    [](const testsupport::TempFolder& f) { return f.mkdir("a.doc"); },
                    {"is a folder, not a document"}},
        RefusalCase{"Picture",
                    "writes",
                    [](const testsupport::TempFolder& f) {
                        return f.write("photo.doc", std::string("\x89PNG\r\n\x1A\n", 8));
                    },
                    {"\"photo.doc\" is a PNG picture, not a Word document"}},
        RefusalCase{"Binary",
                    "writes",
                    [](const testsupport::TempFolder& f) {
                        return f.write("noise.doc", std::string("\x01\x02\x03\x04\x05\x06", 6));
                    },
                    {"\"noise.doc\" is not a Word document"}},
        RefusalCase{
            "UnpacksToGigabytes",
            "writes",
            [](const testsupport::TempFolder& f) {
                hostile::writeUnpackingBomb(f / "bomb.docx", 3ULL << 30);
                return f / "bomb.docx";
            },
            {"The document \"bomb.docx\" cannot be opened: unpacked, it would take 3.0 GB"}},
        // A sparse file takes no room on the disk, but its private copy would take all 3 GB.
        RefusalCase{"LargerThanAnyDocument",
                    "writes",
                    [](const testsupport::TempFolder& f) {
                        const std::string path = f.write("huge.doc", "{\\rtf1 small start}");
                        fs::resize_file(path, 3ULL << 30);
                        return path;
                    },
                    {"The document \"huge.doc\" cannot be opened: it takes 3.0 GB"}},
        RefusalCase{"EngineWritesNothing",
                    "silent",
                    [](const testsupport::TempFolder& f) { return f.write("x.docx", "text"); },
                    {"\"x.docx\" could not be opened", "damaged"}},
        RefusalCase{"EngineWritesNoRtf",
                    "junk",
                    [](const testsupport::TempFolder& f) { return f.write("x.doc", "text"); },
                    {"\"x.doc\" could not be opened"}},
        RefusalCase{"EngineCrashes",
                    "crashes",
                    [](const testsupport::TempFolder& f) { return f.write("boom.doc", "text"); },
                    {"The office engine stopped unexpectedly while opening the document "
                     "\"boom.doc\""}}),
    [](const testing::TestParamInfo<RefusalCase>& row) { return row.param.name; });

TEST(Profile, FileUrlsEscapeWhatAUrlCannotHold) {
    EXPECT_EQ(office::fileUrl("/home/ann/.cache/pavendel/run-1"),
              "file:///home/ann/.cache/pavendel/run-1");
    EXPECT_EQ(office::fileUrl("/tmp/my docs/Köln#1%"), "file:///tmp/my%20docs/K%C3%B6ln%231%25");
}

// Without HOME the engine's folder lies in the shared temporary folder, where anyone may have
// made a folder of that name first: only a private one of this user's own is used.
TEST(Profile, WithoutAHomeUsesOnlyAPrivateTemporaryFolderOfItsOwn) {
    testsupport::TempFolder temp;
    ScopedEnv tmpdir("TMPDIR", temp.path());
    ScopedEnv cache("XDG_CACHE_HOME", "");
    ScopedEnv home("HOME", "");
    const std::string base = temp / ("pavendel-" + std::to_string(::getuid()));

    EXPECT_EQ(office::cacheFolder(), base + "/pavendel");
    EXPECT_EQ(fs::status(base).permissions() & fs::perms::all, fs::perms::owner_all);

    fs::permissions(base, fs::perms::all);
    EXPECT_THAT(descriptionOf([] { office::cacheFolder(); }),
                HasSubstr("belongs to another user or is open to others"));
    fs::remove_all(base);
    fs::create_directory_symlink(temp.mkdir("elsewhere"), base);
    EXPECT_THAT(descriptionOf([] { office::cacheFolder(); }),
                HasSubstr("belongs to another user or is open to others"));
    EXPECT_TRUE(fs::is_empty(temp / "elsewhere"));
    if (::geteuid() == 0) {  // only root can give a folder to another user
        fs::remove(base);
        ::mkdir(base.c_str(), 0700);
        ASSERT_EQ(::chown(base.c_str(), 65534, 65534), 0);
        EXPECT_THAT(descriptionOf([] { office::cacheFolder(); }),
                    HasSubstr("belongs to another user or is open to others"));
    }
}

TEST(Profile, RemovesOnlyTheFoldersOfServersThatAreGone) {
    testsupport::TempFolder folder;
    const pid_t ended = ::fork();
    if (ended == 0) {
        ::_exit(0);
    }
    ::waitpid(ended, nullptr, 0);
    const std::string mine = "run-" + std::to_string(::getpid()) + "-abc";
    const std::string gone = "run-" + std::to_string(ended) + "-abc";
    const std::string goneSetUp = "prepare-" + std::to_string(ended) + "-abc";
    const std::string goneAhead = "ahead-" + std::to_string(ended) + "-abc";
    const std::string init = "run-1-abc";  // alive, though not ours to remove
    for (const std::string& name :
         {mine, gone, goneSetUp, goneAhead, init, std::string("profile-0123")}) {
        folder.write(name + "/file");
    }
    office::removeStaleFolders(folder.path());
    EXPECT_TRUE(fs::exists(folder / mine));
    EXPECT_FALSE(fs::exists(folder / gone));
    EXPECT_FALSE(fs::exists(folder / goneSetUp));
    EXPECT_FALSE(fs::exists(folder / goneAhead));
    EXPECT_TRUE(fs::exists(folder / init));
    EXPECT_TRUE(fs::exists(folder / "profile-0123"));
}

// The document is read (its kind, its package) in a process of its own before the engine sees
// it: a document that crashes that reading costs only itself, reported as unreadable.
TEST_F(SofficeEngineTest, ADocumentThatCrashesItsCheckIsReportedAndTheNextConverts) {
    auto converter = engine("writes");
    const std::string bad = m_folder.write("bad.doc", "{\\rtf1 crashes the check}");
    const std::string good = m_folder.write("good.doc", "{\\rtf1 fine}");
    {
        ScopedEnv fault("PAVENDEL_OFFICE_FAULT", "check-crash:bad.doc");
        EXPECT_THAT(descriptionOf([&] { converter->open(bad); }),
                    HasSubstr("The document \"bad.doc\" could not be read: reading it stopped"));
        EXPECT_NO_THROW(converter->open(good));
    }
}

// A cache prepared by an earlier version of the program, whose settings were weaker, is keyed by
// the engine's version and build alone: the settings of today must still reach the engine.
TEST_F(SofficeEngineTest, PreparesANewProfileWhenTheProgramsSettingsChanged) {
    const std::string program = standInEngine(m_folder, "writes");
    m_folder.write("engine/versionrc", "[Version]\nbuildid=1\n");
    const std::string identity = std::string("\n") + m_folder.read("engine/versionrc");
    char key[32];
    std::snprintf(key, sizeof key, "%016zx", std::hash<std::string>{}(identity));
    const fs::path cache = office::cacheFolder();
    const fs::path earlier = cache / (std::string("profile-") + key);
    m_folder.write(fs::relative(earlier / "user/registrymodifications.xcu", m_folder.path()),
                   "<oor:items/>\n");

    const std::string prepared = office::preparedProfile({program, ""}, cache, -1);
    EXPECT_NE(fs::path(prepared), earlier);
    std::ifstream in(fs::path(prepared) / "user/registrymodifications.xcu");
    const std::string settings((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
    EXPECT_EQ(settings, office::profileSettings(""));
    // Prepared once: the next server takes the same folder.
    EXPECT_EQ(office::preparedProfile({program, ""}, cache, -1), prepared);
}

// A prepared profile that something edited afterwards (a setting flipped back, a file added, a
// link planted) is never handed to an engine: it is prepared again, and the new one is used
// from then on.
TEST_F(SofficeEngineTest, PreparesTheProfileAgainWhenItWasEditedAfterwards) {
    const std::string program = standInEngine(m_folder, "writes");
    const fs::path cache = office::cacheFolder();
    const fs::path prepared = office::preparedProfile({program, ""}, cache, -1);
    const fs::path settings = prepared / "user/registrymodifications.xcu";
    const auto read = [](const fs::path& path) {
        std::ifstream in(path);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    };
    ASSERT_EQ(read(settings), office::profileSettings(""));
    ASSERT_EQ(office::preparedProfile({program, ""}, cache, -1), prepared.string());

    const std::vector<std::function<void()>> edits{
        [&] { std::ofstream(settings, std::ios::app) << "<!-- links on -->\n"; },
        [&] { std::ofstream(prepared / "user/basic-macro.xba") << "Sub Main\n"; },
        [&] { fs::create_symlink("/home", prepared / "user/elsewhere"); },
        [&] { fs::permissions(settings, fs::perms::all); },
    };
    for (std::size_t i = 0; i < edits.size(); ++i) {
        SCOPED_TRACE("edit " + std::to_string(i));
        edits[i]();
        EXPECT_EQ(office::preparedProfile({program, ""}, cache, -1), prepared.string());
        EXPECT_EQ(read(settings), office::profileSettings(""));
        EXPECT_FALSE(fs::exists(prepared / "user/basic-macro.xba"));
        EXPECT_FALSE(fs::is_symlink(prepared / "user/elsewhere"));
    }
    // Nothing of the replaced profiles is left behind.
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(cache)) {
        left.push_back(entry.path().filename().string());
    }
    EXPECT_EQ(left, std::vector<std::string>{prepared.filename().string()});
}

TEST(FindEngine, TakesTheChosenEngineOrReportsNoneWithThePackageToInstall) {
    {
        ScopedEnv chosen("PAVENDEL_OFFICE_ENGINE", "/nonexistent/soffice.bin");
        EXPECT_TRUE(office::findEngine().program.empty());
    }
    {
        ScopedEnv chosen("PAVENDEL_OFFICE_ENGINE", "/bin/sh");
        EXPECT_EQ(office::findEngine().program, "/bin/sh");
    }
    EXPECT_THAT(office::engineMissingDescription(), HasSubstr("libreoffice-writer-nogui"));
}

}  // namespace
