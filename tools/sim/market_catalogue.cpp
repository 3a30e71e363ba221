#include "tools/sim/market_catalogue.h"

#include <charconv>
#include <cstdio>
#include <sstream>

namespace rankmoth::sim {

namespace {

bool ToInt(const std::string& s, int& out) {
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
    return ec == std::errc() && end == s.data() + s.size();
}

} // namespace

int Catalogue::PagesOf(const std::string& category, const std::string& sort) const {
    const auto it = listings.find(category + "/" + sort);
    return it != listings.end() && it->second.pages > 0 ? it->second.pages : defaultPages;
}

std::string Catalogue::Parse(const std::string& text) {
    struct PendingPlace {
        int line;
        std::string key;
        int page, slice;
        std::string itemId;
    };
    std::vector<PendingPlace> places;
    std::istringstream in(text);
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        std::istringstream words(line);
        std::string kind;
        if (!(words >> kind) || kind[0] == '#')
            continue;
        const std::string where = std::string("line ") + std::to_string(number) + ": ";
        if (kind == "pages") {
            std::string n;
            if (!(words >> n) || !ToInt(n, defaultPages) || defaultPages < 1)
                return where + "pages wants a count of at least 1";
        } else if (kind == "shop") {
            std::string id, size;
            int packSize = 0;
            if (!(words >> id >> size) || !ToInt(size, packSize) || packSize < 1)
                return where + "shop wants an ID and a pack size of at least 1";
            shops[id].packSize = packSize;
        } else if (kind == "item") {
            std::string shop, id, title;
            if (!(words >> shop >> id))
                return where + "item wants a shop ID, an item ID and a title";
            std::getline(words >> std::ws, title);
            if (title.empty())
                return where + "item " + id + " has no title";
            shops[shop].items.push_back({id, title});
        } else if (kind == "listing") {
            std::string category, sort, n;
            int pages = 0;
            if (!(words >> category >> sort >> n) || !ToInt(n, pages) || pages < 1)
                return where + "listing wants a category, a sort and a page count of at least 1";
            listings[category + "/" + sort].pages = pages;
        } else if (kind == "place") {
            std::string category, sort, p, s, id;
            int page = 0, slice = 0;
            if (!(words >> category >> sort >> p >> s >> id) || !ToInt(p, page) || !ToInt(s, slice) || page < 1 ||
                slice < 1 || slice > 10)
                return where + "place wants a category, a sort, a page, a slice 1..10 and an item ID";
            places.push_back({number, category + "/" + sort, page, slice, id});
        } else {
            return where + "unknown entry \"" + kind + "\"";
        }
    }
    for (const PendingPlace& p : places) {
        const CatalogueItem* found = nullptr;
        for (const auto& [shopId, shop] : shops) {
            for (const CatalogueItem& item : shop.items) {
                if (item.id == p.itemId)
                    found = &item;
            }
        }
        if (!found)
            return std::string("line ") + std::to_string(p.line) + ": no item " + p.itemId;
        listings[p.key].placed[{p.page, p.slice}].push_back(found->title);
    }
    return {};
}

std::string DemoCatalogueText(int day) {
    static const char* const kStyles[] = {"碎花", "复古", "简约", "宽松", "修身", "法式", "森系", "韩版", "学院风"};
    static const char* const kKinds[] = {"连衣裙", "衬衫", "针织开衫", "半身裙", "卫衣", "牛仔裤", "风衣", "毛衣"};
    std::ostringstream out;
    out << "# The demo marketplace: shop \"demo\", 45 items in three packs of 15, and its rival \"rival\", 12 in\n"
           "# two packs of 6.\n"
           "pages 20\n"
           "shop demo 15\n";
    for (int k = 1; k <= 45; ++k) {
        char number[8];
        std::snprintf(number, sizeof number, "%02d", k);
        out << "item demo " << 52000100 + k << " " << kStyles[k % 9] << kKinds[k % 8] << " 款号" << number << "\n";
    }
    // The sort selected at start-up is trend ("pop"); the others have a few placements too. The next day some
    // items have moved, one has come in and one has dropped out, and the rival has gained.
    if (day >= 2) {
        out << "place clothing pop 1 1 52000121\n"
               "place clothing pop 1 4 52000103\n"
               "place clothing pop 1 5 52000112\n"
               "place clothing pop 1 9 52000130\n"
               "place clothing pop 3 2 52000107\n"
               "place clothing hot30day 1 4 52000105\n"
               "place clothing hot30day 2 10 52000133\n"
               "place clothing new 1 2 52000102\n"
               "place clothing new 1 3 52000144\n"
               "place shoes pop 1 7 52000118\n";
    } else {
        out << "place clothing pop 1 1 52000103\n"
           "place clothing pop 1 2 52000107\n"
           "place clothing pop 1 5 52000112\n"
           "place clothing pop 1 8 52000107\n"
           "place clothing pop 2 3 52000121\n"
           "place clothing pop 2 9 52000140\n"
           "place clothing hot30day 1 4 52000105\n"
           "place clothing hot30day 2 10 52000133\n"
           "place clothing new 1 1 52000144\n"
           "place clothing new 1 6 52000102\n"
           "place shoes pop 1 7 52000118\n";
    }
    // A competitor for a watch to follow: its items stand beside the demo shop's in the same listings.
    static const char* const kRivalKinds[] = {"连衣裙", "衬衫", "半身裙", "风衣"};
    out << "shop rival 6\n";
    for (int k = 1; k <= 12; ++k)
        out << "item rival " << 53000100 + k << " 邻家 " << kRivalKinds[k % 4] << " 第" << k << "款\n";
    if (day >= 2)
        out << "place clothing pop 1 2 53000101\n"
               "place clothing pop 1 9 53000104\n"
               "place clothing pop 1 7 53000107\n"
               "place clothing new 1 1 53000110\n";
    else
        out << "place clothing pop 1 3 53000101\n"
               "place clothing pop 1 9 53000104\n"
               "place clothing pop 2 2 53000107\n"
               "place clothing new 1 2 53000110\n";
    return out.str();
}

} // namespace rankmoth::sim
