#include "base/unicode.h"

#include <gtest/gtest.h>

#include "base/constant_text.h"
#include "weather/services.h"

namespace base {
namespace {

using namespace weather;

struct Utf8Case {
    const char* name;
    std::string bytes;
    bool valid;
};

TEST(Utf8ToUtf16, AcceptsWellFormedAndRefusesIllFormedSequences) {
    const Utf8Case cases[] = {
        {"empty", "", true},
        {"ascii", "https://api.weather.gov/x", true},
        {"two-byte",
         "Ca\xC3\xB1"
         "ada",
         true},
        {"four-byte", "\xF0\x9F\x8C\xA7", true},
        {"highest code point", "\xF4\x8F\xBF\xBF", true},
        {"lone continuation", "\x80", false},
        {"truncated two-byte", "\xC3", false},
        {"C3 28", "\xC3\x28", false},
        {"overlong slash", "\xC0\xAF", false},
        {"overlong three-byte", "\xE0\x80\xAF", false},
        {"encoded surrogate", "\xED\xA0\x80", false},
        {"above U+10FFFF", "\xF4\x90\x80\x80", false},
        {"F5 lead byte", "\xF5\x80\x80\x80", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(utf8_to_utf16(c.bytes).has_value(), c.valid) << c.name;
    }
}

TEST(Utf8ToUtf16, WritesSurrogatePairsForSupplementaryCharacters) {
    EXPECT_EQ(utf8_to_utf16("\xF0\x9F\x8C\xA7"), std::u16string(u"\U0001F327"));
    EXPECT_EQ(utf8_to_utf16("Ca\xC3\xB1"
                            "ada"),
              std::u16string(u"Ca\u00F1ada"));
}

TEST(Utf16ToUtf8, ReplacesUnpairedSurrogates) {
    EXPECT_EQ(utf16_to_utf8(u"a\xD800"
                            u"b"),
              "a\xEF\xBF\xBD"
              "b");
    EXPECT_EQ(utf16_to_utf8(u"\xDC00"), "\xEF\xBF\xBD");
    EXPECT_EQ(utf16_to_utf8(u"\U0001F327"), "\xF0\x9F\x8C\xA7");
}

TEST(ValidUtf8, KeepsValidTextAndReplacesEachBadByte) {
    EXPECT_EQ(valid_utf8("plain \xC3\xB1"), "plain \xC3\xB1");
    EXPECT_EQ(valid_utf8("cut \xC3"), "cut \xEF\xBF\xBD");
    EXPECT_EQ(valid_utf8("\xC0\xAF"), "\xEF\xBF\xBD\xEF\xBF\xBD");
}

// Twins of one text in two forms come from one UTF-8 definition, converted while compiling, and
// agree with the run-time conversion.
TEST(ConstantText, TwinsComeFromOneDefinition) {
    static constexpr char mixed[] = "a\u00E9\u2014\U0001F327";
    constexpr auto mixed_utf16 = utf16_text(mixed);
    constexpr auto mixed_wide = wide_text(mixed);
    EXPECT_EQ(mixed_utf16.view(), u"a\u00E9\u2014\U0001F327");
    EXPECT_EQ(mixed_wide.view(), L"a\u00E9\u2014\U0001F327");
    EXPECT_EQ(utf8_to_utf16(mixed), mixed_utf16.view());
    EXPECT_TRUE(std::u16string(u"api.weather.gov") == nws_api_host_utf16);
    EXPECT_FALSE(std::u16string(u"api.weather.go") == nws_api_host_utf16);
    EXPECT_EQ(std::u16string_view(static_cast<const char16_t*>(user_agent_utf16)),
              utf8_to_utf16(user_agent));
}

}  // namespace
}  // namespace base
