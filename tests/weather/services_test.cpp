#include "weather/services.h"

#include <gtest/gtest.h>

#include "base/unicode.h"
#include "weather/canonical_json.h"

namespace weather {
namespace {

// The clients send the UTF-16 forms; they must say exactly what the UTF-8 forms say.
TEST(Services, Utf16ConstantsMatchTheirUtf8Twins) {
    EXPECT_EQ(base::utf8_to_utf16(nws_api_host), std::u16string(nws_api_host_utf16));
    EXPECT_EQ(base::utf8_to_utf16(aviation_data_host), std::u16string(aviation_data_host_utf16));
    EXPECT_EQ(base::utf8_to_utf16(user_agent), std::u16string(user_agent_utf16));
    EXPECT_EQ(base::utf8_to_utf16(accept_header), std::u16string(accept_header_utf16));
}

}  // namespace
}  // namespace weather
