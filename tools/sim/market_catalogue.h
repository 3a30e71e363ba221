#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace rankmoth::sim {

// What the simulated marketplace holds: shops with their items (titles in UTF-8), and for every category
// listing and sort the items that stand on which page and slice.
struct CatalogueItem {
    std::string id;
    std::string title;
};

struct CatalogueShop {
    int packSize = 15;
    std::vector<CatalogueItem> items;
};

struct CatalogueListing {
    int pages = 0; // 0: the catalogue's default
    // (page, slice 1..10) -> titles standing there
    std::map<std::pair<int, int>, std::vector<std::string>> placed;
};

struct Catalogue {
    int defaultPages = 20;
    std::map<std::string, CatalogueShop> shops;
    std::map<std::string, CatalogueListing> listings; // key "<category>/<sort>"

    int PagesOf(const std::string& category, const std::string& sort) const;

    // Reads the line format below into this catalogue. Returns an error text ("line N: ...") or empty.
    //   # comment
    //   pages <count>                              default length of every listing
    //   shop <shopId> <packSize>
    //   item <shopId> <itemId> <title...>          the title runs to the end of the line
    //   listing <category> <sort> <pages>          length of one listing
    //   place <category> <sort> <page> <slice> <itemId>
    std::string Parse(const std::string& text);
};

// The built-in demo: shop "demo" with 45 items in packs of 15, several of them placed on pages 1 and 2.
std::string DemoCatalogueText(int day = 1);

} // namespace rankmoth::sim
