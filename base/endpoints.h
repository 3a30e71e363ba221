#pragma once

#include <string>

namespace rankmoth::base {

// The hosts the program talks to. Each has a built-in default and an environment override, read once at
// start (RANKMOTH_MARKET_HOST, RANKMOTH_SHOP_BASE, RANKMOTH_VERSION_NOTICE_URL,
// RANKMOTH_START_TAB_NOTICE_URL).
struct Endpoints {
    std::string marketHost;        // host[:port] of the listing pages and "/book/ajax"
    std::string shopBase;          // http://host[:port]/ of the shop feeds
    std::string versionNoticeUrl;  // full address of the version notice page
    std::string startTabNoticeUrl; // full address of the start-tab notice page

    static Endpoints Defaults();
    static Endpoints FromEnvironment();
};

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
