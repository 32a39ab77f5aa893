#include "weather/fetch.h"

#include <array>
#include <istream>
#include <optional>
#include <stdexcept>
#include <streambuf>
#include <vector>

#include "base/unicode.h"
#include "weather/canonical_json.h"
#include "weather/services.h"

namespace weather {
namespace {

HttpResult failed(std::string error) {
    return HttpResult{502, {}, std::move(error)};
}

constexpr char unexpected_host_error[] = "Weather service returned an unexpected host";

bool is_followed_redirect(std::int32_t status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// A failed step's text; a step ended by the attempt's deadline reads as an interrupted
// response, whichever it was. Built before the exchange closes its handles, while the failing
// step's error code is still at hand.
HttpResult step_failed(const HttpExchange& exchange, std::string_view text) {
    return failed(
        exchange.failure_text(exchange.timed_out() ? "Weather response was interrupted" : text));
}

HttpResult read_body(HttpExchange& exchange, std::int32_t status) {
    std::array<char, read_chunk_bytes> buffer;
    std::vector<std::string> body;
    std::size_t size = 0;
    for (;;) {
        std::size_t received = 0;
        if (!exchange.read(buffer, received)) {
            return step_failed(exchange, "Weather response was interrupted");
        }
        if (received == 0) {
            return HttpResult{status, std::move(body), {}};
        }
        // Checked before the append, so memory never exceeds the cap plus one chunk.
        if (size + received > max_body_bytes) {
            return failed("Weather response exceeded the 12 MiB size limit");
        }
        if (body.empty() || body.back().size() + received > body_block_bytes) {
            body.emplace_back();
        }
        body.back().append(buffer.data(), received);
        size += received;
    }
}

// Reads a body's blocks as one stream and frees each block once it has been read, so the text
// of a document is given back while it is decoded.
class BlockReader : public std::streambuf {
public:
    explicit BlockReader(std::vector<std::string>& blocks) : blocks(blocks) {}

protected:
    int_type underflow() override {
        while (next < blocks.size()) {
            if (next > 0) {
                std::string().swap(blocks[next - 1]);
            }
            std::string& block = blocks[next++];
            if (!block.empty()) {
                setg(block.data(), block.data(), block.data() + block.size());
                return traits_type::to_int_type(block.front());
            }
        }
        return traits_type::eof();
    }

private:
    std::vector<std::string>& blocks;
    std::size_t next = 0;
};

}  // namespace

HttpResult http_get(const HttpClient& client, const std::string& url, std::string_view operation,
                    std::chrono::milliseconds time_limit) {
    const Deadline deadline = std::chrono::steady_clock::now() + time_limit;
    const std::optional<std::u16string> wide_url = base::utf8_to_utf16(url);
    if (!wide_url) {
        throw std::runtime_error("Invalid UTF-8 request URL");
    }
    std::u16string target = *wide_url;
    std::optional<base::CrackedUrl> cracked = client.crack_url(target);
    if (!cracked || cracked->scheme != base::UrlScheme::https) {
        return failed("Invalid HTTPS weather service URL");
    }

    // The clients never follow redirects themselves: each target is checked here, like the
    // caller's URL, before anything is sent to it.
    for (std::size_t redirects = 0;; ++redirects) {
        if (!may_reach(cracked->host, operation)) {
            return failed(unexpected_host_error);
        }
        const std::unique_ptr<HttpExchange> exchange = client.start_exchange(deadline);
        if (!exchange->open_session()) {
            return step_failed(*exchange, "Cannot start HTTPS request");
        }
        if (!exchange->connect(cracked->host, cracked->port)) {
            return step_failed(*exchange, "Cannot connect to weather service");
        }
        if (!exchange->open_request(cracked->path + cracked->extra)) {
            return step_failed(*exchange, "Cannot create weather request");
        }
        if (!exchange->send()) {
            return step_failed(*exchange, "Weather download failed");
        }
        std::int32_t status = 0;
        if (!exchange->query_status(status)) {
            return step_failed(*exchange, "Cannot read weather HTTP status");
        }
        if (redirects < max_redirects && is_followed_redirect(status)) {
            if (const auto location = exchange->redirect_location()) {
                // Another scheme is as foreign as another host.
                std::optional<std::u16string> next = base::resolve_reference(target, *location);
                cracked = next ? client.crack_url(*next) : std::nullopt;
                if (!cracked || cracked->scheme != base::UrlScheme::https) {
                    return failed(unexpected_host_error);
                }
                target = std::move(*next);
                continue;
            }
        }
        return read_body(*exchange, status);
    }
}

HttpResult http_get_retrying(const FetchContext& transport, const std::string& url) {
    HttpResult result = http_get(transport.client, url, transport.operation, transport.time_limit);
    if (result.status == 502 || result.status == 503 || result.status == 504) {
        transport.pause(retry_pause);
        result = http_get(transport.client, url, transport.operation, transport.time_limit);
    }
    return result;
}

namespace {

std::runtime_error invalid_json(const std::string& url) {
    return std::runtime_error("Weather service returned an invalid JSON response: " + url);
}

// The body of a successful answer from `url`, checked to hold one JSON value of a depth the
// program can walk; nothing for a 204 the caller allows. Throws the fetch's finished texts.
std::optional<std::vector<std::string>> json_body(const FetchContext& transport,
                                                  const std::string& url, bool allow_no_content) {
    HttpResult result = http_get_retrying(transport, url);
    if (result.status == 204 && allow_no_content) {
        return std::nullopt;
    }
    if (result.status < 200 || result.status > 299) {
        const std::string text =
            result.error.empty() ? "Weather service returned HTTP " + std::to_string(result.status)
                                 : result.error;
        throw std::runtime_error(text + ": " + url);
    }
    // The whole body must be one value of a depth the program can walk; the parser alone
    // would stop at a 0 byte and accept any depth.
    JsonTextScanner scanner;
    for (const std::string& block : result.body) {
        scanner.feed(block);
    }
    if (scanner.fault() != JsonTextFault::none) {
        throw invalid_json(url);
    }
    return std::move(result.body);
}

}  // namespace

nlohmann::json fetch_json(const FetchContext& transport, const std::string& url,
                          bool allow_no_content) {
    std::optional<std::vector<std::string>> body = json_body(transport, url, allow_no_content);
    if (!body) {
        return nlohmann::json::array();
    }
    BlockReader reader(*body);
    std::istream text(&reader);
    try {
        return nlohmann::json::parse(text, nullptr, true, false);
    } catch (const nlohmann::json::exception&) {
        throw invalid_json(url);
    }
}

CompactDocument fetch_compact_json(const FetchContext& transport, const std::string& url,
                                   bool allow_no_content, const CompactOptions& options) {
    std::optional<std::vector<std::string>> body = json_body(transport, url, allow_no_content);
    if (!body) {
        return CompactDocument{options.on_element ? "" : "[]",
                               nlohmann::json::value_t::array,
                               {},
                               std::vector<FoundValue>(options.probes.size())};
    }
    std::size_t size = 0;
    for (const std::string& block : *body) {
        size += block.size();
    }
    BlockReader reader(*body);
    std::istream text(&reader);
    try {
        return compact_document(text, options, size);
    } catch (const nlohmann::json::exception&) {
        throw invalid_json(url);
    }
}

}  // namespace weather
