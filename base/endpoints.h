#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace rankmoth::base {

// One environment variable's value; nothing when it is unset.
using EnvLookup = std::function<std::optional<std::string>(const char* name)>;
// The process's environment.
EnvLookup ProcessEnvironment();

// The hosts the program talks to, read once at start. Each has a built-in default, which the [hosts]
// section of the settings file overrides (market, shop_base, version_notice, start_tab_notice), which the
// environment overrides (RANKMOTH_MARKET_HOST, RANKMOTH_SHOP_BASE, RANKMOTH_VERSION_NOTICE_URL,
// RANKMOTH_START_TAB_NOTICE_URL); the command line of rankmoth-cli has the last word.
struct Endpoints {
    std::string marketHost;        // host[:port] of the listing pages and "/book/ajax"
    std::string shopBase;          // http://host[:port]/ of the shop feeds
    std::string versionNoticeUrl;  // full address of the version notice page; empty: no version check
    std::string startTabNoticeUrl; // full address of the start-tab notice page; empty: no start-tab check

    bool operator==(const Endpoints&) const = default;

    static Endpoints Defaults();
    // Defaults and environment only, for callers that have no settings file.
    static Endpoints FromEnvironment();
    // Where each value came from, in the order market, shop_base, version_notice, start_tab_notice.
    struct Origin {
        const char* key;      // in [hosts]
        const char* variable; // in the environment
        std::string value;
        std::string from; // "built-in", "<file> line <n>" or "environment <variable>"
    };

    // Defaults < `configFile`'s [hosts] < `env`. A value that is not of its key's form is passed over for the
    // next lower layer's, with one line in `problems` naming the file, key and line (or the variable), the
    // bad value and what is wrong with it; the line says nothing of what the caller does next, since the
    // command line refuses to run while the window carries on. An empty notice address, in the file or in a
    // variable that is set, turns that check off.
    static Endpoints Resolve(const std::string& configFile, const EnvLookup& env, std::vector<std::string>& problems,
                             std::vector<Origin>* origins = nullptr);
};

// Why `value` is not a host[:port] (a host name or IPv4 address, or an IPv6 address in brackets, with a
// port of 1 to 65535), or "" when it is one.
std::string HostPortProblem(const std::string& value);
// Why `value` is not an http:// or https:// address with a valid host[:port], or "" when it is one.
std::string AddressProblem(const std::string& value);

// Addresses of the maker's own pages and the support chat; constants on .example hosts.
namespace links {
inline constexpr const char* kMakerSite = "http://www.pellwood.example/";
inline constexpr const char* kMakerTutorial = "http://www.pellwood.example/tutorial.html";
inline constexpr const char* kMakerHelp = "http://www.pellwood.example/help.html";
inline constexpr const char* kMakerNews = "http://www.pellwood.example/news.html";
inline constexpr const char* kMakerProduct = "http://www.pellwood.example/rankmoth.html";
inline constexpr const char* kForumHome = "http://bbs.pellwood.example/";
inline constexpr const char* kForumFernlane = "http://bbs.pellwood.example/fernlane.html";
inline constexpr const char* kForumTarnbay = "http://bbs.pellwood.example/tarnbay.html";
inline constexpr const char* kUpdatePage = "http://www.pellwood.example/download.html";
inline constexpr const char* kChatAddress = "http://chat.im.example";
inline constexpr const char* kSupportAccountA = "800100201";
inline constexpr const char* kSupportAccountB = "800100202";
inline constexpr const char* kSupportAccountC = "800100203";
} // namespace links

} // namespace rankmoth::base
