#include "sources/shop_feed.h"

#include "web/codecs.h"

#include <chrono>

namespace rankmoth::sources {

namespace {

using namespace std::chrono_literals;

constexpr std::string_view kWindow = base::kMainWindow;
constexpr std::string_view kShopIdBox = "编辑框_优店ID";
constexpr std::string_view kCountLabel = "标签_宝贝ID个数";
constexpr std::string_view kResultList = "超级列表框1";
constexpr std::string_view kStatusBar = "状态条1";
constexpr int kStatusPart = 1;

} // namespace

ShopFeedLoader::ShopFeedLoader(base::Controls& controls, base::EventPump& pump, ItemList& items, std::string shopBase,
                               FeedFetch fetch, FeedLimits limits)
    : controls_(controls), pump_(pump), items_(items), shopBase_(std::move(shopBase)), fetch_(std::move(fetch)),
      limits_(limits) {}

void ShopFeedLoader::Pause() {
    pump_.PumpingWait(100ms);
    pump_.DispatchPending();
}

void ShopFeedLoader::Run() {
    static const Text kNoShopId = "请填写优店ID"_gbk;
    static const Text kCaption = "提示"_gbk;
    static const Text kProgress = " 正在加载宝贝ID -> 加载进度: "_gbk;
    static const Text kFailed = " 宝贝ID加载失败了，您再重新加载试试哦"_gbk;
    static const Text kDoneHead = " 宝贝ID加载完成，总共加载了"_gbk;
    static const Text kDoneTail = "个宝贝ID。现在可以查询喽~~"_gbk;

    const Text shopId = TrimSpaces(controls_.GetText(kWindow, kShopIdBox));
    if (shopId.empty()) {
        controls_.MessageBox(kNoShopId, base::kIconExclamation, kCaption);
        return;
    }

    const int mine = ++generation_;
    ++depth_;
    struct DepthGuard {
        int& depth;
        ~DepthGuard() { --depth; }
    } guard{depth_};
    const auto superseded = [&] { return generation_ != mine; };

    items_.ShopItemIds.clear();
    items_.ShopItemTitles.clear();
    controls_.DeleteAllRows(kWindow, kResultList);

    const Text referer = FeedRefererHeader(shopBase_, shopId);
    int found = 0;
    int barren = 0;
    for (int pack = 1; pack <= limits_.maxPacks; ++pack) {
        Text url = FeedAddress(shopBase_, shopId);
        const Bytes answer = fetch_(url, referer, FeedBody(pack));
        if (superseded())
            return;
        const Text page = web::DecodeEscapes(TextOf(answer));

        const int before = found;
        for (const FeedScanStep& step : ScanFeedPage(page, shopBase_)) {
            if (!step.id.empty() && !step.title.empty()) {
                ++found;
                items_.ShopItemIds.push_back(step.id);
                items_.ShopItemTitles.push_back(step.title);
                controls_.SetStatusText(kWindow, kStatusBar, kStatusPart, kProgress + TextOfInteger(found));
            }
            Pause();
            if (superseded())
                return;
        }
        Pause();
        if (superseded())
            return;

        if (IsFeedEnd(page))
            break;
        barren = found == before ? barren + 1 : 0;
        if (barren >= limits_.maxBarrenPacksInARow)
            break;
    }

    items_.ShopItemCount = static_cast<int>(items_.ShopItemTitles.size());
    controls_.SetText(kWindow, kCountLabel, TextOfInteger(items_.ShopItemCount));
    if (items_.ShopItemCount < 1)
        controls_.SetStatusText(kWindow, kStatusBar, kStatusPart, kFailed);
    else
        controls_.SetStatusText(kWindow, kStatusBar, kStatusPart,
                                kDoneHead + TextOfInteger(items_.ShopItemCount) + kDoneTail);
}

} // namespace rankmoth::sources
