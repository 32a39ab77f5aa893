#include "weather/text.h"

#include <gtest/gtest.h>

namespace weather {
namespace {

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
