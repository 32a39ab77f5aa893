#include "transport/winhttp_client.h"

// clang-format off
#include <windows.h>
#include <winhttp.h>
// clang-format on

#include <algorithm>
#include <chrono>

#include "weather/services.h"
#include "win32/system_handles.h"

// Some mingw-w64 releases lack these Windows 8.1 names; the values are fixed by the platform.
#ifndef WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY
#define WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY 4
#endif
#ifndef WINHTTP_OPTION_DECOMPRESSION
#define WINHTTP_OPTION_DECOMPRESSION 118
#endif
#ifndef WINHTTP_DECOMPRESSION_FLAG_GZIP
#define WINHTTP_DECOMPRESSION_FLAG_GZIP 0x00000001
#endif
#ifndef WINHTTP_DECOMPRESSION_FLAG_DEFLATE
#define WINHTTP_DECOMPRESSION_FLAG_DEFLATE 0x00000002
#endif

static_assert(sizeof(wchar_t) == sizeof(char16_t), "WinHTTP takes UTF-16 text as wchar_t");

namespace transport {
namespace {

constexpr DWORD resolve_timeout_ms = 8000;
constexpr DWORD connect_timeout_ms = 8000;
constexpr DWORD send_timeout_ms = 8000;
constexpr DWORD receive_timeout_ms = 14000;

const wchar_t* wide(const char16_t* text) {
    return reinterpret_cast<const wchar_t*>(text);
}
const wchar_t* wide(const std::u16string& text) {
    return wide(text.c_str());
}

class WinHttpExchange final : public weather::HttpExchange {
public:
    explicit WinHttpExchange(weather::Deadline deadline) : deadline(deadline) {}

    ~WinHttpExchange() override {
        // The reverse of the order of opening, whichever step the exchange ended at.
        request.reset();
        connection.reset();
        session.reset();
    }

    bool open_session() override {
        const HINTERNET handle =
            WinHttpOpen(wide(weather::user_agent_utf16), WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY,
                        WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0);
        if (!handle) {
            return failed();
        }
        session.reset(handle);
        // Neither result is checked: a client that refuses them still fetches, only with its
        // default time-outs or without compression.
        WinHttpSetTimeouts(session.get(), resolve_timeout_ms, connect_timeout_ms, send_timeout_ms,
                           receive_timeout_ms);
        DWORD decompression = WINHTTP_DECOMPRESSION_FLAG_GZIP | WINHTTP_DECOMPRESSION_FLAG_DEFLATE;
        WinHttpSetOption(session.get(), WINHTTP_OPTION_DECOMPRESSION, &decompression,
                         sizeof decompression);
        return true;
    }

    bool connect(const std::u16string& host, std::uint16_t port) override {
        const HINTERNET handle = WinHttpConnect(session.get(), wide(host), port, 0);
        if (!handle) {
            return failed();
        }
        connection.reset(handle);
        return true;
    }

    bool open_request(const std::u16string& object_name) override {
        const HINTERNET handle = WinHttpOpenRequest(
            connection.get(), L"GET", wide(object_name), nullptr, WINHTTP_NO_REFERER,
            WINHTTP_DEFAULT_ACCEPT_TYPES, WINHTTP_FLAG_SECURE);
        if (!handle) {
            return failed();
        }
        request.reset(handle);
        // The transport follows redirects itself, after checking where they lead; a request
        // that would follow them on its own is not sent at all.
        DWORD policy = WINHTTP_OPTION_REDIRECT_POLICY_NEVER;
        if (!WinHttpSetOption(request.get(), WINHTTP_OPTION_REDIRECT_POLICY, &policy,
                              sizeof policy)) {
            return failed();
        }
        return true;
    }

    bool send() override {
        // Every wait of the exchange is cut short by its deadline, and the headers, like any
        // other bytes, must come within the receive time-out (Wine's client otherwise waits
        // for them for 90 s). The results are not checked, as with the session's time-outs.
        const DWORD left = remaining_ms();
        if (left == 0) {
            return deadline_passed();
        }
        WinHttpSetTimeouts(request.get(), std::min(resolve_timeout_ms, left),
                           std::min(connect_timeout_ms, left), std::min(send_timeout_ms, left),
                           std::min(receive_timeout_ms, left));
        DWORD headers_wait = std::min(receive_timeout_ms, left);
        WinHttpSetOption(request.get(), WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &headers_wait,
                         sizeof headers_wait);
        if (!WinHttpSendRequest(request.get(), wide(weather::accept_header_utf16),
                                static_cast<DWORD>(-1), WINHTTP_NO_REQUEST_DATA, 0, 0, 0)) {
            return failed_unless_late();
        }
        if (!WinHttpReceiveResponse(request.get(), nullptr)) {
            return failed_unless_late();
        }
        return true;
    }

    bool query_status(std::int32_t& status) override {
        DWORD code = 0;
        DWORD size = sizeof code;
        if (!WinHttpQueryHeaders(
                request.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                WINHTTP_HEADER_NAME_BY_INDEX, &code, &size, WINHTTP_NO_HEADER_INDEX)) {
            return failed();
        }
        status = static_cast<std::int32_t>(code);
        return true;
    }

    bool read(std::span<char> buffer, std::size_t& bytes_read) override {
        // A server that keeps sending a byte now and then never meets the receive time-out, so
        // each wait is also cut to what is left until the deadline. Waiting for data first
        // means the read takes what has arrived instead of waiting to fill the buffer.
        const DWORD left = remaining_ms();
        if (left == 0) {
            return deadline_passed();
        }
        DWORD wait = std::min(receive_timeout_ms, left);
        WinHttpSetOption(request.get(), WINHTTP_OPTION_RECEIVE_TIMEOUT, &wait, sizeof wait);
        DWORD available = 0;
        if (!WinHttpQueryDataAvailable(request.get(), &available)) {
            return failed_unless_late();
        }
        DWORD received = 0;
        if (available > 0) {
            const auto capacity =
                static_cast<DWORD>(std::min<std::size_t>({buffer.size(), available, MAXDWORD}));
            if (!WinHttpReadData(request.get(), buffer.data(), capacity, &received)) {
                return failed_unless_late();
            }
        }
        bytes_read = received;
        return true;
    }

    std::optional<std::u16string> redirect_location() override {
        DWORD size = 0;
        if (WinHttpQueryHeaders(request.get(), WINHTTP_QUERY_LOCATION, WINHTTP_HEADER_NAME_BY_INDEX,
                                WINHTTP_NO_OUTPUT_BUFFER, &size, WINHTTP_NO_HEADER_INDEX) ||
            GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
            return std::nullopt;  // no Location header
        }
        std::u16string location(size / sizeof(char16_t) + 1, u'\0');
        size = static_cast<DWORD>(location.size() * sizeof(char16_t));
        if (!WinHttpQueryHeaders(request.get(), WINHTTP_QUERY_LOCATION,
                                 WINHTTP_HEADER_NAME_BY_INDEX, location.data(), &size,
                                 WINHTTP_NO_HEADER_INDEX)) {
            return std::nullopt;
        }
        location.resize(size / sizeof(char16_t));
        return location;
    }

    std::string failure_text(std::string_view text) const override {
        return with_windows_error(text, error);
    }

    bool timed_out() const override { return ended_by_deadline; }

private:
    // Called at once after the failing call, before anything can change the last error.
    bool failed() {
        error = GetLastError();
        return false;
    }

    // A call that failed once the deadline had come was cut short by it, whatever the code.
    bool failed_unless_late() {
        failed();
        if (std::chrono::steady_clock::now() >= deadline) {
            return deadline_passed();
        }
        return false;
    }

    bool deadline_passed() {
        error = ERROR_WINHTTP_TIMEOUT;
        ended_by_deadline = true;
        return false;
    }

    // Milliseconds until the deadline, 0 once it has come.
    DWORD remaining_ms() const {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        return left.count() <= 0 ? 0
                                 : static_cast<DWORD>(std::min<long long>(left.count(), MAXDWORD));
    }

    const weather::Deadline deadline;
    win32::UniqueHinternet session;
    win32::UniqueHinternet connection;
    win32::UniqueHinternet request;
    DWORD error = 0;
    bool ended_by_deadline = false;
};

}  // namespace

std::string with_windows_error(std::string_view text, std::uint32_t code) {
    std::string result(text);
    result += " (Windows error ";
    result += std::to_string(code);
    result += ')';
    return result;
}

std::string with_windows_error(std::string_view text) {
    const DWORD code = GetLastError();
    return with_windows_error(text, code);
}

std::optional<base::CrackedUrl> WinHttpClient::crack_url(const std::u16string& url) const {
    // A non-zero length with no buffer asks for a pointer into `url`; zero lengths (scheme
    // text, user name, password) ask for nothing.
    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof parts;
    parts.dwHostNameLength = static_cast<DWORD>(-1);
    parts.dwUrlPathLength = static_cast<DWORD>(-1);
    parts.dwExtraInfoLength = static_cast<DWORD>(-1);
    if (!WinHttpCrackUrl(wide(url), 0, 0, &parts)) {
        return std::nullopt;
    }
    const auto text = [](const wchar_t* start, DWORD length) {
        return start ? std::u16string(reinterpret_cast<const char16_t*>(start), length)
                     : std::u16string();
    };
    base::CrackedUrl cracked;
    cracked.scheme = parts.nScheme == INTERNET_SCHEME_HTTPS  ? base::UrlScheme::https
                     : parts.nScheme == INTERNET_SCHEME_HTTP ? base::UrlScheme::http
                                                             : base::UrlScheme::other;
    cracked.host = text(parts.lpszHostName, parts.dwHostNameLength);
    cracked.port = parts.nPort;
    cracked.path = text(parts.lpszUrlPath, parts.dwUrlPathLength);
    cracked.extra = text(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    return cracked;
}

std::unique_ptr<weather::HttpExchange> WinHttpClient::start_exchange(
    weather::Deadline deadline) const {
    return std::make_unique<WinHttpExchange>(deadline);
}

}  // namespace transport

namespace weather {

const HttpClient& platform_http_client() {
    // Never destroyed: request threads are detached, so one may still use it while the process
    // runs its exit-time destructors (the service that uses it lives as long).
    static const HttpClient& client = *new transport::WinHttpClient();
    return client;
}

}  // namespace weather
