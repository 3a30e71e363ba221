#pragma once

// A raw loopback HTTP server for the update archive. It writes every byte of its answers itself, so it can
// answer the way broken or unusual servers do: an HTTP/1.0 status line, a stall or a close in the middle of
// the body, a Range request ignored (200) or refused (416), a length that lies or is missing, a head that
// arrives in pieces. Header-only: rankmoth-sim and the tests both use it.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace rankmoth::sim {

enum class ArchiveFault {
    kNone,
    kHttp10,       // "HTTP/1.0 200 OK"
    kStall,        // head and half the body, then silence until stopped
    kCloseMidBody, // head and half the body, then the connection is closed
    kIgnoreRange,  // answers a Range request with 200 and the whole body
    kRefuseRange,  // answers a Range request with 416
};

struct ArchiveServerOptions {
    std::string body;
    ArchiveFault fault = ArchiveFault::kNone;
    std::optional<std::uint64_t> announcedLength{}; // Content-Length to announce instead of the true one
    bool omitLength = false;                      // no Content-Length line at all
    std::optional<std::uint64_t> rangeStartShift{}; // a 206 whose Content-Range starts elsewhere
    std::size_t headPieceBytes = 0;               // >0: the head goes out in pieces of this size
    std::chrono::milliseconds pieceDelay{20};
    // Bytes sent before a stall or a close mid-body; half the body when not given.
    std::optional<std::size_t> faultAfterBytes{};
    // Told every request head as it arrives (from the connection's thread).
    std::function<void(const std::string& requestHead)> onRequest{};
};

class ArchiveServer {
public:
    explicit ArchiveServer(ArchiveServerOptions options) : options_(std::move(options)) {}
    ArchiveServer(const ArchiveServer&) = delete;
    ArchiveServer& operator=(const ArchiveServer&) = delete;
    ~ArchiveServer() { Stop(); }

    // Listens on 127.0.0.1:`port` (0: any free port); returns the port, or -1.
    int Start(int port = 0) {
        listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (listenFd_ < 0)
            return -1;
        const int yes = 1;
        ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<std::uint16_t>(port));
        if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(listenFd_, 16) != 0) {
            ::close(listenFd_);
            listenFd_ = -1;
            return -1;
        }
        socklen_t length = sizeof address;
        ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        acceptThread_ = std::thread([this] { AcceptLoop(); });
        return port_;
    }

    // Serves in the calling thread until Stop() (for rankmoth-sim).
    void Wait() {
        if (acceptThread_.joinable())
            acceptThread_.join();
    }

    void Stop() {
        {
            std::lock_guard lock(mutex_);
            if (stopping_)
                return;
            stopping_ = true;
        }
        stopChanged_.notify_all();
        if (acceptThread_.joinable())
            acceptThread_.join();
        std::vector<std::thread> workers;
        {
            std::lock_guard lock(mutex_);
            workers.swap(workers_);
        }
        for (auto& worker : workers)
            worker.join();
        if (listenFd_ >= 0)
            ::close(listenFd_);
        listenFd_ = -1;
    }

    int port() const { return port_; }
    // The request heads received so far, in order.
    std::vector<std::string> Requests() const {
        std::lock_guard lock(mutex_);
        return requests_;
    }
    int ConnectionsClosedByPeer() const { return closedByPeer_.load(); }

private:
    bool Stopping() const {
        std::lock_guard lock(mutex_);
        return stopping_;
    }
    // Sleeps until `limit` passes or the server stops; false when it stops.
    bool Sleep(std::chrono::milliseconds limit) {
        std::unique_lock lock(mutex_);
        return !stopChanged_.wait_for(lock, limit, [this] { return stopping_; });
    }

    void AcceptLoop() {
        while (!Stopping()) {
            pollfd p{listenFd_, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0)
                continue;
            const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0)
                continue;
            std::lock_guard lock(mutex_);
            workers_.emplace_back([this, fd] {
                Serve(fd);
                ::close(fd);
            });
        }
    }

    bool SendAll(int fd, std::string_view bytes) {
        while (!bytes.empty()) {
            const ssize_t n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
            if (n <= 0)
                return false;
            bytes.remove_prefix(static_cast<std::size_t>(n));
        }
        return true;
    }

    // Reads the request head (bounded in time); empty when none came.
    std::string ReadHead(int fd) {
        std::string head;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        char buffer[4096];
        while (head.find("\r\n\r\n") == std::string::npos && std::chrono::steady_clock::now() < deadline &&
               !Stopping()) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0)
                continue;
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n <= 0)
                break;
            head.append(buffer, static_cast<std::size_t>(n));
        }
        return head;
    }

    static std::optional<std::uint64_t> RangeOf(const std::string& head) {
        const auto at = head.find("\r\nRange: bytes=");
        if (at == std::string::npos)
            return std::nullopt;
        return std::strtoull(head.c_str() + at + 15, nullptr, 10);
    }

    // Keeps the connection until the client closes it or the server stops, as a keep-alive server would.
    void HoldOpen(int fd) {
        char buffer[256];
        while (!Stopping()) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0)
                continue;
            if (::recv(fd, buffer, sizeof buffer, 0) <= 0) {
                ++closedByPeer_;
                return;
            }
        }
    }

    void Serve(int fd) {
        const std::string request = ReadHead(fd);
        if (request.empty())
            return;
        {
            std::lock_guard lock(mutex_);
            requests_.push_back(request);
        }
        if (options_.onRequest)
            options_.onRequest(request);
        const ArchiveServerOptions& o = options_;
        const auto range = RangeOf(request);
        std::string head;
        std::string_view body = o.body;
        if (range && o.fault == ArchiveFault::kRefuseRange) {
            head = "HTTP/1.1 416 Range Not Satisfiable\r\nContent-Length: 0\r\n";
            body = {};
        } else if (range && o.fault != ArchiveFault::kIgnoreRange && *range <= o.body.size()) {
            const std::uint64_t start = *range + o.rangeStartShift.value_or(0);
            body = body.substr(static_cast<std::size_t>(*range));
            head = "HTTP/1.1 206 Partial Content\r\nContent-Range: bytes " + std::to_string(start) + "-" +
                   std::to_string(o.body.size() - 1) + "/" + std::to_string(o.body.size()) + "\r\n";
        } else if (range && o.fault != ArchiveFault::kIgnoreRange) {
            head = "HTTP/1.1 416 Range Not Satisfiable\r\nContent-Length: 0\r\n";
            body = {};
        } else {
            head = o.fault == ArchiveFault::kHttp10 ? "HTTP/1.0 200 OK\r\n" : "HTTP/1.1 200 OK\r\n";
        }
        if (head.find("Content-Length") == std::string::npos && !o.omitLength)
            head += "Content-Length: " + std::to_string(o.announcedLength.value_or(body.size())) + "\r\n";
        head += "Content-Type: application/zip\r\nServer: rankmoth-sim\r\n\r\n";

        if (o.headPieceBytes > 0) {
            for (std::size_t at = 0; at < head.size(); at += o.headPieceBytes) {
                if (!SendAll(fd, std::string_view(head).substr(at, o.headPieceBytes)) || !Sleep(o.pieceDelay))
                    return;
            }
        } else if (!SendAll(fd, head)) {
            return;
        }

        const bool breaks = o.fault == ArchiveFault::kStall || o.fault == ArchiveFault::kCloseMidBody;
        const std::size_t sendBytes = breaks ? std::min(body.size(), o.faultAfterBytes.value_or(body.size() / 2))
                                             : body.size();
        if (!SendAll(fd, body.substr(0, sendBytes)))
            return;
        if (o.fault == ArchiveFault::kCloseMidBody)
            return;
        if (o.fault == ArchiveFault::kStall) {
            Sleep(std::chrono::hours(24));
            return;
        }
        HoldOpen(fd);
    }

    ArchiveServerOptions options_;
    int listenFd_ = -1;
    int port_ = -1;
    std::thread acceptThread_;
    mutable std::mutex mutex_;
    std::condition_variable stopChanged_;
    bool stopping_ = false;
    std::vector<std::thread> workers_;
    std::vector<std::string> requests_;
    std::atomic<int> closedByPeer_{0};
};

} // namespace rankmoth::sim
