#pragma once

#include "base/text.h"
#include "web/answer.h"
#include "web/transfer_verdict.h"

#include <chrono>
#include <cstddef>
#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace rankmoth::web {

// One HTTP request as the request operations compose it, carried out with libcurl so that the request line
// and header block on the wire are the ones given here: libcurl adds only the Host line and, when the
// header lines carry none, the User-Agent line.
struct HttpExchangeRequest {
    std::string method = "GET"; // "POST" sends `body`; anything else is a GET
    bool tls = false;
    Text host;     // lower-cased
    int port = 80; // 0 means the default port of the scheme
    Text target;   // the path with its query, as it goes into the request line
    Text proxy;    // HTTP proxy for plain http requests; empty = direct
    Text userAgent;
    std::vector<std::string> headerLines; // without line ends, in order
    Bytes body;
    long readChunk = 1024;
    bool followRedirects = true;
    // The request operations have no time-out of their own; these keep a dead or silent server from holding
    // the calling thread forever: connecting may take this long, and a transfer that moves less than one
    // byte per second for `stallSeconds` is given up.
    long connectTimeoutSeconds = 30;
    long stallSeconds = 60;
    // Everything the request does, every redirect hop included, ends within this: a server that drips its
    // head or body a byte at a time never trips the stall limit above.
    std::chrono::milliseconds deadline{30000};
    // A body that would grow past this is given up, so an endless answer cannot exhaust memory.
    std::size_t maxBody = std::size_t{16} << 20;
};

struct HttpHooks {
    // Called before each chunk is taken and at every wake-up while the transfer waits; false aborts it.
    std::function<bool()> keepGoing;
    // Cookies for a host, merged into the Cookie line of every hop; unset: none are added.
    std::function<Text(const Text& host)> cookiesFor;
    // Every complete response head, with the host that sent it; unset: nothing is stored.
    std::function<void(const Text& host, const Text& head)> storeCookies;
};

struct HttpExchangeResult {
    bool opened = false; // false: the request could not even be set up, nothing went out
    Bytes body;          // of the final response; what arrived before a failure
    Text head;           // raw head of the final response (status line first, CR LF lines, blank line); empty
                         // when none arrived complete
    Answer verdict;      // whether the final response counts, and why not; its body is left empty
};

HttpExchangeResult PerformHttpExchange(const HttpExchangeRequest& request, const HttpHooks& hooks);

// The response head as a 2048-byte header buffer shows it: the head when it fits with its terminating zero,
// otherwise (too large, or no response) the untouched buffer of 2048 blanks.
Text HeaderBufferText(const Text& head);

// Splits a composed header text into its lines: LF ends a line, a CR before it is dropped, empty lines go.
std::vector<std::string> HeaderLinesOf(const Text& headers);

} // namespace rankmoth::web
