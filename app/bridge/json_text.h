#pragma once

// The bridge's JSON: the replies it writes and the one rewrite of a page message's text before
// the library parses it. Everything else about JSON text is the weather core's
// (weather/canonical_json.h).

#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "weather/response.h"

namespace bridge {

// {"body": body, "id": id, "status": status}.
nlohmann::json make_reply(nlohmann::json id, int status, nlohmann::json body);

// {"error": text}, with any ill-formed UTF-8 in `text` replaced so it can always be serialised:
// the weather core's error body, so a reply of either reads the same.
using weather::error_body;

// Compact text with keys in ascending byte order and raw UTF-8; throws the JSON library's
// type error for a string that is not valid UTF-8.
std::string reply_json_text(const nlohmann::json& reply);

// Hand-written because serialising the reply as a value means parsing the body first: for a
// 5 MB body that took 116 ms against 5.9 ms for checking and splicing it (bench/bridge_bench).
// reply_json_text(make_reply(id, status, parse(body))) for a `body` already in the serialiser's
// compact form, written around `body` in its own buffer; any other body gives other text.
std::string spliced_reply_text(std::string body, const nlohmann::json& id, int status);

// Hand-written because the library's parser refuses the escape of a lone UTF-16 surrogate, which
// a page's JSON.stringify writes; scanning for the escapes costs one pass over at most 2048 bytes.
// `json_text` with every \u escape of a lone UTF-16 surrogate replaced by \uFFFD, the same
// length. The Windows host turns a lone UTF-16 unit into U+FFFD before any check, and this reads
// the escaped form the same way. Escaped pairs, other escapes and text that is not JSON are left
// as they are.
std::string with_lone_surrogates_replaced(std::string_view json_text);

}  // namespace bridge
