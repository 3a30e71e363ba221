#include "app/qt/compose.h"

#include "base/settings.h"
#include "rank/monitor.h"
#include "rank/rank_query.h"
#include "sources/item_list.h"
#include "sources/shop_feed.h"
#include "sources/sub_categories.h"

#include <QCoreApplication>
#include <QTimer>

#include <memory>

namespace rankmoth::shell {

namespace {

// The process-wide state of the rank query and the item sources, alive as long as the hooks that use it.
struct RankCore {
    sources::ItemList items;
    rank::QueryState state;
    rank::CellColourTable colours;
    std::unique_ptr<sources::ShopFeedLoader> loader;
    std::unique_ptr<rank::RankQuery> query;
    std::unique_ptr<rank::Monitor> monitor;
};

} // namespace

void BindRankHooks(CoreContext& context, base::ShellHooks& hooks) {
    auto core = std::make_shared<RankCore>();
    core->loader = std::make_unique<sources::ShopFeedLoader>(
        context.controls, context.pump, core->items, context.endpoints.shopBase, sources::TimedFeedFetch(context.web));
    // The hint restore is a one-shot timer on the window thread: nothing outlives the application object.
    rank::DelayedCall later = [](std::chrono::milliseconds delay, std::function<void()> action) {
        QTimer::singleShot(delay, QCoreApplication::instance(), std::move(action));
    };
    rank::RankEnv env{context.controls, context.pump, core->items, core->state, core->colours,
                      rank::WebListingTransport(context.web), context.endpoints.marketHost, std::move(later)};
    // The history records each finished pass, of a query and of monitoring alike.
    env.passFinished = context.passFinished;
    core->query = std::make_unique<rank::RankQuery>(std::move(env));
    core->monitor = std::make_unique<rank::Monitor>(*core->query);

    hooks.queryStart = [core] { core->query->RunRankQuery(); };
    hooks.stopQuery = [core] { core->query->RequestStop(); };
    hooks.shopLoad = [core] { core->loader->Run(); };
    hooks.pageLimitFocus = [core] { core->query->PageLimitFocus(); };
    hooks.pageLimitChanged = [core] { core->query->PageLimitChanged(); };
    hooks.intervalChanged = [core] { core->monitor->IntervalChanged(); };
    hooks.monitorModeChanged = [core] { core->monitor->ModeChanged(); };
    hooks.monitorTick = [core] { core->monitor->MonitorTick(); };
    base::Controls& controls = context.controls;
    hooks.loadSubCategories = [&controls, dir = context.files.configDir] {
        sources::LoadSubCategories(controls, sources::SubCategoryFile(dir));
    };
}

} // namespace rankmoth::shell
