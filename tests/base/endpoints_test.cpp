#include "base/endpoints.h"
#include "base/settings.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>

namespace rankmoth::base {
namespace {

namespace fs = std::filesystem;

struct ConfigFile {
    explicit ConfigFile(const std::string& content) {
        std::string pattern = (fs::temp_directory_path() / "rankmoth-hosts-XXXXXX").string();
        dir = ::mkdtemp(pattern.data()) ? pattern : std::string();
        path = dir + "/config.ini";
        std::ofstream(path, std::ios::binary) << content;
    }
    ~ConfigFile() {
        std::error_code error;
        fs::remove_all(dir, error);
    }
    std::string dir, path;
};

EnvLookup Env(std::map<std::string, std::string> values) {
    return [values = std::move(values)](const char* name) -> std::optional<std::string> {
        const auto it = values.find(name);
        return it == values.end() ? std::nullopt : std::optional<std::string>(it->second);
    };
}

TEST(EndpointsTest, EnvironmentOverFileOverDefault) {
    const Endpoints d = Endpoints::Defaults();
    const ConfigFile config("[Hosts]\r\nmarket = 127.0.0.1:8080\r\nshop_base=http://127.0.0.1:8080\r\n"
                            "version_notice=\r\n");
    std::vector<std::string> warnings;

    const Endpoints fromFile = Endpoints::Resolve(config.path, Env({}), warnings);
    EXPECT_EQ(fromFile.marketHost, "127.0.0.1:8080");
    EXPECT_EQ(fromFile.shopBase, "http://127.0.0.1:8080/"); // the closing "/" the feed paths are joined to
    EXPECT_EQ(fromFile.versionNoticeUrl, "");               // empty: the check is off
    EXPECT_EQ(fromFile.startTabNoticeUrl, d.startTabNoticeUrl);

    const Endpoints fromEnv = Endpoints::Resolve(config.path,
                                                 Env({{"RANKMOTH_MARKET_HOST", "[::1]:9"},
                                                      {"RANKMOTH_SHOP_BASE", ""},
                                                      {"RANKMOTH_START_TAB_NOTICE_URL", ""},
                                                      {"RANKMOTH_VERSION_NOTICE_URL", "https://n.test/v?id=1"}}),
                                                 warnings);
    EXPECT_EQ(fromEnv.marketHost, "[::1]:9");
    EXPECT_EQ(fromEnv.shopBase, "http://127.0.0.1:8080/"); // an empty host variable is an unset one
    EXPECT_EQ(fromEnv.versionNoticeUrl, "https://n.test/v?id=1");
    EXPECT_EQ(fromEnv.startTabNoticeUrl, ""); // an empty notice variable turns the check off
    EXPECT_TRUE(warnings.empty()) << warnings.front();

    // No settings file at all.
    EXPECT_TRUE(Endpoints::Resolve(config.dir + "/missing.ini", Env({}), warnings) == d);
    EXPECT_TRUE(warnings.empty());
}

TEST(EndpointsTest, BadValueNamesFileAndKeyAndFallsBackOneLayer) {
    const struct {
        const char* line;
        const char* problem;
    } cases[] = {
        {"market=www.shop example", "space"},
        {"market=http://127.0.0.1:1", "scheme"},
        {"market=127.0.0.1:65536", "65535"},
        {"market=127.0.0.1:99999999999999999999", "65535"},
        {"market=127.0.0.1:", "port"},
        {"market=:80", "host"},
        {"market=h/path", "path"},
        {"shop_base=127.0.0.1:1/", "http://"},
        {"shop_base=http://h:70000/", "65535"},
        {"version_notice=ftp://h/", "http://"},
        {"start_tab_notice=http:// h/", "space"},
    };
    for (const auto& c : cases) {
        const ConfigFile config(std::string("[hosts]\n") + c.line + "\n");
        std::vector<std::string> warnings;
        const Endpoints got = Endpoints::Resolve(config.path, Env({}), warnings);
        EXPECT_TRUE(got == Endpoints::Defaults()) << c.line;
        ASSERT_EQ(warnings.size(), 1u) << c.line;
        const std::string key = std::string(c.line).substr(0, std::string(c.line).find('='));
        EXPECT_NE(warnings[0].find(config.path + ": [hosts] " + key), std::string::npos) << warnings[0];
        EXPECT_NE(warnings[0].find(c.problem), std::string::npos) << warnings[0];
        // The value as written and its line, so the user can find it; nothing on what happens next, which is
        // the front end's to say (the command line refuses to run, the window carries on).
        const std::string value = std::string(c.line).substr(key.size() + 1);
        EXPECT_NE(warnings[0].find(key + " = \"" + value + "\" on line 2: "), std::string::npos) << warnings[0];
        EXPECT_EQ(warnings[0].find("using"), std::string::npos) << warnings[0];
    }

    // A bad variable falls back to the file's value, not past it.
    const ConfigFile config("[hosts]\nmarket=127.0.0.1:5\n");
    std::vector<std::string> warnings;
    const Endpoints got = Endpoints::Resolve(config.path, Env({{"RANKMOTH_MARKET_HOST", "x:0"}}), warnings);
    EXPECT_EQ(got.marketHost, "127.0.0.1:5");
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("RANKMOTH_MARKET_HOST = \"x:0\": port 0"), std::string::npos) << warnings[0];
}

TEST(EndpointsTest, EachValueSaysWhereItCameFrom) {
    const ConfigFile config("\xEF\xBB\xBF[hosts]\r\nmarket = 127.0.0.1:8080\r\nshop_base=http://127.0.0.1:8080/\r\n"
                            "version_notice=\r\n");
    std::vector<std::string> problems;
    std::vector<Endpoints::Origin> origins;
    const Endpoints got =
        Endpoints::Resolve(config.path, Env({{"RANKMOTH_SHOP_BASE", "http://127.0.0.1:9/"}}), problems, &origins);
    EXPECT_TRUE(problems.empty());
    EXPECT_EQ(got.marketHost, "127.0.0.1:8080"); // the byte-order mark hides no section
    const struct {
        const char* key;
        std::string value;
        std::string from;
    } want[] = {
        {"market", "127.0.0.1:8080", config.path + " line 2"},
        {"shop_base", "http://127.0.0.1:9/", "environment RANKMOTH_SHOP_BASE"},
        {"version_notice", "", config.path + " line 4"},
        {"start_tab_notice", Endpoints::Defaults().startTabNoticeUrl, "built-in"},
    };
    ASSERT_EQ(origins.size(), std::size(want));
    for (std::size_t i = 0; i < origins.size(); ++i) {
        EXPECT_STREQ(origins[i].key, want[i].key);
        EXPECT_EQ(origins[i].value, want[i].value) << want[i].key;
        EXPECT_EQ(origins[i].from, want[i].from) << want[i].key;
    }
}

TEST(EndpointsTest, WritingTheProgramsKeysKeepsTheHostsSection) {
    const ConfigFile config("; mine\n[hosts]\nmarket=127.0.0.1:5 ; sim\nversion_notice=\n\n[canshu]\nyoudianid=1\n");
    ASSERT_TRUE(WriteSetting(config.path, Text("canshu"), Text("youdianid"), Text("42")));
    ASSERT_TRUE(WriteSetting(config.path, Text("peizhi"), Text("caishu"), Text("110|1")));
    std::ifstream in(config.path, std::ios::binary);
    const std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(content, "; mine\n[hosts]\nmarket=127.0.0.1:5 ; sim\nversion_notice=\n\n[canshu]\nyoudianid=42\n"
                       "[peizhi]\ncaishu=110|1\n");
}

} // namespace
} // namespace rankmoth::base
