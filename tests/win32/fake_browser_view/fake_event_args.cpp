#include "fake_event_args.h"

#include "string_tracker.h"

namespace fake_browser_view {
namespace {

HRESULT give(const std::optional<std::wstring>& text, LPWSTR* out) {
    if (out == nullptr) {
        return E_POINTER;
    }
    *out = text ? hand_out(*text) : nullptr;
    return S_OK;
}

HRESULT answer_initiator(Initiator initiator, BOOL* out) {
    if (out == nullptr) {
        return E_POINTER;
    }
    if (initiator == Initiator::unset) {
        return E_NOTIMPL;  // and leaves the value as it was
    }
    *out = initiator == Initiator::user ? TRUE : FALSE;
    return S_OK;
}

}  // namespace

HRESULT FakeWebMessageArgs::get_Source(LPWSTR* uri) {
    log_line("message get_Source");
    return give(source, uri);
}

HRESULT FakeWebMessageArgs::get_WebMessageAsJson(LPWSTR* web_message_as_json) {
    log_line("message get_WebMessageAsJson");
    if (web_message_as_json == nullptr) {
        return E_POINTER;
    }
    switch (text) {
        case Text::given:
            *web_message_as_json = hand_out(json);
            return S_OK;
        case Text::failing:
            *web_message_as_json = nullptr;
            return E_INVALIDARG;
        case Text::none:
            *web_message_as_json = nullptr;
            return S_OK;
    }
    return E_UNEXPECTED;
}

HRESULT FakeNavigationArgs::get_Uri(LPWSTR* out) {
    log_line("navigation get_Uri");
    return give(uri, out);
}

HRESULT FakeNavigationArgs::get_IsUserInitiated(BOOL* is_user_initiated) {
    log_line("navigation get_IsUserInitiated");
    return answer_initiator(initiator, is_user_initiated);
}

HRESULT FakeNavigationArgs::put_Cancel(BOOL value) {
    log_line("navigation put_Cancel " + std::to_string(value));
    cancel = value != FALSE;
    return S_OK;
}

HRESULT FakeNewWindowArgs::get_Uri(LPWSTR* out) {
    log_line("new window get_Uri");
    return give(uri, out);
}

HRESULT FakeNewWindowArgs::put_Handled(BOOL value) {
    log_line("new window put_Handled " + std::to_string(value));
    handled_value = value != FALSE;
    return S_OK;
}

HRESULT FakeNewWindowArgs::get_IsUserInitiated(BOOL* is_user_initiated) {
    log_line("new window get_IsUserInitiated");
    return answer_initiator(initiator, is_user_initiated);
}

}  // namespace fake_browser_view
