#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace rankmoth::testing {

// One request as it arrived on the wire.
struct RawRequest {
    std::string raw;                      // head and body, byte for byte
    std::string head;                     // up to and including the blank line
    std::string body;                     // as many bytes as Content-Length announced (or that arrived)
    std::string requestLine;              // without its line end
    std::vector<std::string> headerLines; // the lines after the request line, without line ends

    // The value of the first header of that name (ASCII case ignored), blanks trimmed; empty when absent.
    std::string Header(std::string_view name) const;
    int HeaderCount(std::string_view name) const;
};

// What the server does on a connection once it has read a request.
struct RawReply {
    struct Step {
        std::string bytes;
        std::chrono::milliseconds pauseBefore{0};
    };
    std::vector<Step> steps;
    // After the steps, keep the connection open and silent until the client goes or the server stops.
    bool stallAfter = false;
    // After the steps, send this over and over until the client goes, the server stops, or `endlessLimit`
    // bytes have gone (a bound, so that a client that never gives up cannot keep a test running).
    std::string endless;
    std::size_t endlessLimit = std::size_t{4} << 30;

    // A complete response with Content-Length; `headerLines` are extra lines, each ended by CR LF.
    static RawReply Http(int status, std::string body, std::string headerLines = {});
    static RawReply Raw(std::string bytes);
    static RawReply Stall();
    // A 200 head without a length, then `chunk` repeated until the client hangs up.
    static RawReply Endless(std::string chunk);
    // `bytes` in pieces of `piece` bytes with `pause` before each piece, then close.
    static RawReply Trickle(const std::string& bytes, std::size_t piece, std::chrono::milliseconds pause);
};

// A loopback HTTP server on raw sockets for tests that need to see the exact request bytes or to answer with
// anything at all: stalls, early closes, garbage, slow pieces. Each connection gets its own thread and is
// closed after one reply. Stopping (the destructor) wakes every wait, so no test hangs on it.
class RawHttpServer {
public:
    using Handler = std::function<RawReply(const RawRequest&)>;

    explicit RawHttpServer(Handler handler);
    ~RawHttpServer();
    RawHttpServer(const RawHttpServer&) = delete;
    RawHttpServer& operator=(const RawHttpServer&) = delete;

    int port() const { return port_; }
    // "http://127.0.0.1:<port>"
    std::string BaseUrl() const;
    // "127.0.0.1:<port>"
    std::string HostPort() const;

    std::vector<RawRequest> Requests() const;
    bool WaitForRequests(std::size_t count, std::chrono::milliseconds limit) const;
    int OpenConnections() const { return open_.load(); }
    bool WaitForNoOpenConnections(std::chrono::milliseconds limit) const;

    void Stop();

private:
    void AcceptLoop();
    void Serve(int fd);
    bool ReadRequest(int fd, RawRequest& request);
    bool Pause(std::chrono::milliseconds pause);

    Handler handler_;
    int listenFd_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<int> open_{0};
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::vector<RawRequest> requests_;
    std::vector<int> connections_;
    std::vector<std::thread> threads_;
    std::thread acceptThread_;
};

// A loopback port that nobody listens on (bound once, then let go), for connections that must be refused.
int ClosedLoopbackPort();

} // namespace rankmoth::testing
