#include "rank/rank_query.h"

#include "base/control_names.h"
#include "rank/listing.h"
#include "web/codecs.h"

#include <algorithm>
#include <cstdint>

namespace rankmoth::rank {

namespace {

using namespace std::chrono_literals;

using namespace base::names::main_window;

constexpr std::string_view kWindow = base::kMainWindow;
constexpr int kStatusPart = 1;
constexpr int kStatePart = 0;

const Text& Caption() {
    static const Text t = "提示"_gbk;
    return t;
}
const Text& PageLimitMessage() {
    static const Text t = "最多页不能＜1、不能＞100哦"_gbk;
    return t;
}

bool PageLimitInRange(long long value) {
    return value >= 1 && value <= 100;
}

Text SelectedComboText(base::Controls& controls, std::string_view combo) {
    const int selected = controls.ComboSelection(kWindow, combo);
    return selected < 0 ? Text{} : controls.ComboEntryText(kWindow, combo, selected);
}

Text Counts(int found, int items) {
    return TextOfInteger(found) + Text("/") + TextOfInteger(items);
}

// "HTTP 503" when the reason begins with a status line's code; the web layer's reason is English and may
// carry more than that.
Text HttpStatusWords(const std::string& reason) {
    constexpr std::string_view kHead = "HTTP ";
    std::size_t end = kHead.size();
    if (reason.compare(0, kHead.size(), kHead) == 0)
        while (end < reason.size() && end < kHead.size() + 3 && reason[end] >= '0' && reason[end] <= '9')
            ++end;
    return end == kHead.size() + 3 ? Text(reason.substr(0, end)) : "HTTP 错误"_gbk;
}

} // namespace

Text FailureWords(const base::FailureCount& failure) {
    using base::FailureKind;
    switch (failure.kind) {
    case FailureKind::Refused:
        return "连接被拒绝"_gbk;
    case FailureKind::Unresolved:
        return "无法解析主机"_gbk;
    case FailureKind::Deadline:
        return "超时"_gbk;
    case FailureKind::CutOff:
        return "应答不完整"_gbk;
    case FailureKind::HttpStatus:
        return HttpStatusWords(failure.firstReason);
    case FailureKind::TooLarge:
        return "应答过大"_gbk;
    case FailureKind::Stopped:
        return "已停止"_gbk;
    case FailureKind::NotAnswer:
        return "应答无效"_gbk;
    case FailureKind::Other:
        break;
    }
    return "网络错误"_gbk;
}

PassStateText RunningStateText(int items) {
    return {" 正在查询"_gbk, "正在查询 "_gbk + TextOfInteger(items) + " 个宝贝的排名"_gbk};
}

PassStateText FinishedStateText(const base::PassOutcome& outcome, bool stopped) {
    const int items = static_cast<int>(outcome.items.size());
    const int found = static_cast<int>(std::count_if(outcome.items.begin(), outcome.items.end(), [](const auto& item) {
        return item.state == base::ItemState::Found;
    }));
    const Text counts = Counts(found, items);
    const Text foundPart = counts + " 个宝贝已找到"_gbk;

    // The requests that failed for a reason of their own: the one a stop cut short says nothing new.
    std::vector<base::FailureCount> kinds;
    int failed = outcome.failedRequests;
    for (const base::FailureCount& entry : outcome.failures.entries()) {
        if (stopped && entry.kind == base::FailureKind::Stopped)
            failed -= entry.count;
        else
            kinds.push_back(entry);
    }
    Text failedPart;
    if (failed > 0) {
        failedPart = TextOfInteger(failed) + " 个请求失败"_gbk;
        if (kinds.size() == 1) {
            failedPart += "（"_gbk + FailureWords(kinds[0]) + "）"_gbk;
        } else if (!kinds.empty()) {
            failedPart += "（"_gbk;
            for (std::size_t k = 0; k < kinds.size(); ++k)
                failedPart += (k ? "、"_gbk : Text()) + FailureWords(kinds[k]) + Text(" ") +
                              TextOfInteger(kinds[k].count) + " 个"_gbk;
            failedPart += "）"_gbk;
        }
        failedPart += "，"_gbk;
    }
    const Text rest = found < items ? "，其余未查完"_gbk : Text();

    if (stopped)
        return {" 已停止 "_gbk + counts, "查询已停止，"_gbk + failedPart + foundPart + rest};
    if (outcome.failedRequests > 0 || outcome.stopped)
        return {" 查询未完成 "_gbk + counts, failedPart + foundPart + rest};
    Text sentence = TextOfInteger(outcome.requests) + " 个请求全部成功，"_gbk + foundPart;
    if (found < items)
        sentence += "，其余不在前 "_gbk + TextOfInteger(outcome.pagesWalked) + " 页"_gbk;
    return {" 查询完成 "_gbk + counts, sentence};
}

RankQuery::RankQuery(RankEnv env) : env_(std::move(env)) {}

void RankQuery::RestoreHintLater() {
    static const Text kUsualHint = "关键词可以为: 主人ID、宝贝ID"_gbk;
    if (!env_.later)
        return;
    base::Controls& controls = env_.controls;
    env_.later(10s, [&controls] {
        controls.SetText(kWindow, kHintLabel, kUsualHint);
        for (const std::string_view control : {kQueryButton, kIntervalBox})
            controls.SetToolTip(kWindow, control, Text());
    });
}

void RankQuery::ShowHint(const Text& hint, std::string_view control) {
    base::Controls& c = env_.controls;
    c.SetText(kWindow, kHintLabel, hint);
    // One hint stands at a time: a tip left at another control would outlive its text.
    for (const std::string_view other : {kQueryButton, kIntervalBox})
        if (other != control)
            c.SetToolTip(kWindow, other, Text());
    c.SetToolTip(kWindow, control, hint);
    RestoreHintLater();
}

bool RankQuery::RefuseStart() {
    static const Text kRunning = "提示：当前正在进行查询哦~"_gbk;
    static const Text kNoItems = "还木有要查询的宝贝！请导入宝贝ID或加载宝贝ID"_gbk;
    base::Controls& c = env_.controls;
    QueryState& s = env_.state;

    if (s.running) {
        ShowHint(kRunning, kQueryButton);
        return true;
    }
    if (env_.items.ShopItemCount <= 0) {
        c.MessageBox(kNoItems, base::kIconExclamation, Caption());
        return true;
    }
    const long long limit = BoxInteger(c.GetText(kWindow, kPageLimitBox));
    if (!PageLimitInRange(limit)) {
        // The value is kept as read, as every start does; a refused start never runs with it.
        s.pageLimit = static_cast<int>(std::clamp<long long>(limit, INT32_MIN, INT32_MAX));
        writingPageLimit_ = true;
        c.SetText(kWindow, kPageLimitBox, Text("100"));
        writingPageLimit_ = false;
        c.MessageBox(PageLimitMessage(), base::kIconExclamation, Caption());
        return true;
    }
    s.pageLimit = static_cast<int>(limit);
    s.categorySlug = CategorySlug(SelectedComboText(c, kCategoryCombo));
    s.subCategoryFields = SplitAll(SelectedComboText(c, kSubCategoryCombo), Text("|"));
    const SortChoice sort = ChoiceOf(SortFor(c.IsChecked(kWindow, kHottestRadio), c.IsChecked(kWindow, kNewestRadio)));
    s.sortKey = sort.key;
    s.sortLabel = sort.label;
    s.interval =
        static_cast<int>(std::clamp<long long>(BoxInteger(c.GetText(kWindow, kIntervalBox)), INT32_MIN, INT32_MAX));
    s.stopRequested = false;
    s.pageNumber = 0;
    return false;
}

void RankQuery::RunRankQuery() {
    static const Text kStopped = " 查询已停止"_gbk;
    if (RefuseStart())
        return;
    QueryState& s = env_.state;
    base::Controls& c = env_.controls;
    s.running = true;
    // The status bar's first panel carries the program's state: the second keeps the last item check's
    // progress after a pass, and alone it cannot tell a finished pass from one under way, nor a failed one
    // from one that found nothing.
    const auto showState = [&c](const PassStateText& state) {
        c.SetStatusText(kWindow, kStatusBar, kStatePart, state.state);
        // The state part as a control of its own, for its tip: a control layer without parts ignores the name.
        c.SetToolTip(kWindow, kStatusStatePart, state.sentence);
    };
    showState(RunningStateText(env_.items.ShopItemCount));
    c.DeleteAllRows(kWindow, kResultList);
    const base::PassOutcome outcome = WalkListing();
    s.running = false;
    if (s.stopRequested)
        c.SetStatusText(kWindow, kStatusBar, kStatusPart, kStopped);
    showState(FinishedStateText(outcome, s.stopRequested || outcome.stopped));
    if (env_.passFinished)
        env_.passFinished(outcome);
}

// Turns the walk's reports into the window's writes: per item check the progress caption, the row of a hit,
// the status text and the pause that lets the window's events run.
class RankQuery::Presenter final : public ListingWalkObserver {
public:
    explicit Presenter(RankQuery& query) : q_(query) {}

    void PageStarted(int page) override { q_.env_.state.pageNumber = page; }

    void ItemChecked(int page, int slice, int itemNumber, const sources::ShopItem& item, bool found) override {
        RankEnv& env = q_.env_;
        base::Controls& c = env.controls;
        const QueryState& s = env.state;
        c.SetText(kWindow, kProgressLabel, ItemProgressCaption(itemNumber, item.id));
        if (found) {
            const int r = c.RowCount(kWindow, kResultList);
            const int row = c.AddRow(kWindow, kResultList, TextOfInteger(r + 1));
            c.SetCellText(kWindow, kResultList, row, 1, MaskItemId(item.id));
            c.SetCellText(kWindow, kResultList, row, 2, RankPositionText(page, slice));
            c.SetCellText(kWindow, kResultList, row, 3, s.sortLabel);
            const CellColours colours = SortCellColours(s.sortLabel);
            env.colours.SetCellColour(c, kWindow, kResultList, row, 3, colours.text, colours.background, true);
            c.SetCellText(kWindow, kResultList, row, 4, FormatQueryTime(env.now ? env.now() : LocalNow()));
            c.ScrollRowIntoView(kWindow, kResultList, row);
            if (c.IsChecked(kWindow, kSoundBox))
                c.PlayAlertSound();
        }
        c.SetStatusText(kWindow, kStatusBar, kStatusPart, QueryProgressStatus(s.sortLabel, page, slice, itemNumber));
        env.pump.PumpingWait(env.itemPause);
        env.pump.DispatchPending();
    }

private:
    RankQuery& q_;
};

ListingWalk RankQuery::MakeWalk() {
    WalkOptions options;
    options.marketHost = env_.marketHost;
    // Handlers that run inside the pauses may stop the walk, lower the page limit or reload the items; the
    // walk reads all three from the window's state as it goes.
    QueryState& s = env_.state;
    sources::ItemList& items = env_.items;
    options.stopRequested = [&s] { return s.stopRequested; };
    options.pageLimit = [&s] { return s.pageLimit; };
    options.items = [&items] { return items.Snapshot(); };
    options.pump = &env_.pump;
    return ListingWalk(env_.transport, std::move(options));
}

base::PassRequest RankQuery::MakeRequest() const {
    const QueryState& s = env_.state;
    base::PassRequest request;
    request.shop = env_.items.shopId;
    request.category = s.categorySlug.bytes();
    // The big-category walk reads no sub-category, whatever the combo box shows: recording one would keep the
    // pass apart from every other pass of the same listing (baselines, change alerts, the 变化 column).
    request.sort = s.sortKey.bytes();
    request.pageLimit = s.pageLimit;
    return request;
}

base::PassOutcome RankQuery::WalkListing() {
    Presenter presenter(*this);
    return MakeWalk().Run(MakeRequest(), env_.items.Snapshot(), &presenter);
}

void RankQuery::CheckItemsInSlice(const Text& slice, int sliceIndex) {
    Presenter presenter(*this);
    if (!sliceWalk_)
        sliceWalk_.emplace(MakeWalk());
    sliceWalk_->CheckSlice(slice, env_.state.pageNumber, sliceIndex, env_.items.Snapshot(), presenter);
}

void RankQuery::RequestStop() {
    env_.state.stopRequested = true;
}

void RankQuery::PageLimitFocus() {
    rememberedPageLimit_ = TrimSpaces(env_.controls.GetText(kWindow, kPageLimitBox));
}

void RankQuery::PageLimitChanged() {
    // Putting the remembered text back changes the box again; that change is ours and is not checked.
    if (writingPageLimit_)
        return;
    base::Controls& c = env_.controls;
    const long long value = BoxInteger(c.GetText(kWindow, kPageLimitBox));
    if (!PageLimitInRange(value)) {
        writingPageLimit_ = true;
        c.SetText(kWindow, kPageLimitBox, rememberedPageLimit_);
        writingPageLimit_ = false;
        c.MessageBox(PageLimitMessage(), base::kIconExclamation, Caption());
        return;
    }
    env_.state.pageLimit = static_cast<int>(value);
}

} // namespace rankmoth::rank
