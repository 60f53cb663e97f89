// SPDX-License-Identifier: MIT
// The server's object model with an engine stand-in: the calls the program makes, and clear
// errors for every call it does not make.
#include "office/server/application.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

using automation::AutomationError;
using automation::ObjectPtr;
using automation::Variant;
using testing::HasSubstr;

struct Saved {
    std::string document;
    std::string target;
};

class StandInEngine : public office::Engine {
 public:
    explicit StandInEngine(std::vector<Saved>& saved) : m_saved(saved) {}

    std::unique_ptr<office::LoadedDocument> open(const std::string& path) override {
        if (path == "/missing.doc") {
            throw AutomationError("The document \"missing.doc\" could not be found.");
        }
        return std::make_unique<Loaded>(path, m_saved);
    }

 private:
    class Loaded : public office::LoadedDocument {
     public:
        Loaded(std::string name, std::vector<Saved>& saved)
            : m_name(std::move(name)), m_saved(saved) {}
        const std::string& name() const override { return m_name; }
        void saveRtf(const std::string& target) override { m_saved.push_back({m_name, target}); }

     private:
        std::string m_name;
        std::vector<Saved>& m_saved;
    };
    std::vector<Saved>& m_saved;
};

class ApplicationObject : public testing::Test {
 protected:
    std::vector<Saved> m_saved;
    std::shared_ptr<office::Application> m_word =
        std::make_shared<office::Application>(std::make_shared<StandInEngine>(m_saved));

    ObjectPtr documents() { return m_word->get("Documents").asObject(); }
};

TEST_F(ApplicationObject, OpensSavesAsRtfAndQuitsAsTheProgramCallsIt) {
    documents()->call("Open", {"/in/a.doc"});
    m_word->get("ActiveDocument").asObject()->call("SaveAs", {"/out/a.rtf"}, {{"FileFormat", 6}});
    ASSERT_EQ(m_saved.size(), 1u);
    EXPECT_EQ(m_saved[0].document, "/in/a.doc");
    EXPECT_EQ(m_saved[0].target, "/out/a.rtf");
    EXPECT_FALSE(m_word->quitRequested());
    m_word->call("Quit", {}, {});
    EXPECT_TRUE(m_word->quitRequested());
}

TEST_F(ApplicationObject, MakesTheLastOpenedDocumentActiveAndMatchesNamesWithoutCase) {
    ObjectPtr first = documents()->call("Open", {"/in/first.doc"}, {}).asObject();
    ObjectPtr second =
        m_word->get("documents").asObject()->call("OPEN", {"/in/second.doc"}, {}).asObject();
    EXPECT_EQ(m_word->get("ActiveDocument").asObject(), second);
    EXPECT_EQ(documents()->get("Count"), Variant(2));
    EXPECT_EQ(first->get("Name"), Variant("/in/first.doc"));
    // Word's positional FileFormat is taken as well as the named one.
    second->call("saveas", {"/out/b.rtf", 6}, {});
    first->call("SaveAs", {"/out/a.rtf"}, {{"fileformat", 6}});
    ASSERT_EQ(m_saved.size(), 2u);
    EXPECT_EQ(m_saved[0].document, "/in/second.doc");
    EXPECT_EQ(m_saved[1].document, "/in/first.doc");
}

TEST_F(ApplicationObject, PassesTheEnginesErrorOnAndKeepsNoDocument) {
    try {
        documents()->call("Open", {"/missing.doc"}, {});
        FAIL() << "opened a missing document";
    } catch (const AutomationError& error) {
        EXPECT_EQ(error.description(), "The document \"missing.doc\" could not be found.");
    }
    EXPECT_EQ(documents()->get("Count"), Variant(0));
}

struct MisuseCase {
    const char* name;
    std::function<void(office::Application&, const ObjectPtr& documents, const ObjectPtr& document)>
        call;
    const char* expected;
};

void PrintTo(const MisuseCase& row, std::ostream* out) {
    *out << row.name;
}

class ApplicationMisuse : public ApplicationObject,
                          public testing::WithParamInterface<MisuseCase> {};

TEST_P(ApplicationMisuse, IsRefusedWithAClearDescription) {
    ObjectPtr collection = documents();
    ObjectPtr document = collection->call("Open", {"/in/a.doc"}, {}).asObject();
    try {
        GetParam().call(*m_word, collection, document);
        FAIL() << "the call was accepted";
    } catch (const AutomationError& error) {
        EXPECT_THAT(error.description(), HasSubstr(GetParam().expected));
    }
    EXPECT_TRUE(m_saved.empty());
}

using App = office::Application;
using Obj = const ObjectPtr&;

INSTANTIATE_TEST_SUITE_P(
    Calls, ApplicationMisuse,
    testing::Values(
        MisuseCase{"UnknownProperty", [](App& w, Obj, Obj) { w.get("Caption"); },
                   "The Application object has no property or method named \"Caption\""},
        MisuseCase{"ShowingTheWindow", [](App& w, Obj, Obj) { w.put("Visible", true); },
                   "The office engine has no window to show."},
        MisuseCase{"MethodReadAsProperty", [](App& w, Obj, Obj) { w.get("Quit"); },
                   "Quit is a method of the Application object"},
        MisuseCase{"QuitWithArguments",
                   [](App& w, Obj, Obj) {
                       w.call("Quit", {0, 0}, {});
                   },
                   "Quit takes SaveChanges alone, but was given 2 arguments"},
        MisuseCase{"OpenWithoutPath", [](App&, Obj d, Obj) { d->call("Open", {}, {}); },
                   "Open takes the path of the document first, but was given 0"},
        MisuseCase{"OpenWithAnArgumentWordDoesNotHave",
                   [](App&, Obj d, Obj) {
                       d->call("Open", {"/a.doc"}, {{"Revert", true}});
                   },
                   "Open has no argument named \"Revert\""},
        MisuseCase{"OpenWithNumber", [](App&, Obj d, Obj) { d->call("Open", {3}, {}); },
                   "Open needs the path of the document as text"},
        MisuseCase{"SaveAsWithoutFormat",
                   [](App&, Obj, Obj doc) { doc->call("SaveAs", {"/o.rtf"}, {}); },
                   "SaveAs needs FileFormat 6 (Rich Text Format)"},
        MisuseCase{"SaveAsOtherFormat",
                   [](App&, Obj, Obj doc) {
                       doc->call("SaveAs", {"/o.docx"}, {{"FileFormat", 12}});
                   },
                   "Saving in file format 12 is not supported; only FileFormat 6"},
        MisuseCase{"SaveAsFormatAsText",
                   [](App&, Obj, Obj doc) {
                       doc->call("SaveAs", {"/o.rtf"}, {{"FileFormat", "6"}});
                   },
                   "FileFormat must be a number"},
        MisuseCase{"SaveAsUnknownNamedArgument",
                   [](App&, Obj, Obj doc) {
                       doc->call("SaveAs", {"/o.rtf"}, {{"FileFormat", 6}, {"Password", "x"}});
                   },
                   "SaveAs has no argument named \"Password\""},
        MisuseCase{"SaveAsWithoutTarget",
                   [](App&, Obj, Obj doc) {
                       doc->call("SaveAs", {""}, {{"FileFormat", 6}});
                   },
                   "SaveAs needs the target path as text"}),
    [](const testing::TestParamInfo<MisuseCase>& row) { return row.param.name; });

TEST(ApplicationWithoutDocument, SaysNoDocumentIsOpen) {
    std::vector<Saved> saved;
    office::Application word(std::make_shared<StandInEngine>(saved));
    try {
        word.get("ActiveDocument");
        FAIL() << "gave an active document";
    } catch (const AutomationError& error) {
        EXPECT_EQ(error.description(),
                  "This command is not available because no document is open.");
    }
}

}  // namespace
