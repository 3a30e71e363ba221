// The request operation fetching a 1 MiB page and a small one from a loopback server, each next to the curl
// command-line tool fetching the same address in the same run. The tool's figure includes starting a
// process, which is what a user would pay for fetching the page with it; a bare libcurl transfer in this
// process shows the floor without that start.
#include "bench/null_controls.h"
#include "web/cookie_jar.h"
#include "web/request.h"

#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>

extern char** environ;

namespace {

using namespace rankmoth;
using bench::NullControls;


// Answers every connection with one fixed response, chosen by whether the path asks for "/big".
class PageServer {
public:
    PageServer() {
        big_ = Response(std::string(1 << 20, 'x'));
        small_ = Response(std::string(2000, 's'));
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(fd_, 64);
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { Loop(); });
    }
    ~PageServer() {
        stop_ = true;
        thread_.join();
        ::close(fd_);
    }
    std::string Url(const char* path) const { return "http://127.0.0.1:" + std::to_string(port_) + path; }

private:
    static std::string Response(const std::string& body) {
        return "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: " + std::to_string(body.size()) +
               "\r\nConnection: close\r\n\r\n" + body;
    }
    void Loop() {
        while (!stop_) {
            pollfd entry{fd_, POLLIN, 0};
            if (::poll(&entry, 1, 50) != 1)
                continue;
            const int client = ::accept(fd_, nullptr, nullptr);
            if (client < 0)
                continue;
            std::string request;
            char buffer[4096];
            while (request.find("\r\n\r\n") == std::string::npos) {
                const ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
                if (n <= 0)
                    break;
                request.append(buffer, static_cast<std::size_t>(n));
            }
            const std::string& response = request.find(" /big") != std::string::npos ? big_ : small_;
            for (std::size_t sent = 0; sent < response.size();) {
                const ssize_t n = ::send(client, response.data() + sent, response.size() - sent, MSG_NOSIGNAL);
                if (n <= 0)
                    break;
                sent += static_cast<std::size_t>(n);
            }
            ::close(client);
        }
    }

    std::string big_, small_;
    int fd_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

PageServer& Server() {
    static PageServer server;
    return server;
}

void RequestOperation(benchmark::State& state, const char* path, std::size_t expected) {
    base::PlainEventPump pump;
    NullControls controls;
    web::CookieJar jar;
    web::WebEnv env{pump, controls, jar};
    const std::string address = Server().Url(path);
    for (auto _ : state) {
        Text url(address);
        const Bytes body = web::网页_访问(env, url);
        if (body.size() != expected)
            state.SkipWithError("short body");
        benchmark::DoNotOptimize(body.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * expected));
}

void CurlTool(benchmark::State& state, const char* path, std::size_t expected) {
    const std::string address = Server().Url(path);
    for (auto _ : state) {
        const char* argv[] = {"curl", "-s", "-o", "/dev/null", address.c_str(), nullptr};
        pid_t pid = 0;
        if (posix_spawnp(&pid, "curl", nullptr, nullptr, const_cast<char* const*>(argv), environ) != 0) {
            state.SkipWithError("the curl tool cannot be started");
            break;
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
            state.SkipWithError("the curl tool failed");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * expected));
}

// The floor inside one process: a bare libcurl transfer with libcurl's defaults.
void BareLibcurl(benchmark::State& state, const char* path, std::size_t expected) {
    curl_global_init(CURL_GLOBAL_DEFAULT);
    const std::string address = Server().Url(path);
    for (auto _ : state) {
        std::string body;
        CURL* easy = curl_easy_init();
        curl_easy_setopt(easy, CURLOPT_URL, address.c_str());
        curl_easy_setopt(
            easy, CURLOPT_WRITEFUNCTION, +[](char* data, size_t size, size_t count, void* user) {
                static_cast<std::string*>(user)->append(data, size * count);
                return size * count;
            });
        curl_easy_setopt(easy, CURLOPT_WRITEDATA, &body);
        curl_easy_perform(easy);
        curl_easy_cleanup(easy);
        if (body.size() != expected)
            state.SkipWithError("short body");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * expected));
}

void BM_BareLibcurl_1MiB(benchmark::State& state) {
    BareLibcurl(state, "/big", 1 << 20);
}
void BM_BareLibcurl_Small(benchmark::State& state) {
    BareLibcurl(state, "/small", 2000);
}

void BM_RequestOperation_1MiB(benchmark::State& state) {
    RequestOperation(state, "/big", 1 << 20);
}
void BM_CurlTool_1MiB(benchmark::State& state) {
    CurlTool(state, "/big", 1 << 20);
}
void BM_RequestOperation_Small(benchmark::State& state) {
    RequestOperation(state, "/small", 2000);
}
void BM_CurlTool_Small(benchmark::State& state) {
    CurlTool(state, "/small", 2000);
}

BENCHMARK(BM_RequestOperation_1MiB)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CurlTool_1MiB)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RequestOperation_Small)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BareLibcurl_1MiB)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BareLibcurl_Small)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CurlTool_Small)->UseRealTime()->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
