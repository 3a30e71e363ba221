#pragma once

#include "rank/monitor.h"
#include "rank/rank_query.h"
#include "tests/support/fake_controls.h"
#include "tests/support/fake_pump.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace rankmoth::rank::testing {

using rankmoth::testing::FakeControls;
using rankmoth::testing::FakePump;

inline constexpr std::string_view kMain = "MainWindow";
inline constexpr std::string_view kList = "超级列表框1";

// A marketplace in memory: listing page N carries the token "pN-0", slice k answers with "pN-k" and the
// titles placed on it. Records every request.
struct FakeMarket {
    int lastPage = 100;                                       // the page that carries the end marker
    std::map<std::pair<int, int>, std::string> placed;        // (page, slice 1..10) -> GBK text inside the slice
    std::map<std::pair<int, int>, std::string> sliceOverride; // a whole slice answer
    std::map<int, std::string> pageOverride;
    std::vector<std::string> gets;
    std::vector<std::string> posts;
    std::function<void()> onRequest; // runs inside every request, as window events would
    int currentPage = 0;

    static int PageOf(const std::string& url) {
        const auto at = url.find("//", url.find("/book/"));
        return std::atoi(url.c_str() + at + 2);
    }

    Bytes Get(const Text& url) {
        gets.push_back(url.bytes());
        currentPage = PageOf(url.bytes());
        if (onRequest)
            onRequest();
        if (const auto it = pageOverride.find(currentPage); it != pageOverride.end())
            return it->second;
        std::string page = std::string("<script>var c = {book:\"clothing:pop\",lastTweetId:\"p") +
                           std::to_string(currentPage) + "-0\",totalCnt:\"4000\",action:\"pop\"};</script>";
        if (currentPage >= lastPage)
            page += "<script>var s = {\"lastTweetId\":null};</script>";
        return page;
    }

    Bytes Post(const Text& body) {
        posts.push_back(body.bytes());
        if (onRequest)
            onRequest();
        const auto key = body.bytes().find("&page=");
        const int slice = std::atoi(body.c_str() + key + 6) + 1;
        if (const auto it = sliceOverride.find({currentPage, slice}); it != sliceOverride.end())
            return it->second;
        std::string titles;
        if (const auto it = placed.find({currentPage, slice}); it != placed.end())
            titles = it->second;
        return std::string("{\"status\":1,\"data\":{\"lastTweetId\":\"p") + std::to_string(currentPage) + "-" +
               std::to_string(slice) + "\"},\"html\":\"<p>filler<\\/p><p>" + titles + "<\\/p>\"}";
    }
};

struct RankHarness {
    FakeControls controls;
    FakePump pump;
    sources::ItemList items;
    QueryState state;
    CellColourTable colours;
    FakeMarket market;
    RankQuery query;
    Monitor monitor{query};

    RankHarness()
        : query(RankEnv{controls, pump, items, state, colours,
                        ListingTransport::OfBodies([this](Text& url) { return market.Get(url); },
                                                   [this](Text&, const Text& body) { return market.Post(body); }),
                        "market.test",
                        [this](std::chrono::milliseconds delay, std::function<void()> action) {
                            pump.PostAt(pump.Now() + delay, std::move(action));
                        },
                        [] { return DateTime{2024, 3, 5, 9, 5, 7}; }}) {
        controls.AddRadioGroup(kMain, {"单选框_先查潮流", "单选框_先查最热", "单选框_先查最新"});
        controls.AddRadioGroup(kMain, {"单选框_自动监测", "单选框_手动查询"});
        controls.SetText(kMain, "编辑框_最多页", Text("100"));
        controls.SetText(kMain, "编辑框_检索间隔", Text("10"));
        for (const char* entry : {"衣服", "鞋子", "包包", "配饰", "家居", "男友"})
            controls.AddComboEntry(kMain, "组合框_大分类", Text::FromUtf8(entry));
        controls.SelectComboEntry(kMain, "组合框_大分类", 0);
        controls.SetChecked(kMain, "单选框_先查潮流", true);
        controls.SetChecked(kMain, "单选框_手动查询", true);
    }

    void AddItem(const std::string& id, const Text& title) {
        items.ShopItemIds.push_back(Text(id));
        items.ShopItemTitles.push_back(title);
        items.ShopItemCount = static_cast<int>(items.ShopItemTitles.size());
    }
    void SetPageLimit(const char* text) { controls.SetText(kMain, "编辑框_最多页", Text::FromUtf8(text)); }

    std::vector<std::vector<Text>> Rows() const { return controls.Control(kMain, kList).rows; }
    Text Status() { return controls.StatusText(kMain, "状态条1", 1); }
    Text Hint() { return controls.GetText(kMain, "标签_提示"); }
};

} // namespace rankmoth::rank::testing
