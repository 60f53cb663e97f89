// SPDX-License-Identifier: MIT
#include "automation/automation.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

using automation::AutomationError;
using automation::Variant;

class Recorder : public automation::AutomationObject {
 public:
    Variant get(const std::string& name) override { return name; }
    Variant call(const std::string& name, const std::vector<Variant>& positional,
                 const automation::NamedArguments& named) override {
        return name + ":" + std::to_string(positional.size()) + ":" + std::to_string(named.size());
    }
};

TEST(Variant, ConvertsWhereTheAutomationConventionsAllowAndOnlyThere) {
    EXPECT_TRUE(Variant().isEmpty());
    EXPECT_EQ(Variant().asString(), "");
    EXPECT_EQ(Variant(true).asString(), "True");
    EXPECT_EQ(Variant(false).asString(), "False");
    EXPECT_EQ(Variant(-42).asString(), "-42");
    EXPECT_EQ(Variant(true).asInt(), -1);
    EXPECT_EQ(Variant("6").asString(), "6");
    EXPECT_TRUE(Variant("text").isString());  // not taken for a bool

    EXPECT_THROW(Variant("6").asInt(), AutomationError);
    EXPECT_THROW(Variant(1).asBool(), AutomationError);
    EXPECT_THROW(Variant().asObject(), AutomationError);
    EXPECT_THROW(Variant(automation::ObjectPtr()).asObject(), AutomationError);
    EXPECT_THROW(Variant(std::make_shared<Recorder>()).asString(), AutomationError);
}

TEST(CreateObject, FindsProvidersWithoutRegardToCaseAndGivesThePreviousBack) {
    const auto object = std::make_shared<Recorder>();
    EXPECT_FALSE(automation::RegisterProvider("Test.Recorder", [object] { return object; }));
    EXPECT_EQ(automation::CreateObject("test.RECORDER"), object);
    EXPECT_EQ(automation::CreateObject("Test.Recorder")->call("Open", {"a"}, {{"B", 1}}),
              Variant("Open:1:1"));

    const auto previous = automation::RegisterProvider("TEST.RECORDER", {});
    ASSERT_TRUE(previous);
    EXPECT_EQ(previous(), object);
    try {
        automation::CreateObject("Test.Recorder");
        ADD_FAILURE() << "created an object of a removed ProgID";
    } catch (const AutomationError& error) {
        EXPECT_THAT(error.description(), testing::HasSubstr("\"Test.Recorder\""));
    }
}

// The program's entry points register the provider of "Word.Application"; the registry has none of
// its own, so a ProgID nobody registered goes to the system, which has no such program here.
TEST(CreateObject, ReportsAFailingProviderAndAProgIdNobodyProvides) {
    EXPECT_FALSE(
        automation::RegisterProvider("Word.Application", [] { return automation::ObjectPtr(); }));
    EXPECT_THROW(automation::CreateObject("Word.Application"), AutomationError);
    automation::RegisterProvider("Word.Application", {});
    try {
        automation::CreateObject("Word.Application");
        ADD_FAILURE() << "created an object nobody provides";
    } catch (const AutomationError& error) {
        EXPECT_THAT(error.description(), testing::HasSubstr("no program that provides it"));
    }
}

}  // namespace
