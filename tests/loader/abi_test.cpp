// Vtable slots of our WebView2 declarations, as the x64 GCC (Itanium C++) ABI encodes them in a
// pointer to a virtual member: one plus the slot's byte offset.

#include <cstring>

#include <gtest/gtest.h>

#include "win32/com_object.h"
#include "win32/webview2.h"

namespace {

template <typename Member>
std::ptrdiff_t slot(Member member) {
    static_assert(sizeof(Member) == 2 * sizeof(std::ptrdiff_t));
    std::ptrdiff_t parts[2];
    std::memcpy(parts, &member, sizeof(parts));
    return (parts[0] - 1) / static_cast<std::ptrdiff_t>(sizeof(void*));
}

TEST(WebView2Abi, SlotsMatchTheInterfaceTables) {
    EXPECT_EQ(slot(&ICoreWebView2Environment::CreateCoreWebView2Controller), 3);
    EXPECT_EQ(slot(&ICoreWebView2Environment::remove_NewBrowserVersionAvailable), 7);
    EXPECT_EQ(slot(&ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler::Invoke), 3);
    EXPECT_EQ(slot(&ICoreWebView2CreateCoreWebView2ControllerCompletedHandler::Invoke), 3);
    EXPECT_EQ(slot(&ICoreWebView2Controller::put_Bounds), 6);
    EXPECT_EQ(slot(&ICoreWebView2Controller::Close), 24);
    EXPECT_EQ(slot(&ICoreWebView2Controller::get_CoreWebView2), 25);
    EXPECT_EQ(slot(&ICoreWebView2::get_Settings), 3);
    EXPECT_EQ(slot(&ICoreWebView2::add_NavigationStarting), 7);
    EXPECT_EQ(slot(&ICoreWebView2::PostWebMessageAsJson), 32);
    EXPECT_EQ(slot(&ICoreWebView2::add_WebMessageReceived), 34);
    EXPECT_EQ(slot(&ICoreWebView2::add_NewWindowRequested), 44);
    EXPECT_EQ(slot(&ICoreWebView2::remove_WindowCloseRequested), 60);
    EXPECT_EQ(slot(&ICoreWebView2_2::add_WebResourceResponseReceived), 61);
    EXPECT_EQ(slot(&ICoreWebView2_2::get_Environment), 67);
    EXPECT_EQ(slot(&ICoreWebView2_3::TrySuspend), 68);
    EXPECT_EQ(slot(&ICoreWebView2_3::SetVirtualHostNameToFolderMapping), 71);
    EXPECT_EQ(slot(&ICoreWebView2_3::ClearVirtualHostNameToFolderMapping), 72);
    EXPECT_EQ(slot(&ICoreWebView2Settings::put_IsStatusBarEnabled), 10);
    EXPECT_EQ(slot(&ICoreWebView2Settings::put_IsBuiltInErrorPageEnabled), 20);
    EXPECT_EQ(slot(&ICoreWebView2Settings2::get_UserAgent), 21);
    EXPECT_EQ(slot(&ICoreWebView2Settings2::put_UserAgent), 22);
    EXPECT_EQ(slot(&ICoreWebView2WebMessageReceivedEventHandler::Invoke), 3);
    EXPECT_EQ(slot(&ICoreWebView2WebMessageReceivedEventArgs::TryGetWebMessageAsString), 5);
    EXPECT_EQ(slot(&ICoreWebView2NavigationStartingEventHandler::Invoke), 3);
    EXPECT_EQ(slot(&ICoreWebView2NavigationStartingEventArgs::get_Cancel), 7);
    EXPECT_EQ(slot(&ICoreWebView2NavigationStartingEventArgs::get_NavigationId), 9);
    EXPECT_EQ(slot(&ICoreWebView2NewWindowRequestedEventHandler::Invoke), 3);
    EXPECT_EQ(slot(&ICoreWebView2NewWindowRequestedEventArgs::put_Handled), 6);
    EXPECT_EQ(slot(&ICoreWebView2NewWindowRequestedEventArgs::get_WindowFeatures), 10);
    EXPECT_EQ(slot(&ICoreWebView2EnvironmentOptions::put_AllowSingleSignOnUsingOSPrimaryAccount),
              10);
}

TEST(WebView2Abi, IidsAndEnumerations) {
    EXPECT_EQ(__uuidof(ICoreWebView2Environment), IID_ICoreWebView2Environment);
    EXPECT_EQ(win32::interface_id<ICoreWebView2Environment>(), IID_ICoreWebView2Environment);
    EXPECT_EQ(win32::interface_id<ICoreWebView2_3>(), IID_ICoreWebView2_3);
    EXPECT_EQ(IID_ICoreWebView2Environment.Data1, 0xB96D755Eu);
    EXPECT_EQ(IID_ICoreWebView2_3.Data4[7], 0x57);
    EXPECT_EQ(sizeof(COREWEBVIEW2_HOST_RESOURCE_ACCESS_KIND), 4u);
    EXPECT_EQ(COREWEBVIEW2_HOST_RESOURCE_ACCESS_KIND_DENY_CORS, 2);
    EXPECT_EQ(COREWEBVIEW2_MOVE_FOCUS_REASON_PREVIOUS, 2);
}

// The handler template: references, QueryInterface, exceptions and the live-object counter.
TEST(ComObject, CountsReleasesAndContainsExceptions) {
    const long before = win32::live_com_objects.load();
    int calls = 0;
    {
        auto handler =
            win32::make_com_object<ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler>(
                [&calls](HRESULT result, ICoreWebView2Environment*) -> HRESULT {
                    ++calls;
                    if (result == E_ABORT) {
                        throw std::runtime_error("boom");
                    }
                    return result == S_OK ? S_OK : S_FALSE;
                });
        EXPECT_EQ(win32::live_com_objects.load(), before + 1);
        EXPECT_EQ(handler->Invoke(S_OK, nullptr), S_OK);
        EXPECT_EQ(handler->Invoke(E_FAIL, nullptr), S_FALSE);
        EXPECT_EQ(handler->Invoke(E_ABORT, nullptr), E_UNEXPECTED);
        EXPECT_EQ(calls, 3);

        win32::ComPtr<IUnknown> unknown;
        EXPECT_EQ(handler->QueryInterface(IID_IUnknown, unknown.put_void()), S_OK);
        win32::ComPtr<ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler> same;
        EXPECT_EQ(
            handler->QueryInterface(IID_ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler,
                                    same.put_void()),
            S_OK);
        win32::ComPtr<IUnknown> none;
        EXPECT_EQ(handler->QueryInterface(IID_ICoreWebView2Environment, none.put_void()),
                  E_NOINTERFACE);
        EXPECT_FALSE(none);
        EXPECT_EQ(handler->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
    }
    EXPECT_EQ(win32::live_com_objects.load(), before);
}

TEST(ComObject, ACallableMayTakeTheObjectAndReturnNothing) {
    ICoreWebView2WebMessageReceivedEventHandler* seen = nullptr;
    auto handler = win32::make_com_object<ICoreWebView2WebMessageReceivedEventHandler>(
        [&seen](ICoreWebView2WebMessageReceivedEventHandler* self, ICoreWebView2*,
                ICoreWebView2WebMessageReceivedEventArgs*) { seen = self; });
    EXPECT_EQ(handler->Invoke(nullptr, nullptr), S_OK);
    EXPECT_EQ(seen, handler.get());
}

}  // namespace
