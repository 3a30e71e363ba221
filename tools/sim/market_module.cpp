// The marketplace of rankmoth-sim: the shop feeds of the shop host and the category listing of the main web
// host, served by one server (so RANKMOTH_MARKET_HOST and RANKMOTH_SHOP_BASE both name it).
#include "tools/sim/market_catalogue.h"
#include "tools/sim/market_pages.h"
#include "tools/sim/sim_module.h"
#include "web/codecs.h"

#include <chrono>
#include <fstream>
#include <iostream>
#include <mutex>
#include <set>
#include <sstream>
#include <thread>

namespace rankmoth::sim {

namespace {

// The server answers on several threads at once, and each << to the unbuffered std::cerr is a write of its
// own: an entry goes out whole in one write, or two clients' requests would run together into one line.
void Log(const std::string& entry) {
    static std::mutex writing;
    const std::lock_guard<std::mutex> hold(writing);
    std::cerr << entry << std::flush;
}

class MarketModule final : public SimModule {
public:
    bool TakeOption(std::string_view name, std::string_view value, std::string& error) override {
        if (name == "catalogue") {
            cataloguePath_ = value;
            return true;
        }
        if (name == "demo-day") {
            demoDay_ = std::atoi(std::string(value).c_str());
            if (demoDay_ < 1 || demoDay_ > 2)
                error = "wants 1 or 2";
            return true;
        }
        if (name == "latency-ms") {
            latencyMs_ = std::atoi(std::string(value).c_str());
            if (latencyMs_ < 0 || latencyMs_ > 600000)
                error = "wants milliseconds, 0..600000";
            return true;
        }
        if (name == "broken-slice") {
            // "PAGE:SLICE", slice 1..10: that slice answers with a body that is not JSON, every time.
            const std::string v(value);
            const auto colon = v.find(':');
            const int page = colon == std::string::npos ? 0 : std::atoi(v.substr(0, colon).c_str());
            const int slice = colon == std::string::npos ? 0 : std::atoi(v.substr(colon + 1).c_str());
            if (page < 1 || slice < 1 || slice > 10)
                error = "wants PAGE:SLICE, slice 1..10";
            brokenSlices_.insert({page, slice});
            return true;
        }
        if (name == "log-requests") {
            logHeaders_ = value == "headers";
            logRequests_ = logHeaders_ || value == "1" || value == "yes" || value == "true";
            return true;
        }
        return false;
    }

    bool Prepare(std::string& error) override {
        std::string text = DemoCatalogueText(demoDay_);
        if (!cataloguePath_.empty()) {
            std::ifstream file(cataloguePath_, std::ios::binary);
            if (!file) {
                error = "cannot read the catalogue " + cataloguePath_;
                return false;
            }
            std::ostringstream content;
            content << file.rdbuf();
            text = content.str();
        }
        const std::string problem = catalogue_.Parse(text);
        if (!problem.empty()) {
            error = (cataloguePath_.empty() ? std::string("demo catalogue") : cataloguePath_) + ": " + problem;
            return false;
        }
        return true;
    }

    void Register(httplib::Server& server) override {
        server.Post(R"(/([^/]+)/index/feeds)", [this](const httplib::Request& req, httplib::Response& res) {
            Pause(req);
            Feed(req, res);
        });
        server.Get(R"(/book/([^/]+)//(\d+)/([^/]+)/all/)", [this](const httplib::Request& req, httplib::Response& res) {
            Pause(req);
            Listing(req, res);
        });
        server.Post("/book/ajax", [this](const httplib::Request& req, httplib::Response& res) {
            Pause(req);
            Slice(req, res);
        });
    }

    std::string Usage() const override {
        return "  marketplace (shop feeds POST /<shop>/index/feeds, listing GET /book/<category>//<page>/<sort>/all/,\n"
               "  slices POST /book/ajax):\n"
               "  --catalogue=PATH  shops, items and their listing places (default: the demo, shop \"demo\")\n"
               "  --demo-day=2      the demo a day later: some items have moved, the rival has gained\n"
               "  --latency-ms=N    answer every marketplace request N ms late\n"
               "  --log-requests=1  print every marketplace request to stderr (=headers: with its header lines)\n"
               "  --broken-slice=PAGE:SLICE  that slice of every listing answers with a body that is not JSON\n";
    }

private:
    void Pause(const httplib::Request& req) const {
        if (logRequests_) {
            std::string entry =
                "market: " + req.method + " " + req.target + (req.body.empty() ? "" : " ") + req.body + "\n";
            if (logHeaders_) {
                // The server keeps headers sorted by name, so two clients that send the same set log the same;
                // newer cpp-httplib versions add the peer addresses as headers, which differ from one connection
                // to the next.
                for (const auto& [name, value] : req.headers)
                    if (name != "REMOTE_ADDR" && name != "REMOTE_PORT" && name != "LOCAL_ADDR" && name != "LOCAL_PORT")
                        entry += "  " + name + ": " + value + "\n";
            }
            Log(entry);
        }
        if (latencyMs_ > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(latencyMs_));
    }

    void Feed(const httplib::Request& req, httplib::Response& res) const {
        const std::string shopId = req.matches[1];
        const auto shop = catalogue_.shops.find(shopId);
        if (shop == catalogue_.shops.end()) {
            res.status = 404;
            res.set_content("<html><body>shop not found</body></html>", "text/html; charset=utf-8");
            return;
        }
        int pack = std::atoi(req.get_param_value("pack").c_str());
        if (pack < 1)
            pack = 1;
        const std::string shopBase = "http://" + req.get_header_value("Host") + "/";
        res.set_content(FeedPack(shop->second, pack, shopBase), "application/json; charset=utf-8");
    }

    void Listing(const httplib::Request& req, httplib::Response& res) const {
        const std::string category = req.matches[1];
        const int page = std::atoi(std::string(req.matches[2]).c_str());
        const std::string sort = req.matches[3];
        if (page < 1 || page > catalogue_.PagesOf(category, sort)) {
            res.status = 404;
            res.set_content("<html><body>no such page</body></html>", "text/html; charset=gbk");
            return;
        }
        res.set_content(web::Utf8ToGbk(ListingPage(catalogue_, category, sort, page)).bytes(),
                        "text/html; charset=gbk");
    }

    void Slice(const httplib::Request& req, httplib::Response& res) const {
        SliceRequest slice{req.get_param_value("lastTweetId"), req.get_param_value("book"), req.get_param_value("page"),
                           req.get_param_value("total")};
        if (!brokenSlices_.empty()) {
            const auto position = ReadToken(slice.book, slice.token);
            if (position && brokenSlices_.count({position->page, position->sliceKey + 1})) {
                res.set_content("<html><body>busy, try again</body></html>", "text/html; charset=gbk");
                return;
            }
        }
        std::string error;
        res.set_content(SliceAnswer(catalogue_, slice, &error), "application/json; charset=gbk");
        if (!error.empty())
            Log("market: refused slice \"" + req.body + "\": " + error + "\n");
    }

    std::string cataloguePath_;
    int demoDay_ = 1;
    int latencyMs_ = 0;
    bool logRequests_ = false;
    bool logHeaders_ = false;
    std::set<std::pair<int, int>> brokenSlices_; // (page, slice 1..10)
    Catalogue catalogue_;
};

} // namespace

std::unique_ptr<SimModule> MakeMarketModule() {
    return std::make_unique<MarketModule>();
}

} // namespace rankmoth::sim
