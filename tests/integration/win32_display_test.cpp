// The Windows display backend against the real system (under Wine with a
// display): the window procedure's events and answers, the tray record, and
// the GL context made twice on one window. Without a display the window
// cannot be made and the tests that need it are skipped.
#include "common/text.hpp"
#include "platform/gl_context.hpp"
#include "platform/messages.hpp"
#include "platform/process.hpp"
#include "platform/renderer.hpp"
#include "platform/tray.hpp"
#include "platform/win32/display_state.hpp"
#include "platform/window.hpp"

#include <gtest/gtest.h>

#include <GL/gl.h>

#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace {

using platform::WindowEvent;

constexpr const char* TestClassName = "VigilonDisplayTest";
constexpr const char* TestTitle = "Vigilon display test";

class Win32Display : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        platform::registerWindowClass(platform::moduleInstance(), TestClassName, 200, record,
                                      nullptr);
        window = platform::createStatusWindow(platform::moduleInstance(), TestClassName, TestTitle,
                                              256, 135);
    }

    static void TearDownTestSuite() {
        if (window != nullptr) {
            platform::destroyWindow(window);
            window = nullptr;
        }
    }

    void SetUp() override {
        if (window == nullptr) {
            GTEST_SKIP() << "no display: the status window cannot be made";
        }
        events.clear();
    }

    static void record(void*, WindowEvent event) { events.push_back(event); }

    static HWND hwnd() { return static_cast<HWND>(window); }

    static LRESULT send(UINT message, WPARAM wParam, LPARAM lParam) {
        return SendMessageA(hwnd(), message, wParam, lParam);
    }

    static inline platform::NativeHandle window = nullptr;
    static inline std::vector<WindowEvent> events;
};

TEST_F(Win32Display, HandledMessagesAnswerZeroAndReportTheirEvent) {
    const UINT iconMessage = WM_USER + 1;
    const struct {
        const char* name;
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
        std::optional<WindowEvent> event;
    } table[] = {
        {"create", WM_CREATE, 0, 0, std::nullopt},
        {"destroy", WM_DESTROY, 0, 0, std::nullopt},
        {"size minimised", WM_SIZE, SIZE_MINIMIZED, MAKELPARAM(0, 0), WindowEvent::Minimised},
        {"size restored", WM_SIZE, SIZE_RESTORED, MAKELPARAM(256, 135), std::nullopt},
        {"close", WM_CLOSE, 0, 0, WindowEvent::CloseRequest},
        {"paint", WM_PAINT, 0, 0, WindowEvent::Exposed},
        {"escape", WM_KEYDOWN, VK_ESCAPE, 1, WindowEvent::EscapeKey},
        {"other key", WM_KEYDOWN, 'A', 1, std::nullopt},
        {"icon double-click", iconMessage, 1, WM_LBUTTONDBLCLK, WindowEvent::TrayDoubleClick},
        {"icon click", iconMessage, 1, WM_LBUTTONDOWN, std::nullopt},
        {"icon right double-click", iconMessage, 1, WM_RBUTTONDBLCLK, std::nullopt},
        {"new taskbar", RegisterWindowMessageA("TaskbarCreated"), 0, 0, std::nullopt},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.name);
        events.clear();
        EXPECT_EQ(send(row.message, row.wParam, row.lParam), 0);
        EXPECT_EQ(events, row.event ? std::vector{*row.event} : std::vector<WindowEvent>{});
    }
    EXPECT_TRUE(IsWindow(hwnd())) << "close and destroy leave the window to the core";
    MSG quit{};
    EXPECT_FALSE(PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE));
}

TEST_F(Win32Display, OtherMessagesReachTheDefaultProcedure) {
    EXPECT_EQ(send(WM_GETTEXTLENGTH, 0, 0), static_cast<LRESULT>(std::strlen(TestTitle)));
    EXPECT_EQ(send(WM_SETTEXT, 0, reinterpret_cast<LPARAM>("abc")), TRUE);
    EXPECT_EQ(send(WM_GETTEXTLENGTH, 0, 0), 3);
    SetWindowTextA(hwnd(), TestTitle);
    EXPECT_TRUE(events.empty());
}

TEST_F(Win32Display, PostedEscapeComesThroughTheQueue) {
    ValidateRect(hwnd(), nullptr); // no paint message among those taken
    PostMessageA(hwnd(), WM_KEYDOWN, VK_ESCAPE, 1);
    platform::Message message;
    while (platform::takeMessage(message) && !message.isQuit) {
        platform::dispatchMessage(message);
    }
    EXPECT_EQ(events, std::vector<WindowEvent>{WindowEvent::EscapeKey});
}

TEST_F(Win32Display, HiddenMinimisedWindowComesBackRestoredAtTheOrigin) {
    ShowWindow(hwnd(), SW_MINIMIZE);
    EXPECT_EQ(events, std::vector<WindowEvent>{WindowEvent::Minimised});
    platform::hideWindow(window);
    EXPECT_FALSE(IsWindowVisible(hwnd()));
    platform::showWindowRestored(window);
    EXPECT_TRUE(IsWindowVisible(hwnd()));
    EXPECT_FALSE(IsIconic(hwnd()));
    RECT frame{};
    GetWindowRect(hwnd(), &frame);
    EXPECT_EQ(frame.left, 0);
    EXPECT_EQ(frame.top, 0);
}

TEST_F(Win32Display, GlContextIsMadeAgainOnTheSameWindow) {
    int format = 0;
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        platform::GlContext gl = platform::createGlContext(window);
        ASSERT_NE(gl.renderContext, nullptr);
        EXPECT_EQ(wglGetCurrentContext(), static_cast<HGLRC>(gl.renderContext));
        int current = GetPixelFormat(static_cast<HDC>(gl.deviceContext));
        EXPECT_NE(current, 0);
        EXPECT_TRUE(round == 0 || current == format);
        format = current;
        std::uint32_t lists = platform::generateLists(96);
        EXPECT_NE(lists, 0u);
        platform::buildFontLists(gl.deviceContext, 32, 96, lists);
        platform::clearFrame();
        platform::swapBuffers(gl.deviceContext);
        platform::deleteLists(lists, 96);
        platform::destroyGlContext(window, gl.deviceContext, gl.renderContext);
        EXPECT_EQ(wglGetCurrentContext(), nullptr);
    }
}

TEST(Win32Tray, RecordHasTheVersion3LayoutOfThisArchitecture) {
    platform::TrayIcon icon;
    icon.size = 504;
    icon.window = reinterpret_cast<platform::NativeHandle>(0x1234);
    icon.id = 1;
    icon.flags = 7;
    icon.callbackMessage = 1025;
    icon.icon = reinterpret_cast<platform::NativeHandle>(0x5678);
    NOTIFYICONDATAA data = platform::win32::notifyIconData(icon);
    EXPECT_EQ(data.cbSize, sizeof(void*) == 8 ? 520u : 504u);
    EXPECT_EQ(data.hWnd, reinterpret_cast<HWND>(0x1234));
    EXPECT_EQ(data.uID, 1u);
    EXPECT_EQ(data.uFlags, 7u);
    EXPECT_EQ(data.uCallbackMessage, 1025u);
    EXPECT_EQ(data.hIcon, reinterpret_cast<HICON>(0x5678));
    EXPECT_EQ(data.dwState, 0u);
    EXPECT_EQ(data.szInfo[0], '\0');
}

TEST(Win32Tray, TipIsCutTo127CharactersWithoutReadingPastIt) {
    const struct {
        std::size_t filled; // leading 'x' bytes; the rest of the 128 are 0
        std::size_t expected;
    } table[] = {{0, 0}, {1, 1}, {127, 127}, {128, 127}};
    for (const auto& row : table) {
        SCOPED_TRACE(row.filled);
        struct {
            platform::TrayIcon icon;
            char after[8]; // would show up in the tip if it were read
        } guarded;
        std::memset(guarded.after, 'y', sizeof guarded.after);
        std::memset(guarded.icon.tip, 'x', row.filled);
        NOTIFYICONDATAA data = platform::win32::notifyIconData(guarded.icon);
        EXPECT_EQ(std::string(data.szTip), std::string(row.expected, 'x'));
    }
}

TEST_F(Win32Display, TrayRecordIsKeptForANewTaskbar) {
    platform::TrayIcon icon;
    icon.size = 504;
    icon.window = window;
    icon.id = 1;
    icon.flags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    icon.callbackMessage = WM_USER + 1;
    icon.icon = platform::loadSmallIcon(platform::moduleInstance(), 200);
    copyText(icon.tip, "added");
    EXPECT_EQ(platform::win32::addedTrayIcon(), nullptr);
    platform::notifyTray(platform::TrayAction::Add, icon);
    icon.flags = NIF_TIP;
    copyText(icon.tip, "changed");
    platform::notifyTray(platform::TrayAction::Modify, icon);
    const NOTIFYICONDATAA* kept = platform::win32::addedTrayIcon();
    ASSERT_NE(kept, nullptr);
    EXPECT_EQ(kept->uFlags, static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_TIP));
    EXPECT_EQ(kept->uCallbackMessage, static_cast<UINT>(WM_USER + 1));
    EXPECT_STREQ(kept->szTip, "changed");
    EXPECT_EQ(send(RegisterWindowMessageA("TaskbarCreated"), 0, 0), 0);
    platform::notifyTray(platform::TrayAction::Delete, icon);
    EXPECT_EQ(platform::win32::addedTrayIcon(), nullptr);
}

} // namespace
