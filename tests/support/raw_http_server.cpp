#include "tests/support/raw_http_server.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <charconv>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace rankmoth::testing {

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kRequestReadLimit = std::chrono::seconds(10);

std::string Lower(std::string_view s) {
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

bool SendAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

} // namespace

std::string RawRequest::Header(std::string_view name) const {
    const std::string wanted = Lower(name);
    for (const auto& line : headerLines) {
        const auto colon = line.find(':');
        if (colon != std::string::npos && Lower(Trim(std::string_view(line).substr(0, colon))) == wanted)
            return std::string(Trim(std::string_view(line).substr(colon + 1)));
    }
    return {};
}

int RawRequest::HeaderCount(std::string_view name) const {
    const std::string wanted = Lower(name);
    return static_cast<int>(std::count_if(headerLines.begin(), headerLines.end(), [&](const std::string& line) {
        const auto colon = line.find(':');
        return colon != std::string::npos && Lower(Trim(std::string_view(line).substr(0, colon))) == wanted;
    }));
}

RawReply RawReply::Http(int status, std::string body, std::string headerLines) {
    std::string head = "HTTP/1.1 " + std::to_string(status) + (status < 300 ? " OK" : " Other") + "\r\n" + headerLines +
                       "Content-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n";
    return Raw(head + body);
}

RawReply RawReply::Raw(std::string bytes) {
    RawReply reply;
    reply.steps.push_back({std::move(bytes), {}});
    return reply;
}

RawReply RawReply::Endless(std::string chunk) {
    RawReply reply = Raw("HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n");
    reply.endless = std::move(chunk);
    return reply;
}

RawReply RawReply::Stall() {
    RawReply reply;
    reply.stallAfter = true;
    return reply;
}

RawReply RawReply::Trickle(const std::string& bytes, std::size_t piece, std::chrono::milliseconds pause) {
    RawReply reply;
    for (std::size_t at = 0; at < bytes.size(); at += piece)
        reply.steps.push_back({bytes.substr(at, piece), pause});
    return reply;
}

RawHttpServer::RawHttpServer(Handler handler) : handler_(std::move(handler)) {
    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (listenFd_ < 0 || ::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listenFd_, 64) != 0 || ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        throw std::runtime_error("raw test server: cannot listen on 127.0.0.1");
    port_ = ntohs(address.sin_port);
    acceptThread_ = std::thread([this] { AcceptLoop(); });
}

RawHttpServer::~RawHttpServer() {
    Stop();
}

void RawHttpServer::Stop() {
    if (stopping_.exchange(true))
        return;
    {
        std::lock_guard lock(mutex_);
        for (const int fd : connections_)
            ::shutdown(fd, SHUT_RDWR);
    }
    changed_.notify_all();
    if (acceptThread_.joinable())
        acceptThread_.join();
    std::vector<std::thread> threads;
    {
        std::lock_guard lock(mutex_);
        threads.swap(threads_);
    }
    for (auto& thread : threads)
        thread.join();
    ::close(listenFd_);
}

std::string RawHttpServer::BaseUrl() const {
    return "http://" + HostPort();
}
std::string RawHttpServer::HostPort() const {
    return "127.0.0.1:" + std::to_string(port_);
}

std::vector<RawRequest> RawHttpServer::Requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

bool RawHttpServer::WaitForRequests(std::size_t count, std::chrono::milliseconds limit) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, limit, [&] { return requests_.size() >= count; });
}

bool RawHttpServer::WaitForNoOpenConnections(std::chrono::milliseconds limit) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, limit, [&] { return open_.load() == 0; });
}

void RawHttpServer::AcceptLoop() {
    while (!stopping_) {
        pollfd entry{listenFd_, POLLIN, 0};
        if (::poll(&entry, 1, 20) <= 0)
            continue;
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        std::lock_guard lock(mutex_);
        if (stopping_) {
            ::close(fd);
            break;
        }
        ++open_;
        connections_.push_back(fd);
        threads_.emplace_back([this, fd] { Serve(fd); });
    }
}

bool RawHttpServer::Pause(std::chrono::milliseconds pause) {
    if (pause.count() <= 0)
        return !stopping_;
    std::unique_lock lock(mutex_);
    return !changed_.wait_for(lock, pause, [&] { return stopping_.load(); });
}

bool RawHttpServer::ReadRequest(int fd, RawRequest& request) {
    const auto deadline = Clock::now() + kRequestReadLimit;
    std::string data;
    std::size_t headEnd = std::string::npos;
    std::size_t wanted = std::string::npos;
    char buffer[4096];
    while (!stopping_ && Clock::now() < deadline) {
        if (headEnd == std::string::npos) {
            headEnd = data.find("\r\n\r\n");
            if (headEnd != std::string::npos) {
                headEnd += 4;
                request.head = data.substr(0, headEnd);
                std::size_t at = request.head.find("\r\n");
                request.requestLine = request.head.substr(0, at);
                for (at += 2; at + 2 < headEnd;) {
                    const auto end = request.head.find("\r\n", at);
                    request.headerLines.push_back(request.head.substr(at, end - at));
                    at = end + 2;
                }
                const std::string length = request.Header("Content-Length");
                // A length that does not parse counts as no body.
                std::size_t announced = 0;
                std::from_chars(length.data(), length.data() + length.size(), announced);
                wanted = headEnd + announced;
            }
        }
        if (wanted != std::string::npos && data.size() >= wanted)
            break;
        pollfd entry{fd, POLLIN, 0};
        if (::poll(&entry, 1, 20) <= 0)
            continue;
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0)
            break;
        data.append(buffer, static_cast<std::size_t>(n));
    }
    if (headEnd == std::string::npos)
        return false;
    request.raw = data;
    request.body = data.substr(headEnd);
    return true;
}

void RawHttpServer::Serve(int fd) {
    RawRequest request;
    if (ReadRequest(fd, request)) {
        {
            std::lock_guard lock(mutex_);
            requests_.push_back(request);
        }
        changed_.notify_all();
        const RawReply reply = handler_(request);
        bool alive = true;
        for (const auto& step : reply.steps) {
            if (!(alive = Pause(step.pauseBefore) && SendAll(fd, step.bytes)))
                break;
        }
        for (std::size_t sent = 0; alive && !reply.endless.empty() && !stopping_ && sent < reply.endlessLimit;
             sent += reply.endless.size())
            alive = SendAll(fd, reply.endless);
        // Stall until the client goes away or the server stops.
        while (alive && reply.stallAfter && !stopping_) {
            pollfd entry{fd, POLLIN, 0};
            if (::poll(&entry, 1, 20) > 0) {
                char byte;
                if (::recv(fd, &byte, 1, 0) <= 0)
                    break;
            }
        }
    }
    ::shutdown(fd, SHUT_WR);
    {
        std::lock_guard lock(mutex_);
        connections_.erase(std::remove(connections_.begin(), connections_.end(), fd), connections_.end());
        ::close(fd);
        --open_;
    }
    changed_.notify_all();
}

int ClosedLoopbackPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

} // namespace rankmoth::testing
