#include "web/socket_client.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <climits>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace rankmoth::web {

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kConnectWaitSeconds = 15;
constexpr std::size_t kReceiveBuffer = 8191;

// Winsock numbers, which is what the callers were written against.
constexpr int kWsaEInval = 10022;
constexpr int kWsaENotSock = 10038;
constexpr int kWsaETimedOut = 10060;

// clang-format off
int WinsockCodeOf(int error) {
    switch (error) {
    case 0: return 0;
    case EINTR: return 10004;
    case EBADF: return 10009;
    case EACCES: return 10013;
    case EFAULT: return 10014;
    case EINVAL: return kWsaEInval;
    case EMFILE: case ENFILE: return 10024;
    case EAGAIN: return 10035;
    case EINPROGRESS: return 10036;
    case EALREADY: return 10037;
    case ENOTSOCK: return kWsaENotSock;
    case EDESTADDRREQ: return 10039;
    case EMSGSIZE: return 10040;
    case EPROTOTYPE: return 10041;
    case ENOPROTOOPT: return 10042;
    case EPROTONOSUPPORT: return 10043;
    case EOPNOTSUPP: return 10045;
    case EAFNOSUPPORT: return 10047;
    case EADDRINUSE: return 10048;
    case EADDRNOTAVAIL: return 10049;
    case ENETDOWN: return 10050;
    case ENETUNREACH: return 10051;
    case ENETRESET: return 10052;
    case ECONNABORTED: return 10053;
    case ECONNRESET: case EPIPE: return 10054;
    case ENOBUFS: case ENOMEM: return 10055;
    case EISCONN: return 10056;
    case ENOTCONN: return 10057;
    case ETIMEDOUT: return kWsaETimedOut;
    case ECONNREFUSED: return 10061;
    case EHOSTDOWN: return 10064;
    case EHOSTUNREACH: return 10065;
    default: return kWsaEInval;
    }
}
// clang-format on

// Waits for `events` until `deadline`. 1: ready, 0: time-out, -1: the wait failed.
int WaitFor(int fd, short events, Clock::time_point deadline, short* revents = nullptr) {
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        pollfd entry{fd, events, 0};
        const int timeout = static_cast<int>(std::clamp<long long>(left, 0, INT_MAX));
        const int ready = ::poll(&entry, 1, timeout);
        if (ready > 0) {
            if (revents)
                *revents = entry.revents;
            return 1;
        }
        if (ready == 0)
            return 0;
        if (errno != EINTR)
            return -1;
    }
}

Clock::time_point DeadlineIn(int seconds) {
    return Clock::now() + std::chrono::seconds(seconds < 0 ? 0 : seconds);
}

} // namespace

bool NetworkLibrary::Start() {
    // POSIX sockets need no start; the flag still tells the exit path what to undo.
    started_ = true;
    return true;
}

SocketClient::~SocketClient() {
    Close();
}

bool SocketClient::Create(bool datagram) {
    // A second Create would otherwise leak the socket already open.
    Close();
    fd_ = ::socket(AF_INET, (datagram ? SOCK_DGRAM : SOCK_STREAM) | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd_ < 0) {
        lastError_ = WinsockCodeOf(errno);
        fd_ = -1;
        return false;
    }
    return true;
}

bool SocketClient::Bind(int port, const Text& localAddress) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    if (!localAddress.empty() && ::inet_pton(AF_INET, localAddress.c_str(), &address.sin_addr) != 1) {
        lastError_ = kWsaEInval;
        return false;
    }
    if (port < 0 || port > 65535) {
        lastError_ = kWsaEInval;
        return false;
    }
    if (fd_ < 0) {
        lastError_ = kWsaENotSock;
        return false;
    }
    address.sin_port = htons(static_cast<uint16_t>(port));
    if (::bind(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        lastError_ = WinsockCodeOf(errno);
        return false;
    }
    return true;
}

bool SocketClient::Connect(const Text& host, int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    if (port < 0 || port > 65535) {
        lastError_ = kWsaEInval;
        return false;
    }
    address.sin_port = htons(static_cast<uint16_t>(port));
    if (::inet_pton(AF_INET, host.c_str(), &address.sin_addr) != 1) {
        addrinfo hints{};
        hints.ai_family = AF_INET;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* found = nullptr;
        if (host.empty() || ::getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || !found) {
            if (found)
                ::freeaddrinfo(found);
            lastError_ = kWsaEInval;
            return false;
        }
        address.sin_addr = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr;
        ::freeaddrinfo(found);
    }
    if (fd_ < 0) {
        lastError_ = kWsaENotSock;
        return false;
    }
    if (::connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0)
        return true;
    if (errno != EINPROGRESS && errno != EINTR) {
        lastError_ = WinsockCodeOf(errno);
        return false;
    }
    const int ready = WaitFor(fd_, POLLOUT, DeadlineIn(kConnectWaitSeconds));
    if (ready == 0) {
        lastError_ = kWsaETimedOut;
        return false;
    }
    if (ready < 0) {
        lastError_ = WinsockCodeOf(errno);
        return false;
    }
    // Writable also means "failed" here; the socket's own error tells which.
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &length) != 0)
        error = errno;
    if (error != 0) {
        lastError_ = WinsockCodeOf(error);
        return false;
    }
    return true;
}

bool SocketClient::Send(const Bytes& data, int timeoutSeconds) {
    std::size_t sent = 0;
    while (sent < data.size()) {
        if (fd_ < 0) {
            lastError_ = kWsaENotSock;
            return false;
        }
        const int ready = WaitFor(fd_, POLLOUT, DeadlineIn(timeoutSeconds));
        if (ready <= 0) {
            lastError_ = ready == 0 ? kWsaETimedOut : WinsockCodeOf(errno);
            return false;
        }
        const ssize_t n = ::send(fd_, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
            continue; // readiness was stale; wait again
        if (n < 1) {
            lastError_ = n < 0 ? WinsockCodeOf(errno) : kWsaEInval;
            return false;
        }
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

bool SocketClient::Receive(Bytes& data, int timeoutSeconds) {
    data.clear();
    if (fd_ < 0) {
        lastError_ = kWsaENotSock;
        return false;
    }
    const auto deadline = DeadlineIn(timeoutSeconds);
    char buffer[kReceiveBuffer];
    for (;;) {
        // The socket does not block: read what is there first and wait only when nothing is, which spares a
        // poll per block while a download streams.
        const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
        if (n > 0) {
            data.assign(buffer, static_cast<std::size_t>(n));
            return true;
        }
        if (n == 0)
            return false; // orderly close by the peer
        if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
            lastError_ = WinsockCodeOf(errno);
            return false;
        }
        const int ready = WaitFor(fd_, POLLIN, deadline);
        if (ready <= 0) {
            lastError_ = ready == 0 ? kWsaETimedOut : WinsockCodeOf(errno);
            return false;
        }
    }
}

void SocketClient::Close() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

} // namespace rankmoth::web
