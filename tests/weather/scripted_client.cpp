#include "tests/weather/scripted_client.h"

#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include <nlohmann/json.hpp>

#include "base/unicode.h"
#include "weather/canonical_json.h"

namespace weather::testing {

Exchange Exchange::ok(std::string body, std::int32_t status) {
    Exchange exchange;
    exchange.status = status;
    if (!body.empty()) {
        exchange.chunks.push_back(std::move(body));
    }
    return exchange;
}

Exchange Exchange::failure(Step step, std::uint32_t code) {
    Exchange exchange;
    exchange.fail_at = step;
    exchange.error_code = code;
    return exchange;
}

Exchange Exchange::redirect(std::string location, std::int32_t status) {
    Exchange exchange = with_status(status);
    exchange.location = std::move(location);
    return exchange;
}

Exchange Exchange::deadline_at(Step step) {
    Exchange exchange = failure(step, 12002);
    exchange.times_out = true;
    return exchange;
}

class ScriptedExchange : public HttpExchange {
public:
    ScriptedExchange(const ScriptedClient& client, Deadline deadline, Exchange early_failure)
        : client(client), index(client.begin_request(deadline)), answer(std::move(early_failure)) {}
    ~ScriptedExchange() override { client.exchange_closed(); }

    bool open_session() override { return step(Step::open_session); }

    bool connect(const std::u16string& host, std::uint16_t port) override {
        this->host = base::utf16_to_utf8(host);
        client.set_target(index, this->host, port);
        return step(Step::connect);
    }

    bool open_request(const std::u16string& object_name) override {
        const std::string name = base::utf16_to_utf8(object_name);
        client.set_object(index, name);
        answer = client.next_answer(host, name);
        return step(Step::open_request);
    }

    bool send() override {
        if (answer.delay.count() > 0) {
            std::this_thread::sleep_for(answer.delay);
        }
        if (answer.on_send) {
            answer.on_send();
        }
        return step(Step::send);
    }

    bool query_status(std::int32_t& status) override {
        if (!step(Step::query_status)) {
            return false;
        }
        status = answer.status;
        return true;
    }

    bool read(std::span<char> buffer, std::size_t& bytes_read) override {
        client.record(index, Step::read);
        if (next_chunk == answer.chunks.size()) {
            if (answer.fail_at == Step::read) {
                return false;
            }
            bytes_read = 0;
            return true;
        }
        // Hands out at most one buffer's worth, so long chunks arrive in several reads.
        const std::string& chunk = answer.chunks[next_chunk];
        bytes_read = std::min(buffer.size(), chunk.size() - chunk_offset);
        std::copy_n(chunk.data() + chunk_offset, bytes_read, buffer.data());
        chunk_offset += bytes_read;
        if (chunk_offset == chunk.size()) {
            ++next_chunk;
            chunk_offset = 0;
        }
        return true;
    }

    std::optional<std::u16string> redirect_location() override {
        return answer.location ? base::utf8_to_utf16(*answer.location) : std::nullopt;
    }

    std::string failure_text(std::string_view text) const override {
        return std::string(text) + " (Windows error " + std::to_string(answer.error_code) + ")";
    }

    bool timed_out() const override { return answer.times_out; }

private:
    bool step(Step current) {
        client.record(index, current);
        return answer.fail_at != current;
    }

    const ScriptedClient& client;
    std::size_t index;
    std::string host;
    Exchange answer;  // until open_request: the failure scripted for every exchange
    std::size_t next_chunk = 0;
    std::size_t chunk_offset = 0;
};

std::string ScriptedClient::key_of(const std::string& host, const std::string& object_name) {
    return host + object_name;
}

std::string ScriptedClient::key_of_url(const std::string& url) {
    const auto wide = base::utf8_to_utf16(url);
    const auto cracked = wide ? base::crack_url_portably(*wide) : std::nullopt;
    if (!cracked) {
        throw std::invalid_argument("cannot script an answer for " + url);
    }
    return key_of(base::utf16_to_utf8(cracked->host),
                  base::utf16_to_utf8(cracked->path + cracked->extra));
}

ScriptedClient& ScriptedClient::on(const std::string& url, std::vector<Exchange> exchanges) {
    std::lock_guard lock(mutex);
    script[key_of_url(url)] = std::move(exchanges);
    return *this;
}

ScriptedClient& ScriptedClient::fail_every_exchange_at(Step step, std::uint32_t code) {
    std::lock_guard lock(mutex);
    early_failure = Exchange::failure(step, code);
    return *this;
}

std::unique_ptr<HttpExchange> ScriptedClient::start_exchange(Deadline deadline) const {
    Exchange early;
    {
        std::lock_guard lock(mutex);
        early = early_failure;
    }
    return std::make_unique<ScriptedExchange>(*this, deadline, std::move(early));
}

ScriptedClient& ScriptedClient::answer_with(Answerer answer) {
    std::lock_guard lock(mutex);
    answerer = std::move(answer);
    return *this;
}

Exchange ScriptedClient::next_answer(const std::string& host,
                                     const std::string& object_name) const {
    Answerer answer;
    {
        std::lock_guard lock(mutex);
        answer = answerer;
    }
    if (answer) {
        return answer(host, object_name);
    }
    const std::string key = key_of(host, object_name);
    std::lock_guard lock(mutex);
    const auto found = script.find(key);
    if (found == script.end() || found->second.empty()) {
        return Exchange::with_status(404);
    }
    std::size_t& count = served[key];
    const std::size_t index = std::min(count, found->second.size() - 1);
    ++count;
    return found->second[index];
}

std::size_t ScriptedClient::begin_request(Deadline deadline) const {
    std::lock_guard lock(mutex);
    ++open_count;
    seen.emplace_back().deadline = deadline;
    return seen.size() - 1;
}

void ScriptedClient::record(std::size_t index, Step step) const {
    std::lock_guard lock(mutex);
    seen[index].steps.push_back(step);
}

void ScriptedClient::set_target(std::size_t index, const std::string& host,
                                std::uint16_t port) const {
    std::lock_guard lock(mutex);
    seen[index].host = host;
    seen[index].port = port;
}

void ScriptedClient::set_object(std::size_t index, const std::string& object_name) const {
    std::lock_guard lock(mutex);
    seen[index].object_name = object_name;
}

void ScriptedClient::exchange_closed() const {
    std::lock_guard lock(mutex);
    --open_count;
}

std::vector<SeenRequest> ScriptedClient::requests() const {
    std::lock_guard lock(mutex);
    return seen;
}

std::size_t ScriptedClient::requests_for(const std::string& url) const {
    const std::string key = key_of_url(url);
    std::lock_guard lock(mutex);
    std::size_t count = 0;
    for (const auto& request : seen) {
        count += key_of(request.host, request.object_name) == key ? 1 : 0;
    }
    return count;
}

int ScriptedClient::open_exchanges() const {
    std::lock_guard lock(mutex);
    return open_count;
}

std::string test_document(const std::string& relative_path) {
    std::ifstream file(std::string(CORVANE_TEST_DATA_DIR) + "/" + relative_path, std::ios::binary);
    if (!file) {
        throw std::runtime_error("missing test document " + relative_path);
    }
    std::ostringstream content;
    content << file.rdbuf();
    return content.str();
}

void answer_from_routes(ScriptedClient& client) {
    const nlohmann::json routes = nlohmann::json::parse(test_document("routes.json"));
    for (const auto& route : routes) {
        const std::string url =
            "https://" + route.at("host").get<std::string>() + route.at("path").get<std::string>();
        // A route without a file answers with its status alone (204).
        Exchange answer = route.contains("file")
                              ? Exchange::ok(test_document(route.at("file")), route.at("status"))
                              : Exchange::with_status(route.at("status"));
        if (route.contains("location")) {
            answer.location = route.at("location");
        }
        client.on(url, std::move(answer));
    }
}

}  // namespace weather::testing
