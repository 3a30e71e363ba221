#include "sources/shop_feed.h"

#include "base/control_names.h"

namespace rankmoth::sources {

namespace {

using namespace base::names::main_window;
constexpr std::string_view kWindow = base::kMainWindow;
constexpr std::string_view kCountLabel = kItemCountLabel;
constexpr int kStatusPart = 1;

} // namespace

ShopFeedLoader::ShopFeedLoader(base::Controls& controls, base::EventPump& pump, ItemList& items, std::string shopBase,
                               FeedFetch fetch, FeedLimits limits)
    : controls_(controls), pump_(pump), items_(items), shopBase_(std::move(shopBase)), fetch_(std::move(fetch)),
      limits_(limits) {}

void ShopFeedLoader::Pause() {
    pump_.PumpingWait(pause);
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

    items_.ShopItemIds.clear();
    items_.ShopItemTitles.clear();
    items_.shopId = shopId;
    controls_.DeleteAllRows(kWindow, kResultList);

    // The lists grow item by item as the load reports them, with a pause after every scan step and every
    // pack; a newer load started inside one of those pauses stops this one there.
    struct Presenter final : FeedLoadObserver {
        ShopFeedLoader& loader;
        explicit Presenter(ShopFeedLoader& l) : loader(l) {}
        void ScanStep(const FeedScanStep& step, bool added, int found) override {
            if (added) {
                loader.items_.ShopItemIds.push_back(step.id);
                loader.items_.ShopItemTitles.push_back(step.title);
                loader.controls_.SetStatusText(kWindow, kStatusBar, kStatusPart, kProgress + TextOfInteger(found));
            }
            loader.Pause();
        }
        void PackDone(int) override { loader.Pause(); }
    } presenter(*this);

    FeedLoadOptions options;
    options.shopBase = shopBase_;
    options.limits = limits_;
    options.stopRequested = [this, mine] { return generation_ != mine; };
    const FeedOutcome outcome = FeedLoad(fetch_, std::move(options)).Run(shopId, &presenter);
    if (outcome.stopped)
        return;

    items_.ShopItemCount = static_cast<int>(items_.ShopItemTitles.size());
    controls_.SetText(kWindow, kCountLabel, TextOfInteger(items_.ShopItemCount));
    if (items_.ShopItemCount < 1)
        controls_.SetStatusText(kWindow, kStatusBar, kStatusPart, kFailed);
    else
        controls_.SetStatusText(kWindow, kStatusBar, kStatusPart,
                                kDoneHead + TextOfInteger(items_.ShopItemCount) + kDoneTail);
    if (loadFinished)
        loadFinished(outcome);
}

} // namespace rankmoth::sources
