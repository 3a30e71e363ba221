#pragma once

#include "base/text.h"

namespace rankmoth::web {

// Brings up the socket layer once for the process (a no-op where sockets need no start).
class NetworkLibrary {
public:
    bool Start();
    bool started() const { return started_; }

private:
    bool started_ = false;
};

// A plain TCP (or UDP) client with bounded waits. Error codes follow the Winsock numbering callers know
// (10022 for an unusable address or socket state).
class SocketClient {
public:
    SocketClient() = default;
    ~SocketClient();
    SocketClient(const SocketClient&) = delete;
    SocketClient& operator=(const SocketClient&) = delete;

    bool Create(bool datagram = false);
    bool Bind(int port, const Text& localAddress = {});
    bool Connect(const Text& host, int port);
    // True only when every byte was sent within the time-out.
    bool Send(const Bytes& data, int timeoutSeconds = 15);
    // At most 8191 bytes; false on time-out, error or an orderly close by the peer.
    bool Receive(Bytes& data, int timeoutSeconds = 15);
    void Close();
    int LastError() const { return lastError_; }
    // The socket handle, -1 when none is open (for socket options the client does not offer itself).
    int Handle() const { return fd_; }

private:
    int fd_ = -1;
    int lastError_ = 0;
};

} // namespace rankmoth::web
