// The codecs every page goes through, on a 1 MiB page, each next to the floor of the same bytes: one raw
// iconv pass for the conversions, one memmem scan for the marker cut.
#include "web/codecs.h"

#include <benchmark/benchmark.h>
#include <iconv.h>

#include <cstring>
#include <string>

namespace {

using namespace rankmoth;

constexpr std::size_t kPageSize = 1 << 20;

// A slice response as the listing sends it: JSON with \u escapes for the titles, escaped slashes and the
// odd percent sign, in GBK.
const Text& EscapedSlice() {
    static const Text page = [] {
        std::string s;
        s.reserve(kPageSize + 512);
        for (int i = 0; s.size() < kPageSize; ++i) {
            s += "{\"id\":\"" + std::to_string(100000 + i) +
                 "\",\"title\":\"\\u65b0\\u6b3e\\u590f\\u5b63 T\\u6064 100%25 cotton\",\"url\":\"http:\\/\\/"
                 "m.example\\/item\\/" +
                 std::to_string(i) + "\",\"shop\":\"";
            s += "\xB5\xEA\xC6\xCC"; // 店铺, already GBK
            s += "\"},";
        }
        s.resize(kPageSize);
        return Text(s);
    }();
    return page;
}

// A UTF-8 shop feed page: markup with Chinese titles.
const std::string& Utf8Page() {
    static const std::string page = [] {
        std::string s;
        s.reserve(kPageSize + 512);
        for (int i = 0; s.size() < kPageSize; ++i)
            s += "<li data-id=\"" + std::to_string(i) + "\"><a class=\"title\">新款夏季纯棉短袖T恤 女装宽松</a></li>\n";
        // Cut on a character boundary: the page ends after the last complete line.
        s.resize(s.rfind('\n', kPageSize) + 1);
        return s;
    }();
    return page;
}

// A GBK listing page with the markers the walk cuts near its end.
const Text& ListingPage() {
    static const Text page = [] {
        const Text line =
            Text("<div class=\"item\"><a href=\"/item/1\">") + "新款夏季纯棉短袖T恤"_gbk + Text("</a></div>\n");
        std::string s;
        s.reserve(kPageSize);
        while (s.size() + line.size() + 64 < kPageSize)
            s += line.bytes();
        s += "<script>var cfg = {\"total\":\"12345\",\"book\":\"x\"};</script>";
        return Text(s);
    }();
    return page;
}

std::size_t IconvOnce(iconv_t cd, const std::string& in, std::string& out) {
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    out.resize(in.size() * 2 + 16);
    char* src = const_cast<char*>(in.data());
    std::size_t srcLeft = in.size();
    char* dst = out.data();
    std::size_t dstLeft = out.size();
    iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    return out.size() - dstLeft;
}

void BM_DecodeEscapes(benchmark::State& state) {
    const Text& page = EscapedSlice();
    for (auto _ : state)
        benchmark::DoNotOptimize(web::DecodeEscapes(page).size());
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * page.size()));
}

void BM_DecodeEscapesBaseline_IconvGbkToUtf16(benchmark::State& state) {
    const std::string& page = EscapedSlice().bytes();
    iconv_t cd = iconv_open("UTF-16LE", "CP936");
    std::string out;
    for (auto _ : state)
        benchmark::DoNotOptimize(IconvOnce(cd, page, out));
    iconv_close(cd);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * page.size()));
}

void BM_Utf8ToGbk(benchmark::State& state) {
    const std::string& page = Utf8Page();
    for (auto _ : state)
        benchmark::DoNotOptimize(web::Utf8ToGbk(page).size());
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * page.size()));
}

void BM_Utf8ToGbkBaseline_IconvOnce(benchmark::State& state) {
    const std::string& page = Utf8Page();
    iconv_t cd = iconv_open("CP936", "UTF-8");
    std::string out;
    for (auto _ : state)
        benchmark::DoNotOptimize(IconvOnce(cd, page, out));
    iconv_close(cd);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * page.size()));
}

void BM_TextBetween(benchmark::State& state) {
    const Text& page = ListingPage();
    const Text left("#引号total#引号:#引号"_gbk), right("#引号"_gbk);
    const bool caseSensitive = state.range(0) != 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(web::TextBetween(page, left, right, caseSensitive).size());
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * page.size()));
}

void BM_TextBetweenBaseline_Memmem(benchmark::State& state) {
    const std::string& page = ListingPage().bytes();
    const std::string left = "\"total\":\"", right = "\"";
    for (auto _ : state) {
        const char* at = static_cast<const char*>(memmem(page.data(), page.size(), left.data(), left.size()));
        const char* rest = at + left.size();
        const void* end =
            memmem(rest, page.size() - static_cast<std::size_t>(rest - page.data()), right.data(), right.size());
        benchmark::DoNotOptimize(end);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * page.size()));
}

BENCHMARK(BM_DecodeEscapes);
BENCHMARK(BM_DecodeEscapesBaseline_IconvGbkToUtf16);
BENCHMARK(BM_Utf8ToGbk);
BENCHMARK(BM_Utf8ToGbkBaseline_IconvOnce);
BENCHMARK(BM_TextBetween)->ArgName("caseSensitive")->Arg(0)->Arg(1);
BENCHMARK(BM_TextBetweenBaseline_Memmem);

} // namespace

BENCHMARK_MAIN();
