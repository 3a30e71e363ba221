// One shop feed pack of 20,000 items (and of 2,000, to show the cost per item stays flat), each beside the
// floor of the same bytes: one memmem pass for the end marker, which stands at the pack's end.
//  - FeedScan: the item scan of the decoded pack, the part whose cost once grew with the square of the pack.
//  - FeedPack: all the loader does with an answer, with no request and no pause: escape decoding, the pack
//    and end checks, the scan and the duplicate check. Escape decoding takes most of it.
#include "sources/feed_load.h"
#include "web/codecs.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <map>
#include <string>

namespace {

using namespace rankmoth;

const std::string kBase = "http://shop.example/";

// A pack as the shop host answers it, after the UTF-8 to GBK conversion of the fetch: the item links inside a
// JSON string (quotes and slashes escaped), Chinese titles, and the end marker behind the string.
const std::string& Pack(int items) {
    static std::map<int, std::string> packs;
    std::string& pack = packs[items];
    if (!pack.empty())
        return pack;
    const Text titles[] = {"碎花连衣裙 2026新款 法式复古"_gbk, "宽松针织开衫 女 秋冬加厚"_gbk,
                           "修身牛仔裤 高腰显瘦 九分"_gbk, "纯棉短袖T恤 女装 简约百搭"_gbk};
    std::string escapedBase = kBase;
    for (std::size_t at = escapedBase.find('/'); at != std::string::npos; at = escapedBase.find('/', at + 2))
        escapedBase.insert(at, "\\");
    pack = "{\"html\":\"<ul>";
    for (int k = 0; k < items; ++k) {
        pack += "<li class=\\\"item\\\"><a class=\\\"creply\\\" href=\\\"" + escapedBase + "detail\\/" +
                std::to_string(5000000 + k) + "\\\" target=\\\"_blank\\\"><img src=\\\"\\/\\/img.example\\/" +
                std::to_string(k) + ".jpg\\\"><div class=\\\"title\\\">" + titles[k % 4].bytes() + " " +
                std::to_string(k) + "<\\/div><span class=\\\"price\\\">&yen;" + std::to_string(59 + k % 300) +
                ".00<\\/span><\\/a><\\/li>";
    }
    pack += "<\\/ul>\",\"data\":{\"isEnd\":true}}";
    return pack;
}

void BM_FeedPack(benchmark::State& state) {
    const int items = static_cast<int>(state.range(0));
    const std::string& pack = Pack(items);
    sources::FeedLoadOptions options;
    options.shopBase = kBase;
    for (auto _ : state) {
        sources::FeedLoad load(sources::FeedFetchOfBodies([&](Text&, const Text&, const Bytes&) { return pack; }),
                               options);
        const sources::FeedOutcome outcome = load.Run(Text("shop"));
        if (static_cast<int>(outcome.items.size()) != items || !outcome.reachedEnd)
            state.SkipWithError("the pack did not parse whole");
        benchmark::DoNotOptimize(outcome.items.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * pack.size()));
    state.counters["items"] = items;
}

void BM_FeedScan(benchmark::State& state) {
    const int items = static_cast<int>(state.range(0));
    const Text page = web::DecodeEscapes(Text(Pack(items)));
    for (auto _ : state) {
        const auto steps = sources::ScanFeedPage(page, kBase);
        if (static_cast<int>(steps.size()) != items)
            state.SkipWithError("the scan missed items");
        benchmark::DoNotOptimize(steps.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * page.size()));
}

void MemmemPass(benchmark::State& state, const std::string& bytes) {
    const std::string marker = "\"data\":{\"isEnd";
    for (auto _ : state) {
        const void* at = memmem(bytes.data(), bytes.size(), marker.data(), marker.size());
        if (!at)
            state.SkipWithError("no end marker");
        benchmark::DoNotOptimize(at);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}

void BM_FeedScanBaseline_Memmem(benchmark::State& state) {
    MemmemPass(state, web::DecodeEscapes(Text(Pack(static_cast<int>(state.range(0))))).bytes());
}

void BM_FeedPackBaseline_Memmem(benchmark::State& state) {
    MemmemPass(state, Pack(static_cast<int>(state.range(0))));
}

BENCHMARK(BM_FeedScan)->ArgName("items")->Arg(2000)->Arg(20000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FeedScanBaseline_Memmem)->ArgName("items")->Arg(2000)->Arg(20000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FeedPack)->ArgName("items")->Arg(2000)->Arg(20000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FeedPackBaseline_Memmem)->ArgName("items")->Arg(2000)->Arg(20000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
