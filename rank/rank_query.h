#pragma once

#include "base/controls.h"
#include "base/eventpump.h"
#include "base/text.h"
#include "rank/cell_colours.h"
#include "rank/item_location.h"
#include "rank/listing_walk.h"
#include "rank/query_state.h"
#include "sources/item_list.h"
#include "web/web_env.h"

#include <chrono>
#include <functional>
#include <optional>
#include <string>

namespace rankmoth::rank {

// What status part 0 says of a pass, and the whole sentence behind it that its tip and accessible
// description hold: the part is 126 pixels wide, so the state is a word and two counts.
struct PassStateText {
    Text state;    // " 查询完成 5/45"
    Text sentence; // "110 个请求全部成功，5/45 个宝贝已找到，其余不在前 10 页"
};
// While a pass over `items` items runs.
PassStateText RunningStateText(int items);
// Once it has ended; `stopped` when the user stopped it. A pass with a failed request never reads as
// complete: its misses are unknowns, not absences.
PassStateText FinishedStateText(const base::PassOutcome& outcome, bool stopped);
// One kind of failed request in words: "连接被拒绝", "HTTP 503", ...
Text FailureWords(const base::FailureCount& failure);

// Runs `action` once, `delay` from now, on the window thread, and returns at once.
using DelayedCall = std::function<void(std::chrono::milliseconds delay, std::function<void()> action)>;

struct RankEnv {
    base::Controls& controls;
    base::EventPump& pump;
    sources::ItemList& items;
    QueryState& state;
    CellColourTable& colours;
    ListingTransport transport;
    std::string marketHost;
    DelayedCall later;
    std::function<DateTime()> now = LocalNow;
    // Told of every pass that ends, stopped ones included (the history store listens here).
    std::function<void(const base::PassOutcome&)> passFinished = nullptr;
    // The pause after every item check, which keeps the window responsive during a walk.
    std::chrono::milliseconds itemPause{100};
};

// One rank query run and the controls that steer it: the start checks, the walk over the listing pages and
// their ten slices, the item check of every slice, the stop request and the page-limit box.
class RankQuery {
public:
    explicit RankQuery(RankEnv env);
    // The walk's observer and stop request point back at this object.
    RankQuery(const RankQuery&) = delete;
    RankQuery& operator=(const RankQuery&) = delete;

    // 按钮_查询大类排名, and the monitoring countdown.
    void RunRankQuery();
    // Runs the start checks and fills the query state when they pass; true when they refuse the start.
    bool RefuseStart();
    // One pass with the window's writes; RunRankQuery hands its outcome to passFinished.
    base::PassOutcome WalkListing();
    // The window's item checks of one slice outside a walk; calls share one walk, so the items' matcher is
    // built once for as long as the item list stays the same.
    void CheckItemsInSlice(const Text& slice, int sliceIndex);

    // 按钮_停止查询 / 按钮_停止查询1: the walk stops after the item check or request under way.
    void RequestStop();
    // 编辑框_最多页: focus and content change.
    void PageLimitFocus();
    void PageLimitChanged();

    // Writes `hint` into 标签_提示 and shows it as a tip at `control` too (the label lies out of sight); both
    // go ten seconds from now, when RestoreHintLater puts the usual hint back.
    void ShowHint(const Text& hint, std::string_view control);
    // Puts the usual hint back into 标签_提示 ten seconds from now and takes the hint's tips away.
    void RestoreHintLater();

    const RankEnv& env() const { return env_; }

private:
    class Presenter;
    ListingWalk MakeWalk();
    base::PassRequest MakeRequest() const;

    RankEnv env_;
    Text rememberedPageLimit_{"100"};
    bool writingPageLimit_ = false;
    std::optional<ListingWalk> sliceWalk_;
};

} // namespace rankmoth::rank
