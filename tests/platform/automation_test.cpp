// SPDX-License-Identifier: MIT
#include "platform/automation.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

using platform::AutomationError;
using platform::Variant;

class Recorder : public platform::AutomationObject {
 public:
    Variant get(const std::string& name) override { return name; }
    Variant call(const std::string& name, const std::vector<Variant>& positional,
                 const platform::NamedArguments& named) override {
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
    EXPECT_THROW(Variant(platform::ObjectPtr()).asObject(), AutomationError);
    EXPECT_THROW(Variant(std::make_shared<Recorder>()).asString(), AutomationError);
}

TEST(CreateObject, FindsProvidersWithoutRegardToCaseAndGivesThePreviousBack) {
    const auto object = std::make_shared<Recorder>();
    EXPECT_FALSE(platform::RegisterProvider("Test.Recorder", [object] { return object; }));
    EXPECT_EQ(platform::CreateObject("test.RECORDER"), object);
    EXPECT_EQ(platform::CreateObject("Test.Recorder")->call("Open", {"a"}, {{"B", 1}}),
              Variant("Open:1:1"));

    const auto previous = platform::RegisterProvider("TEST.RECORDER", {});
    ASSERT_TRUE(previous);
    EXPECT_EQ(previous(), object);
    try {
        platform::CreateObject("Test.Recorder");
        ADD_FAILURE() << "created an object of a removed ProgID";
    } catch (const AutomationError& error) {
        EXPECT_THAT(error.description(), testing::HasSubstr("\"Test.Recorder\""));
    }
}

TEST(CreateObject, KnowsWordApplicationFromTheStartAndReportsAFailingProvider) {
    const auto builtIn =
        platform::RegisterProvider("Word.Application", [] { return platform::ObjectPtr(); });
    EXPECT_TRUE(builtIn);
    EXPECT_THROW(platform::CreateObject("Word.Application"), AutomationError);
    platform::RegisterProvider("Word.Application", builtIn);
}

}  // namespace
