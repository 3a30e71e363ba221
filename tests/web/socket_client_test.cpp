#include "web/socket_client.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace rankmoth::web {
namespace {

using namespace std::chrono_literals;

// A loopback listener the tests accept on by hand, so they decide when the peer reads, writes or goes.
class Listener {
public:
    // A receive buffer set here is inherited by the accepted connections and limits the window from the start.
    explicit Listener(int receiveBuffer = 0) {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (receiveBuffer > 0)
            ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(fd_, 8);
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
    }
    ~Listener() { ::close(fd_); }
    int port() const { return port_; }
    // The next accepted connection, or -1 after two seconds.
    int Accept() const {
        pollfd entry{fd_, POLLIN, 0};
        if (::poll(&entry, 1, 2000) != 1)
            return -1;
        return ::accept(fd_, nullptr, nullptr);
    }

private:
    int fd_ = -1;
    int port_ = 0;
};

// A loopback port with nobody listening on it.
int ClosedPort() {
    Listener listener;
    return listener.port();
}

TEST(SocketClient, ConnectsToADottedAddressAndExchangesBytes) {
    Listener listener;
    SocketClient client;
    ASSERT_TRUE(client.Create());
    ASSERT_TRUE(client.Bind(0));
    ASSERT_TRUE(client.Connect(Text("127.0.0.1"), listener.port()));
    const int peer = listener.Accept();
    ASSERT_GE(peer, 0);

    ASSERT_TRUE(client.Send("GET / HTTP/1.1\r\n\r\n"));
    char buffer[64] = {};
    ASSERT_EQ(::recv(peer, buffer, sizeof buffer, 0), 18);
    ::send(peer, "reply", 5, 0);
    Bytes data;
    ASSERT_TRUE(client.Receive(data, 2));
    EXPECT_EQ(data, "reply");

    // An orderly close by the peer ends the receive loop with no data.
    ::close(peer);
    EXPECT_FALSE(client.Receive(data, 2));
    EXPECT_TRUE(data.empty());
}

TEST(SocketClient, FailuresCarryWinsockCodes) {
    struct Case {
        const char* name;
        Text host;
        int port;
        int error;
    } cases[] = {
        // Empty labels: the resolver refuses the name without asking a server.
        {"name that does not resolve", Text("no..such..host"), 80, 10022},
        {"empty host", Text(), 80, 10022},
        {"refused", Text("127.0.0.1"), ClosedPort(), 10061},
        {"port out of range", Text("127.0.0.1"), 70000, 10022},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SocketClient client;
        ASSERT_TRUE(client.Create());
        EXPECT_FALSE(client.Connect(c.host, c.port));
        EXPECT_EQ(client.LastError(), c.error);
    }
    SocketClient client;
    ASSERT_TRUE(client.Create());
    EXPECT_FALSE(client.Bind(0, Text("not.an.address")));
    EXPECT_EQ(client.LastError(), 10022);
    EXPECT_TRUE(client.Bind(0, Text("127.0.0.1")));
}

TEST(SocketClient, ReceiveGivesUpWhenThePeerStaysSilent) {
    Listener listener;
    SocketClient client;
    ASSERT_TRUE(client.Create());
    ASSERT_TRUE(client.Connect(Text("127.0.0.1"), listener.port()));
    const int peer = listener.Accept();
    ASSERT_GE(peer, 0);
    Bytes data("stale");
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(client.Receive(data, 1));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 900ms);
    EXPECT_TRUE(data.empty());
    EXPECT_EQ(client.LastError(), 10060);
    ::close(peer);
}

TEST(SocketClient, LargeSendsGoOutWholeThroughPartialWritesAndArriveInBoundedPieces) {
    // A tiny window keeps the client's writes partial.
    Listener listener(1024);
    SocketClient client;
    ASSERT_TRUE(client.Create());
    ASSERT_TRUE(client.Connect(Text("127.0.0.1"), listener.port()));
    const int peer = listener.Accept();
    ASSERT_GE(peer, 0);
    const int small = 2048;
    ::setsockopt(client.Handle(), SOL_SOCKET, SO_SNDBUF, &small, sizeof small);

    std::string payload(20000, '\0');
    for (std::size_t i = 0; i < payload.size(); ++i)
        payload[i] = static_cast<char>('a' + i % 26);
    std::string received;
    std::thread slowReader([&] {
        char buffer[700];
        while (received.size() < payload.size()) {
            pollfd entry{peer, POLLIN, 0};
            if (::poll(&entry, 1, 5000) != 1)
                break;
            const ssize_t n = ::recv(peer, buffer, sizeof buffer, 0);
            if (n <= 0)
                break;
            received.append(buffer, static_cast<std::size_t>(n));
            std::this_thread::sleep_for(1ms);
        }
    });
    EXPECT_TRUE(client.Send(payload, 5));
    slowReader.join();
    EXPECT_EQ(received, payload);

    // The other way round: one receive never hands back more than 8191 bytes.
    ASSERT_EQ(::send(peer, payload.data(), payload.size(), 0), static_cast<ssize_t>(payload.size()));
    ::shutdown(peer, SHUT_WR);
    std::string back;
    Bytes piece;
    for (int calls = 0; calls < 100 && client.Receive(piece, 2); ++calls) {
        EXPECT_LE(piece.size(), 8191u);
        back += piece;
    }
    EXPECT_EQ(back, payload);
    ::close(peer);
}

TEST(SocketClient, ClosingTwiceIsHarmlessAndAClosedClientRefusesWork) {
    Listener listener;
    SocketClient client;
    ASSERT_TRUE(client.Create());
    ASSERT_TRUE(client.Connect(Text("127.0.0.1"), listener.port()));
    client.Close();
    client.Close();
    Bytes data;
    EXPECT_FALSE(client.Send("x"));
    EXPECT_EQ(client.LastError(), 10038);
    EXPECT_FALSE(client.Receive(data, 1));
    EXPECT_TRUE(client.Send(""));
    // The same instance serves the next download.
    ASSERT_TRUE(client.Create());
    EXPECT_TRUE(client.Connect(Text("127.0.0.1"), listener.port()));
}

TEST(SocketClient, SendToAPeerThatWentAwayFailsWithoutKillingTheProcess) {
    Listener listener;
    SocketClient client;
    ASSERT_TRUE(client.Create());
    ASSERT_TRUE(client.Connect(Text("127.0.0.1"), listener.port()));
    const int peer = listener.Accept();
    ASSERT_GE(peer, 0);
    const linger reset{1, 0};
    ::setsockopt(peer, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
    ::close(peer);
    // The first write may still be taken by the kernel; a later one meets the reset.
    bool failed = false;
    for (int i = 0; i < 50 && !failed; ++i)
        failed = !client.Send(std::string(4096, 'x'), 1);
    EXPECT_TRUE(failed);
    EXPECT_EQ(client.LastError(), 10054);
}

TEST(NetworkLibrary, StartsOnce) {
    NetworkLibrary library;
    EXPECT_FALSE(library.started());
    EXPECT_TRUE(library.Start());
    EXPECT_TRUE(library.started());
}

} // namespace
} // namespace rankmoth::web
