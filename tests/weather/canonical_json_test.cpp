#include "weather/canonical_json.h"

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/weather/scripted_client.h"

namespace weather {
namespace {

// Whether the serialiser writes `text` again for the value `text` holds.
bool survives_parse_and_dump(const std::string& text) {
    try {
        return to_compact_json(nlohmann::json::parse(text, nullptr, true, false)) == text;
    } catch (const nlohmann::json::exception&) {
        return false;
    }
}

TEST(CanonicalJson, SaysYesOnlyToWhatTheSerialiserWrites) {
    struct Case {
        std::string text;
        bool canonical;
    };
    const Case cases[] = {
        {R"({"a":1,"b":[true,false,null],"c":{}})", true},
        {R"([])", true},
        {R"("")", true},
        {R"(0)", true},
        {R"(null)", true},
        {R"({"a":1, "b":2})", false},
        {R"( {"a":1})", false},
        {R"({"a":1} )", false},
        {"{\"a\":1}\n", false},
        {R"({"b":1,"a":2})", false},
        {R"({"a":1,"a":2})", false},
        {R"({"a":1,"ab":2,"b":3})", true},
        {"{\"B\":1,\"a\":2,\"\xC3\xA9\":3}", true},
        {"{\"\xC3\xA9\":3,\"a\":2}", false},
        {R"({"a":1,})", false},
        {R"([1,])", false},
        {R"([1 2])", false},
        {R"({"a"})", false},
        {R"({"a":})", false},
        {R"({1:2})", false},
        {R"([)", false},
        {R"(])", false},
        {R"([1]])", false},
        {R"({"a":1}{})", false},
        {"", false},
        {R"(tru)", false},
        {R"(nul)", false},
        {R"(True)", false},
        {R"("Ca\u00f1ada")", false},
        {"\"Ca\xC3\xB1"
         "ada\"",
         true},
        {R"("a\/b")", false},
        {R"("a/b")", true},
        {R"("q\"b\\s\b\f\n\r\t")", true},
        {R"("\u001f\u0000\u007f")", false},
        {R"("\u001f\u0000")", true},
        {R"("\u001F")", false},
        {R"("\u000a")", false},
        {R"("\u0008")", false},
        {R"("\ud83d\ude00")", false},
        {"\"\xF0\x9F\x98\x80\x7F\"", true},
        {"\"\t\"", false},
        {"\"\xC0\x80\"", false},
        {"\"\xC3\"", false},
        {"\"\xED\xA0\x80\"", false},
        {"\"\xF4\x90\x80\x80\"", false},
        {"\"\xEF\xBB\xBF\"", true},
        {"\xEF\xBB\xBF[]", false},
        {R"("unterminated)", false},
        {R"("a\x")", false},
        {R"("a\u00")", false},
        {R"(-0)", false},
        {R"(-0.0)", true},
        {R"(01)", false},
        {R"(+1)", false},
        {R"(-)", false},
        {R"(1.)", false},
        {R"(.5)", false},
        {R"(1e)", false},
        {R"(1.5)", true},
        {R"(1.50)", false},
        {R"(100.0)", true},
        {R"(100)", true},
        {R"(1e2)", false},
        {R"(1E2)", false},
        {R"(1e+20)", true},
        {R"(1e20)", false},
        {R"(1e-05)", true},
        {R"(1e-5)", false},
        {R"(0.0001)", true},
        {R"(3.3333333333333335)", true},
        {R"(3.33333333333333350)", false},
        {R"(0.1)", true},
        {R"(0.10000000000000001)", false},
        {R"(1e400)", false},
        {R"(-1e400)", false},
        {R"(1e-400)", false},
        {R"(18446744073709551615)", true},
        {R"(18446744073709551616)", false},
        {R"(-9223372036854775808)", true},
        {R"(-9223372036854775809)", false},
        {R"(9223372036854775808)", true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(is_canonical_json(c.text), c.canonical) << c.text;
        EXPECT_EQ(survives_parse_and_dump(c.text), c.canonical) << c.text;
    }
}

TEST(CanonicalJson, KeysWithEscapesAreLeftToTheParser) {
    // Canonical, but their order would need decoding; the caller then takes the slow path.
    const std::string text = R"({"a\nb":1})";
    EXPECT_TRUE(survives_parse_and_dump(text));
    EXPECT_FALSE(is_canonical_json(text));
}

TEST(CanonicalJson, DeepNestingNeedsNoRecursion) {
    const std::string deep = std::string(100000, '[') + std::string(100000, ']');
    EXPECT_TRUE(is_canonical_json(deep));
    EXPECT_FALSE(is_canonical_json(deep.substr(1)));
}

TEST(CanonicalJson, EveryTestDocumentIsCanonicalOnceReserialised) {
    std::size_t documents = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(CORVANE_TEST_DATA_DIR)) {
        if (entry.path().extension() != ".json") {
            continue;
        }
        const std::string relative =
            std::filesystem::relative(entry.path(), CORVANE_TEST_DATA_DIR).generic_string();
        const std::string raw = testing::test_document(relative);
        const std::string compact = to_compact_json(nlohmann::json::parse(raw));
        EXPECT_TRUE(is_canonical_json(compact)) << relative;
        EXPECT_EQ(is_canonical_json(raw), raw == compact) << relative;
        EXPECT_EQ(compact_document(raw).text, compact) << relative;
        ++documents;
    }
    EXPECT_GE(documents, 20u);
}

TEST(CompactDocument, WritesWhatParsingAndSerialisingWrite) {
    using Kind = nlohmann::json::value_t;
    struct Case {
        std::string text;
        Kind kind;
        std::vector<std::string> keys;
    };
    const Case cases[] = {
        {R"( { "b" : [1, 2.50, -0, 1e2, 18446744073709551616], "a" : { "d": null, "c": true } } )",
         Kind::object,
         {"a", "b"}},
        {R"({"a":1,"a":2,"b":{"x":1,"x":[3]},"a":3})", Kind::object, {"a", "b"}},
        {R"({"\u00e9":1,"e":2,"\n":3,"":4})", Kind::object, {"", "\n", "e", "\xC3\xA9"}},
        {R"(["\u00e9\ud83d\ude00\/\u001f\t", "\u007f"])", Kind::array, {}},
        {R"([[], {}, [{}], {"a": []}])", Kind::array, {}},
        {"  \"text\"\n", Kind::string, {}},
        {"-12", Kind::number_integer, {}},
        {"false", Kind::boolean, {}},
        {"null", Kind::null, {}},
    };
    for (const auto& c : cases) {
        const CompactDocument document = compact_document(c.text);
        EXPECT_EQ(document.text, to_compact_json(nlohmann::json::parse(c.text))) << c.text;
        EXPECT_EQ(document.kind, c.kind) << c.text;
        EXPECT_EQ(document.keys, c.keys) << c.text;
    }
    for (const std::string bad :
         {"", "[1,]", "{\"a\":1} x", "[\"\xFF\"]", "{\"a\"}", "[1] [2]", "[1E400]"}) {
        EXPECT_THROW((void)compact_document(bad), nlohmann::json::exception) << bad;
        EXPECT_THROW(const auto parsed = nlohmann::json::parse(bad), nlohmann::json::exception)
            << bad;
    }
}

// The value the parsed document holds at `path`, if any.
const nlohmann::json* value_at(const nlohmann::json& document, const JsonPath& path) {
    const nlohmann::json* at = &document;
    for (const PathStep& step : path) {
        if (step.index == PathStep::no_index) {
            if (!at->is_object() || !at->contains(step.key)) {
                return nullptr;
            }
            at = &(*at)[step.key];
        } else {
            if (!at->is_array() || at->size() <= step.index) {
                return nullptr;
            }
            at = &(*at)[step.index];
        }
    }
    return at;
}

// What a probe finds is what the parsed value holds there, whatever repeats or replaces it.
TEST(CompactDocument, ProbesFindWhatTheParsedValueHolds) {
    const JsonPath periods = {{"properties"}, {"periods"}};
    const JsonPath first_id = {{"features"}, element(0), {"id"}};
    const JsonPath second = {{"features"}, element(1)};
    const std::pair<std::string, JsonPath> cases[] = {
        {R"({"properties":{"periods":[1,2]}})", periods},
        {R"({"properties":{"periods":{}}})", periods},
        {R"({"properties":{"periods":null}})", periods},
        {R"({"properties":{}})", periods},
        {R"({"periods":[]})", periods},
        {R"([{"properties":{"periods":[]}}])", periods},
        {R"({"properties":[{"periods":[]}]})", periods},
        {R"({"properties":{"periods":[1]},"properties":{"x":1}})", periods},
        {R"({"properties":{"periods":[1]},"properties":{"periods":"two"}})", periods},
        {R"({"properties":{"periods":[1]},"properties":5})", periods},
        {R"({"properties":{"periods":[1],"periods":{"a":[]}}})", periods},
        {R"({"other":{"properties":{"periods":[]}},"properties":{"x":{"periods":[]}}})", periods},
        {R"({"features":[{"id":"a"},{"id":"b"}]})", first_id},
        {R"({"features":[{"id":7,"id":"late"}]})", first_id},
        {R"({"features":[[{"id":"a"}],{"id":"b"}]})", first_id},
        {R"({"features":[]})", first_id},
        {R"({"features":{"0":{"id":"a"}}})", first_id},
        {R"({"features":[{"id":"a"},{"id":"b"}],"features":[{"x":1}]})", first_id},
        {R"({"features":[1,{"n":[true]}]})", second},
        {R"({"features":[1]})", second},
        {R"({"features":[1,"\u00e9\n"]})", second},
    };
    for (const auto& [text, path] : cases) {
        CompactOptions options;
        options.probes = {Probe{path}, Probe{path, true}};
        const CompactDocument document = compact_document(text, options);
        const nlohmann::json parsed = nlohmann::json::parse(text);
        const nlohmann::json* expected = value_at(parsed, path);
        ASSERT_EQ(document.found.size(), 2u);
        EXPECT_EQ(document.text, to_compact_json(parsed)) << text;
        const FoundValue& kept = document.found[1];
        if (!expected) {
            EXPECT_EQ(kept.kind, nlohmann::json::value_t::discarded) << text;
            EXPECT_EQ(kept.text, "") << text;
            continue;
        }
        EXPECT_EQ(kept.kind, expected->type()) << text;
        EXPECT_EQ(kept.text, to_compact_json(*expected)) << text;
        EXPECT_EQ(document.found[0].text, expected->is_structured() ? "" : kept.text) << text;
    }
}

// Added members land where assigning them in the parsed value puts them.
TEST(CompactDocument, AddedMembersReplaceTheirKeysInTheObjectNamed) {
    const std::string cases[] = {
        R"({"properties":{"a":1,"stationName":"old","z":[]}})",
        R"({"properties":{}})",
        R"({"properties":{"x":{"properties":{}}},"properties":{"b":2}})",
        R"({"properties":null})",
        R"({"properties":[{}]})",
        R"({"other":{}})",
        R"([{"properties":{}}])",
        R"("properties")",
    };
    CompactOptions options;
    options.additions = {AddedMember{{{"properties"}}, "stationName", R"("Salt Lake")"},
                         AddedMember{{{"properties"}}, "stationIdentifier", R"("KSLC")"}};
    for (const std::string& text : cases) {
        nlohmann::json expected = nlohmann::json::parse(text);
        if (expected.is_object() && expected.contains("properties") &&
            expected["properties"].is_object()) {
            expected["properties"]["stationName"] = "Salt Lake";
            expected["properties"]["stationIdentifier"] = "KSLC";
        }
        EXPECT_EQ(compact_document(text, options).text, to_compact_json(expected)) << text;
    }
}

// A split array hands out each element as the parsed array holds it, probes relative to it.
TEST(CompactDocument, SplitsAnArrayIntoItsElements) {
    const std::string cases[] = {
        R"([{"icaoId":"KSLC","obsTime":5},{"obsTime":1.5,"icaoId":"KOGD","icaoId":"KPVU"},
            7, [ {"icaoId":"KNO"} ], {"icaoId":{"a":1}}, null, "KSGU"])",
        R"([])",
        R"({"icaoId":"KSLC"})",
        R"("KSLC")",
    };
    for (const std::string& text : cases) {
        std::vector<CompactDocument> elements;
        CompactOptions options;
        options.probes = {Probe{{{"icaoId"}}}};
        options.on_element = [&elements](CompactDocument&& element) {
            elements.push_back(std::move(element));
        };
        const CompactDocument document = compact_document(text, options);
        const nlohmann::json parsed = nlohmann::json::parse(text);
        EXPECT_EQ(document.kind, parsed.type()) << text;
        if (!parsed.is_array()) {
            EXPECT_TRUE(elements.empty()) << text;
            EXPECT_EQ(document.text, to_compact_json(parsed)) << text;
            continue;
        }
        EXPECT_EQ(document.text, "") << text;
        ASSERT_EQ(elements.size(), parsed.size()) << text;
        for (std::size_t i = 0; i < parsed.size(); ++i) {
            EXPECT_EQ(elements[i].text, to_compact_json(parsed[i])) << text << " " << i;
            EXPECT_EQ(elements[i].kind, parsed[i].type()) << text << " " << i;
            const nlohmann::json* id = value_at(parsed[i], {{"icaoId"}});
            EXPECT_EQ(elements[i].found[0].kind,
                      id ? id->type() : nlohmann::json::value_t::discarded)
                << text << " " << i;
        }
    }
}

TEST(CompactJson, SortsKeysDropsWhitespaceAndKeepsRawUtf8) {
    const auto value =
        nlohmann::json::parse(R"({ "b": [1, 2], "a": "Ca\u00f1ada", "c": {"z": 1, "y": null} })");
    EXPECT_EQ(to_compact_json(value),
              "{\"a\":\"Ca\xC3\xB1"
              "ada\",\"b\":[1,2],\"c\":{\"y\":null,\"z\":1}}");
}

TEST(CompactJson, RefusesInvalidUtf8WithTheLibraryTypeError) {
    const nlohmann::json value = std::string("\xC3\x28");
    EXPECT_THROW(to_compact_json(value), nlohmann::json::type_error);
}

}  // namespace
}  // namespace weather
