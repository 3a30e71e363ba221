#pragma once
// A history of one shop ("8001") for the benchmarks: `passes` passes, the three sorts in turn an hour apart,
// each looking for all `items` items; every 50th pass had failed requests and left its misses incomplete. Items
// jump between places at random from pass to pass, the worst case for anything that draws their history.
//
// Generated once into the build folder (history-bench-<items>x<passes>.sqlite) and reused; delete it to generate
// it again.
#include "history/history_store.h"

#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <utility>

namespace rankmoth::bench {

inline std::filesystem::path BuildFolder() {
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::current_path() : exe.parent_path();
}

inline constexpr const char* kGenerateTemplate = R"sql(
PRAGMA journal_mode = OFF;
PRAGMA synchronous = OFF;
PRAGMA cache_size = -1000000;
DROP INDEX results_by_item;
BEGIN;
WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < {last_pass})
INSERT INTO passes(id, shop, category, sub_category, sort, page_limit, started, finished, pages_walked, requests,
                   failed_requests, stopped, items, found)
SELECT i + 1, '8001', 'clothing', '', CASE i % 3 WHEN 0 THEN 'pop' WHEN 1 THEN 'hot30day' ELSE 'new' END, 10,
       strftime('%Y-%m-%dT%H:%M:%SZ', 1700000000 + i * 3600, 'unixepoch'),
       strftime('%Y-%m-%dT%H:%M:%SZ', 1700000000 + i * 3600 + 600, 'unixepoch'),
       10, 40, CASE WHEN i % 50 = 7 THEN 2 ELSE 0 END, 0, {items}, 0 FROM n;
WITH RECURSIVE it(k) AS (SELECT 0 UNION ALL SELECT k + 1 FROM it WHERE k < {last_item}),
cells AS (SELECT p.id AS pass_id, p.failed_requests AS failed, p.finished AS finished, k,
                 (k * 7919 + p.id * 104729) % 137 AS h
          FROM passes p CROSS JOIN it)
INSERT INTO results(pass_id, item_id, state, page, slice, hits, checked_at)
SELECT pass_id, CAST(600000000000 + k AS TEXT),
       CASE WHEN h < 100 THEN 'found' WHEN failed > 0 THEN 'incomplete' ELSE 'not_found' END,
       CASE WHEN h < 100 THEN h / 10 + 1 ELSE 0 END, CASE WHEN h < 100 THEN h % 10 + 1 ELSE 0 END,
       CASE WHEN h < 100 THEN 1 ELSE 0 END,
       finished
FROM cells;
UPDATE passes SET found = (SELECT count(*) FROM results WHERE pass_id = passes.id AND state = 'found');
WITH RECURSIVE it(k) AS (SELECT 0 UNION ALL SELECT k + 1 FROM it WHERE k < {last_item})
INSERT INTO items(shop, item_id, title, first_seen, last_seen) SELECT '8001', CAST(600000000000 + k AS TEXT), '碎花连衣裙 2026新款 法式复古 款号' || k,
       '2023-11-14T22:13:20Z', '2024-02-06T05:13:20Z' FROM it;
CREATE INDEX results_by_item ON results(item_id, pass_id);
COMMIT;
)sql";

inline std::string GeneratedHistory(int items, int passes) {
    const std::string path =
        (BuildFolder() / ("history-bench-" + std::to_string(items) + "x" + std::to_string(passes) + ".sqlite")).string();
    if (std::filesystem::exists(path))
        return path;
    const std::string partial = path + ".partial";
    std::filesystem::remove(partial);
    const auto start = std::chrono::steady_clock::now();
    if (!history::OpenStore(partial, history::Access::ReadWrite))
        return {};
    sqlite3* db = nullptr;
    sqlite3_open(partial.c_str(), &db);
    sqlite3_exec(db, "PRAGMA journal_mode = DELETE", nullptr, nullptr, nullptr);
    char* message = nullptr;
    std::string sql = kGenerateTemplate;
    for (const auto& [field, value] : {std::pair<std::string, int>{"{last_pass}", passes - 1},
                                       {"{last_item}", items - 1},
                                       {"{items}", items}})
        for (std::size_t at; (at = sql.find(field)) != std::string::npos;)
            sql.replace(at, field.size(), std::to_string(value));
    const int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message);
    if (rc != SQLITE_OK)
        std::fprintf(stderr, "generating the database failed: %s\n", message ? message : "");
    sqlite3_free(message);
    sqlite3_exec(db, "PRAGMA journal_mode = WAL", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    if (rc != SQLITE_OK)
        return {};
    const auto generated = std::chrono::steady_clock::now();
    {
        auto store = history::OpenStore(partial, history::Access::ReadWrite);
        if (!store || !store.value()->RebuildStandings())
            return {};
    }
    std::filesystem::rename(partial, path);
    const auto seconds = [](auto d) { return std::chrono::duration<double>(d).count(); };
    std::fprintf(stderr, "generated %s: rows %.1f s, standings %.1f s\n", path.c_str(), seconds(generated - start),
                 seconds(std::chrono::steady_clock::now() - generated));
    return path;
}


} // namespace rankmoth::bench
