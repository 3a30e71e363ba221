// The shared report: what it says must be safe to open anywhere and equal to what the history holds.
#include "base/safe_text.h"
#include "history/shared_report.h"
#include "history/shop_comparison.h"
#include "tests/history/history_fixture.h"

#include <gtest/gtest.h>

namespace rankmoth::history {
namespace {

using namespace testing::history_cases;

TEST(ReportPeriod, DaysAreWholeAndBadDatesAreSaid) {
    const Period period = CheckPeriod("2025-12-01", "2025-12-02").value();
    EXPECT_FALSE(period.Holds("2025-11-30T23:59:59Z"));
    EXPECT_TRUE(period.Holds("2025-12-01T00:00:00Z"));
    EXPECT_TRUE(period.Holds("2025-12-02T23:59:59Z"));
    EXPECT_FALSE(period.Holds("2025-12-03T00:00:00Z"));
    EXPECT_TRUE(CheckPeriod("", "").value().Holds("1999-01-01T00:00:00Z"));
    EXPECT_TRUE(CheckPeriod("2025-12-01T10:00:00Z", "").value().Holds("2025-12-01T10:00:00Z"));
    EXPECT_NE(CheckPeriod("2025-12-32", "").error().find("--since takes a date"), std::string::npos);
    EXPECT_NE(CheckPeriod("", "yesterday").error().find("--until takes a date"), std::string::npos);
    EXPECT_NE(CheckPeriod("2025-12-03", "2025-12-02").error().find("comes before"), std::string::npos);
}

TEST(ReportName, IsTheShopAndTheDaySafeForAFileName) {
    const auto day = base::Clock::from_time_t(1764590400); // 2025-12-01 12:00 UTC: the same day in every zone
    EXPECT_EQ(DefaultReportName("demo", day), "rankmoth-demo-2025-12-01.html");
    EXPECT_EQ(DefaultReportName("../a b", day), "rankmoth-_.._a_b-2025-12-01.html");
}

class SharedReport : public ::testing::Test {
protected:
    std::string Written(const ReportOptions& options, ReportFigures* figures = nullptr) {
        std::string out;
        auto written = WriteReport(*store, options, [&](std::string_view text) {
            out += text;
            return true;
        });
        EXPECT_TRUE(written) << written.error();
        if (figures && written)
            *figures = written.value();
        return out;
    }

    testing::TempFolder dir;
    std::unique_ptr<Store> store = Opened(HistoryFile(dir));
};

TEST_F(SharedReport, FeedTextCannotBreakOutOfThePageAndNothingIsFetched) {
    ASSERT_TRUE(store);
    const char* hostile = "<script>alert(1)</script><img src=\"http://127.0.0.1:9/x\"> & \x01";
    Record(*store, Pass("pop", 0, {Found("<b>9001</b>", 1, 2, hostile)}));
    Record(*store, Pass("pop", 60, {Found("<b>9001</b>", 2, 5, hostile)}));
    ReportFigures figures;
    const std::string page = Written({"8001", {}, 10, 60, testing::At(120)}, &figures);
    EXPECT_EQ(figures.passes, 2u);
    EXPECT_EQ(figures.items, 1u);
    EXPECT_EQ(page.rfind("<!DOCTYPE html>", 0), 0u);
    EXPECT_EQ(page.find("<script"), std::string::npos);
    EXPECT_EQ(page.find("<img"), std::string::npos);
    EXPECT_EQ(page.find("<b>"), std::string::npos);
    EXPECT_EQ(page.find('\x01'), std::string::npos);
    EXPECT_NE(page.find("&lt;script&gt;alert(1)&lt;/script&gt;"), std::string::npos);
    // No address of anything outside the title's text: no scheme, no source, no link, and the only reference
    // is the page's own hatching.
    std::string markup = page;
    for (std::size_t at; (at = markup.find(base::MarkupText(hostile))) != std::string::npos;)
        markup.erase(at, base::MarkupText(hostile).size());
    for (const char* fetch : {"http:", "https:", "src=", "href=", "@import", "//"})
        EXPECT_EQ(markup.find(fetch), std::string::npos) << fetch;
    std::size_t references = 0;
    for (std::size_t at = page.find("url("); at != std::string::npos; at = page.find("url(", at + 1), ++references)
        EXPECT_EQ(page.compare(at, 15, "url(#rm-hatch)}"), 0);
    EXPECT_EQ(references, 1u);
    // The mover from page 1 upper to page 2 middle, and both passes' pages in the strip.
    EXPECT_NE(page.find("第1页·上"), std::string::npos);
    EXPECT_NE(page.find("−13"), std::string::npos) << "position 2 to 15";
}

TEST_F(SharedReport, APeriodWithoutPassesWritesNothing) {
    ASSERT_TRUE(store);
    Record(*store, Pass("pop", 0, {Found("9001", 1, 2)}));
    ReportFigures figures{9, 9, 9};
    EXPECT_EQ(Written({"8001", CheckPeriod("2026-01-01", "").value(), 10, 60, {}}, &figures), "");
    EXPECT_EQ(figures.passes, 0u);
    EXPECT_EQ(Written({"other", {}, 10, 60, {}}, &figures), "");
}

TEST_F(SharedReport, TheLastRunShownIsOneThatLookedForTheShop) {
    ASSERT_TRUE(store);
    Record(*store, Pass("pop", 0, {Found("9001", 1, 2)}));
    Record(*store, Pass("pop", 60, {Found("9001", 1, 3)}));
    RunRow run;
    run.started = IsoTime(testing::At(59));
    run.finished = IsoTime(testing::At(63));
    run.passes = 3;
    run.exitStatus = 3;
    ASSERT_TRUE(store->RecordRun(run));
    EXPECT_NE(Written({"8001", {}, 10, 60, {}}).find("3 次查询，退出状态 3"), std::string::npos);

    // Another watch's run, later: not this shop's.
    run.started = IsoTime(testing::At(120));
    run.finished = IsoTime(testing::At(125));
    run.exitStatus = 0;
    ASSERT_TRUE(store->RecordRun(run));
    const std::string page = Written({"8001", {}, 10, 60, {}});
    EXPECT_EQ(page.find("次查询，退出状态"), std::string::npos);
    EXPECT_NE(page.find("，未查此店铺"), std::string::npos);
}

TEST_F(SharedReport, AWatchsShopsAreComparedWalkByWalkWithTheReportsShopFirst) {
    ASSERT_TRUE(store);
    // Two walks of one listing for three shops; "lone" was walked alone and "aside" in a walk "8001" lacks.
    Record(*store, Pass("pop", 0, {Found("a", 1, 1), Found("b", 2, 5)}, "8001", "w1")); // 1.0 + 0.3
    Record(*store, Pass("pop", 0, {Found("z", 1, 8)}, "zeta", "w1"));                     // 0.3
    Record(*store, Pass("pop", 0, {Missing("q")}, "alpha", "w1"));                        // 0
    Record(*store, Pass("pop", 60, {Missing("a")}, "8001", "w2"));
    Record(*store, Pass("pop", 60, {Found("z", 1, 2)}, "zeta", "w2"));
    Record(*store, Pass("pop", 90, {Found("s", 1, 1)}, "aside", "w3"));
    Record(*store, Pass("pop", 120, {Found("a", 1, 1)}, "8001"));
    // Another sort of the same category, whose key spells before "pop".
    Record(*store, Pass("hot30day", 130, {Found("a", 1, 1)}, "8001", "w4"));
    Record(*store, Pass("hot30day", 130, {Found("z", 1, 1)}, "zeta", "w4"));

    const auto compared = CompareShops(*store, "8001", {});
    ASSERT_TRUE(compared) << compared.error();
    ASSERT_EQ(compared.value().size(), 2u);
    EXPECT_EQ(compared.value()[1].sort, "hot30day") << "a category's sorts in the window's order";
    const ListingVisibility& listing = compared.value()[0];
    EXPECT_EQ(listing.shops, (std::vector<std::string>{"8001", "alpha", "zeta"}));
    ASSERT_EQ(listing.points.size(), 2u);
    EXPECT_EQ(listing.points[0].walkId, "w1");
    EXPECT_NEAR(listing.points[0].scores[0], 1.3, 1e-9);
    EXPECT_DOUBLE_EQ(listing.points[0].scores[1], 0.0);
    EXPECT_NEAR(listing.points[0].scores[2], 0.3, 1e-9);
    EXPECT_EQ(listing.points[1].scores, (std::vector<double>{0.0, 0.0, 1.0}));

    EXPECT_TRUE(CompareShops(*store, "aside", CheckPeriod("2025-12-02", "").value()).value().empty());
    const std::string page = Written({"8001", {}, 10, 60, {}});
    EXPECT_NE(page.find("店铺可见度占比"), std::string::npos);
    EXPECT_LT(page.find("8001（本店） 0%"), page.find("zeta 100%")) << "the latest walk's shares, own shop first";
}

} // namespace
} // namespace rankmoth::history
