// The Windows backend's reading thread: a connection closed while its thread
// still waits inside WinHTTP (Wine's WinHTTP ends that wait only when the
// peer answers or goes) must never read from the next connection, which
// WinHTTP may give the same handle value.
#include "platform/client_api.hpp"
#include "websocket_peer.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace loopback;

TEST(Win32ClientApi, AClosedConnectionsThreadNeverReadsFromTheNextOne) {
    WebSocketPeer first;
    ApiConnection closed = openApi(first.port());
    ASSERT_NE(closed, nullptr);
    first.join();
    closed.reset(); // the close frame is left unanswered: the thread still waits
    EXPECT_EQ(first.next(Opcode::Close), "\x03\xe8"); // 1000, a normal close

    WebSocketPeer second;
    ApiConnection next = openApi(second.port());
    ASSERT_NE(next, nullptr);
    second.join();
    // A late message ends the first connection's wait inside WinHTTP; its
    // thread must stop there instead of receiving again on its handle.
    first.sendText("late");
    platform::waitForClientApi(next.get(), 200); // lets that thread run
    second.sendText("second");
    second.sendText("third");
    EXPECT_EQ(receive(next.get(), 2), (std::vector<std::string>{"second", "third"}));
}

} // namespace
