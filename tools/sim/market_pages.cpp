#include "tools/sim/market_pages.h"

#include <charconv>
#include <cstdio>

namespace rankmoth::sim {

namespace {

// Decodes one UTF-8 character at `i`; a malformed byte is taken as U+FFFD.
char32_t NextCodePoint(const std::string& s, std::size_t& i) {
    const auto b = static_cast<unsigned char>(s[i]);
    int extra = b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : b >= 0xC0 ? 1 : 0;
    char32_t cp = extra == 3 ? b & 0x07 : extra == 2 ? b & 0x0F : extra == 1 ? b & 0x1F : b;
    if (b >= 0x80 && extra == 0) {
        ++i;
        return 0xFFFD;
    }
    ++i;
    for (; extra > 0; --extra, ++i) {
        if (i >= s.size() || (static_cast<unsigned char>(s[i]) & 0xC0) != 0x80)
            return 0xFFFD;
        cp = (cp << 6) | (static_cast<unsigned char>(s[i]) & 0x3F);
    }
    return cp;
}

void AppendUnit(std::string& out, unsigned unit) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "\\u%04x", unit);
    out += buffer;
}

std::string FillerTitle(int page, int slice, int n) {
    return std::string("邻家小铺 热卖单品 P") + std::to_string(page) + "-" + std::to_string(slice) + "-" +
           std::to_string(n);
}

unsigned Mix(const std::string& book, int page, int sliceKey) {
    unsigned h = 2166136261u;
    for (unsigned char c : book + "#" + std::to_string(page) + "#" + std::to_string(sliceKey))
        h = (h ^ c) * 16777619u;
    return h % 1000000u;
}

bool ToInt(const std::string& s, int& out) {
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
    return ec == std::errc() && end == s.data() + s.size();
}

std::string ErrorBody(const std::string& message, std::string* error) {
    if (error)
        *error = message;
    return "{\"status\":0,\"msg\":\"" + JsonEscape(message) + "\"}";
}

// A title as the shop host writes it into the feed's JSON string: quotes, backslashes, slashes and control
// characters escaped, everything outside ASCII left as UTF-8 (unlike the listing, which escapes it too).
std::string FeedTitle(const std::string& utf8) {
    std::string out;
    for (const char c : utf8) {
        if (c == '"' || c == '\\' || c == '/') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            AppendUnit(out, static_cast<unsigned char>(c));
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace

std::string JsonEscape(const std::string& utf8) {
    std::string out;
    for (std::size_t i = 0; i < utf8.size();) {
        const char c = utf8[i];
        if (c == '"' || c == '\\' || c == '/') {
            out += '\\';
            out += c;
            ++i;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            AppendUnit(out, static_cast<unsigned char>(c));
            ++i;
        } else if (static_cast<unsigned char>(c) < 0x80) {
            out += c;
            ++i;
        } else {
            const char32_t cp = NextCodePoint(utf8, i);
            if (cp >= 0x10000) {
                AppendUnit(out, 0xD800 + ((cp - 0x10000) >> 10));
                AppendUnit(out, 0xDC00 + ((cp - 0x10000) & 0x3FF));
            } else {
                AppendUnit(out, static_cast<unsigned>(cp));
            }
        }
    }
    return out;
}

std::string FeedPack(const CatalogueShop& shop, int pack, const std::string& shopBase) {
    const std::size_t size = static_cast<std::size_t>(shop.packSize);
    const std::size_t first = static_cast<std::size_t>(pack - 1) * size;
    const bool last = first + size >= shop.items.size();
    // The titles go as UTF-8 text inside the JSON string, the markup with escaped quotes and slashes, as
    // the shop host writes it; the page must hold no bare line feed.
    std::string html;
    for (std::size_t k = first; k < first + size && k < shop.items.size(); ++k) {
        const CatalogueItem& item = shop.items[k];
        html += "<li class=\\\"item\\\"><a class=\\\"creply\\\" href=\\\"" + JsonEscape(shopBase) + "detail\\/" +
                item.id + "\\\" target=\\\"_blank\\\"><div class=\\\"title\\\">" + FeedTitle(item.title) +
                "<\\/div><\\/a><\\/li>";
    }
    std::string body = "{\"status\":1,\"html\":\"<ul class=\\\"feeds\\\">" + html + "<\\/ul>\",";
    body += last ? "\"data\":{\"isEnd\":true}}" : std::string("\"data\":{\"next\":") + std::to_string(pack + 1) + "}}";
    return body;
}

std::string BookOf(const std::string& category, const std::string& sort) {
    return category + ":" + sort;
}

bool SplitBook(const std::string& book, std::string& category, std::string& sort) {
    const auto colon = book.find(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 == book.size())
        return false;
    category = book.substr(0, colon);
    sort = book.substr(colon + 1);
    return true;
}

int ListingTotal(int pages) {
    return pages * 40;
}

std::string TokenFor(const std::string& book, int page, int sliceKey) {
    return std::to_string(page) + "x" + std::to_string(sliceKey) + "x" + std::to_string(Mix(book, page, sliceKey));
}

std::optional<TokenPosition> ReadToken(const std::string& book, const std::string& token) {
    const auto a = token.find('x');
    const auto b = a == std::string::npos ? a : token.find('x', a + 1);
    if (b == std::string::npos)
        return std::nullopt;
    int page = 0, key = 0;
    if (!ToInt(token.substr(0, a), page) || !ToInt(token.substr(a + 1, b - a - 1), key) || key < 0 || key > 9)
        return std::nullopt;
    if (token != TokenFor(book, page, key))
        return std::nullopt;
    return TokenPosition{page, key};
}

std::string ListingPage(const Catalogue& catalogue, const std::string& category, const std::string& sort, int page) {
    const int pages = catalogue.PagesOf(category, sort);
    const std::string book = BookOf(category, sort);
    std::string html = "<html><head><meta charset=\"gbk\"><title>" + category + " - " + sort + " - 第" +
                       std::to_string(page) + "页</title></head>\n<body>\n<div id=\"waterfall\"></div>\n";
    html += "<script>var listConf = {book:\"" + book + "\",lastTweetId:\"" + TokenFor(book, page, 0) +
            "\",totalCnt:\"" + std::to_string(ListingTotal(pages)) + "\",action:\"" + sort + "\"};</script>\n";
    if (page >= pages)
        html += "<script>var listState = {\"lastTweetId\":null};</script>\n";
    html += "</body></html>\n";
    return html;
}

std::string SliceAnswer(const Catalogue& catalogue, const SliceRequest& request, std::string* error) {
    std::string category, sort;
    if (!SplitBook(request.book, category, sort))
        return ErrorBody("unknown book", error);
    const auto position = ReadToken(request.book, request.token);
    if (!position)
        return ErrorBody("lastTweetId does not continue this listing", error);
    if (request.pageKey != std::to_string(position->sliceKey))
        return ErrorBody("page " + request.pageKey + " does not follow lastTweetId", error);
    const int pages = catalogue.PagesOf(category, sort);
    if (request.total != std::to_string(ListingTotal(pages)))
        return ErrorBody("total does not match the listing", error);
    if (position->page > pages)
        return ErrorBody("no such page", error);

    const int slice = position->sliceKey + 1;
    std::vector<std::string> titles;
    const auto listing = catalogue.listings.find(category + "/" + sort);
    if (listing != catalogue.listings.end()) {
        const auto placed = listing->second.placed.find({position->page, slice});
        if (placed != listing->second.placed.end())
            titles = placed->second;
    }
    // Other shops' items around the placed ones, so that a slice looks like a slice.
    titles.insert(titles.begin(), FillerTitle(position->page, slice, 1));
    titles.push_back(FillerTitle(position->page, slice, 2));
    titles.push_back(FillerTitle(position->page, slice, 3));

    std::string html;
    for (const std::string& title : titles)
        html += "<div class=\"goods\"><p class=\"title\">" + title + "</p></div>";
    const std::string next = TokenFor(request.book, position->page, (position->sliceKey + 1) % 10);
    return "{\"status\":1,\"data\":{\"lastTweetId\":\"" + next + "\"},\"html\":\"" + JsonEscape(html) + "\"}";
}

} // namespace rankmoth::sim
