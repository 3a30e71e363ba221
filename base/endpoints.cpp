#include "base/endpoints.h"

#include <cstdlib>

namespace rankmoth::base {

namespace {
constexpr const char* kNoticeHost = "blog.notice.example";
constexpr const char* kNoticeOwnerId = "pellwood";
constexpr const char* kVersionPostId = "1330001";
constexpr const char* kStartTabPostId = "1330002";

std::string NoticePageUrl(const char* postId) {
    return std::string("http://") + kNoticeHost + "/w2/blogDetail.do?hostID=" + kNoticeOwnerId + "&blogId=" + postId;
}

std::string FromEnv(const char* name, std::string fallback) {
    const char* value = std::getenv(name);
    return (value && *value) ? std::string(value) : std::move(fallback);
}
} // namespace

Endpoints Endpoints::Defaults() {
    return Endpoints{"www.fashionmarket.example", "http://shop.fashionmarket.example/", NoticePageUrl(kVersionPostId),
                     NoticePageUrl(kStartTabPostId)};
}

Endpoints Endpoints::FromEnvironment() {
    Endpoints e = Defaults();
    e.marketHost = FromEnv("RANKMOTH_MARKET_HOST", e.marketHost);
    e.shopBase = FromEnv("RANKMOTH_SHOP_BASE", e.shopBase);
    e.versionNoticeUrl = FromEnv("RANKMOTH_VERSION_NOTICE_URL", e.versionNoticeUrl);
    e.startTabNoticeUrl = FromEnv("RANKMOTH_START_TAB_NOTICE_URL", e.startTabNoticeUrl);
    return e;
}

} // namespace rankmoth::base
