// The client API backend (platform/client_api.hpp) against a WebSocket peer
// of the test's own on 127.0.0.1; the same tests run on Linux and under Wine.
#include "platform/client_api.hpp"
#include "websocket_peer.hpp"

#include "common/sha1.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace loopback;
using Messages = std::vector<std::string>;
constexpr std::size_t Limit = platform::ClientApiMessageLimit;

std::string filled(std::size_t size) {
    std::string text;
    while (text.size() < size) {
        text += static_cast<char>('a' + text.size() % 23);
    }
    return text;
}

TEST(ClientApiLoopback, TheUpgradeRequestAsksForThePathWithAFreshKeyAndNoOrigin) {
    std::string keys[2];
    const char* paths[] = {"/api/websocket", "/other/path?x=1"};
    for (int i = 0; i < 2; ++i) {
        WebSocketPeer server;
        EXPECT_NE(openApi(server.port(), Patience, paths[i]), nullptr);
        server.join();
        const std::string& request = server.request();
        EXPECT_EQ(request.substr(0, request.find("\r\n")),
                  std::string("GET ") + paths[i] + " HTTP/1.1");
        EXPECT_EQ(server.header("Sec-WebSocket-Version"), "13");
        keys[i] = server.header("Sec-WebSocket-Key").value_or("");
        EXPECT_EQ(keys[i].size(), 24u) << request; // base64 of 16 bytes
        EXPECT_FALSE(server.header("Origin")) << request;
    }
    EXPECT_NE(keys[0], keys[1]);
}

TEST(ClientApiLoopback, TheStateThenTheChangesArriveWholeInOrderAndPingsAreAnswered) {
    // Lengths in all three forms (7, 16 and 64 bits), up to the limit itself.
    Messages sent{"{\"units\":[]}", "", filled(300), filled(100000), std::string(Limit, '7')};
    // Wine's WinHTTP (8.0) takes a ping's payload for the next frame's head;
    // the client's own pings are empty, so under Wine these are too.
    const std::string ping = underWine() ? "" : "are you there?";
    Messages pongs;
    WebSocketPeer server(
        [&](WebSocketPeer& peer) {
            // The state and a ping in the same read as the answer; nothing
            // follows until the ping is answered.
            peer.sendRaw(peer.rightAnswer() + encodeFrame(Opcode::Text, sent[0]) +
                         encodeFrame(Opcode::Ping, ping));
            pongs.push_back(peer.next(Opcode::Pong));
            peer.sendFrame(Opcode::Binary, "dropped");
            for (std::size_t i = 1; i < sent.size(); ++i) {
                peer.sendText(sent[i]);
            }
            // One message in three frames, a ping between them.
            peer.sendFrame(Opcode::Text, "[\"log\",", false);
            peer.sendFrame(Opcode::Ping, ping);
            peer.sendFrame(Opcode::Continuation, "\"a\"", false);
            peer.sendFrame(Opcode::Continuation, ",\"b\"]");
            pongs.push_back(peer.next(Opcode::Pong));
        },
        false);
    ApiConnection c = openApi(server.port());
    ASSERT_NE(c, nullptr);
    Messages received = receive(c.get(), sent.size() + 1);
    server.join();
    sent.push_back("[\"log\",\"a\",\"b\"]");
    EXPECT_TRUE(received == sent) << received.size() << " messages";
    EXPECT_EQ(pongs, (Messages{ping, ping}));
}

TEST(ClientApiLoopback, ACommandArrivesMaskedAndIntact) {
    const Messages commands{"{\"cmd\":\"state\"}", "{\"x\":\"" + filled(70000) + "\"}"};
    Messages frames;
    WebSocketPeer server([&](WebSocketPeer& peer) {
        frames = {peer.next(Opcode::Text), peer.next(Opcode::Text)};
    });
    ApiConnection c = openApi(server.port());
    ASSERT_NE(c, nullptr);
    for (const std::string& command : commands) {
        EXPECT_TRUE(platform::sendClientApiMessage(c.get(), command));
    }
    server.join();
    EXPECT_TRUE(frames == commands);
}

TEST(ClientApiLoopback, WhatEndsTheConnectionReadsClosedAfterWhatCameBeforeAndStaysClosed) {
    const std::string half(Limit / 2 + 1, 'y');
    const std::string ends[] = {
        encodeFrame(Opcode::Close, "\x03\xe8"),                 // 1000, a normal close: answered
        "",                                                     // the connection cut
        encodeFrame(Opcode::Text, std::string(Limit + 1, 'x')), // over the limit
        encodeFrame(Opcode::Text, half, false) +
            encodeFrame(Opcode::Continuation, half), // the same in two frames
        encodeFrame(Opcode{3}, "?"),                 // a reserved opcode
    };
    std::string closeAnswer;
    for (const std::string& end : ends) {
        SCOPED_TRACE(&end - ends);
        WebSocketPeer server([&](WebSocketPeer& peer) {
            peer.sendText("before");
            if (end.empty()) {
                peer.close();
            } else if (peer.sendRaw(end) && &end == &ends[0]) {
                closeAnswer = peer.next(Opcode::Close);
            }
        });
        ApiConnection c = openApi(server.port());
        ASSERT_NE(c, nullptr);
        EXPECT_EQ(receive(c.get()), Messages{"before"});
        EXPECT_FALSE(platform::sendClientApiMessage(c.get(), "{}"));
        platform::waitForClientApi(c.get(), 10);
        platform::receiveClientApi(c.get());
        std::string message;
        EXPECT_EQ(platform::takeClientApiMessage(c.get(), message),
                  platform::ClientApiRead::Closed);
        c.reset(); // ends what the peer still sends or waits for
    }
    EXPECT_EQ(closeAnswer.substr(0, 2), "\x03\xe8");
}

TEST(ClientApiLoopback, PeersThatAreNotWebSocketServersFailTheOpenWithinItsLimit) {
    const std::string answers[] = {
        WebSocketPeer::upgradeAnswer(webSocketAccept("AAAAAAAAAAAAAAAAAAAAAA==")), // a wrong key
        "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nConnection: close\r\n\r\nok",
        "", // none at all
    };
    for (const std::string& answer : answers) {
        SCOPED_TRACE(answer);
        WebSocketPeer server(
            [&](WebSocketPeer& peer) {
                peer.sendRaw(answer);
                peer.next(Opcode::Close, 4 * Patience); // until the client leaves
            },
            false);
        const long long start = steadyMilliseconds();
        EXPECT_EQ(openApi(server.port(), 1000), nullptr);
        EXPECT_LT(steadyMilliseconds() - start, 1000 + Patience); // a wide margin
    }
    EXPECT_EQ(openApi(unusedPort(), 1000), nullptr); // nobody listening
}

TEST(ClientApiLoopback, MoreThanTheQueueHoldsArrivesWholeOnceTaken) {
    // The backend stops reading while several MiB wait untaken; nothing is
    // lost or reordered meanwhile.
    Messages sent;
    for (char fill = 'a'; fill < 'g'; ++fill) {
        sent.push_back(std::string(Limit - 16, fill));
    }
    sent.push_back("end");
    WebSocketPeer server([&](WebSocketPeer& peer) {
        for (const std::string& message : sent) {
            peer.sendText(message);
        }
        peer.next(Opcode::Close); // until the client is done
    });
    ApiConnection c = openApi(server.port());
    ASSERT_NE(c, nullptr);
    for (int i = 0; i < 10; ++i) {
        platform::waitForClientApi(c.get(), 30);
    }
    EXPECT_TRUE(receive(c.get(), sent.size()) == sent);
}

} // namespace
