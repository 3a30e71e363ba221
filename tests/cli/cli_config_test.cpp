// rankmoth-cli config and the host settings, for a portable and an installed copy of the program.
#include "tests/cli/child_process.h"

#include <gtest/gtest.h>

namespace rankmoth::testing {
namespace {

// A copy of rankmoth-cli in a folder of its own, portable (config.ini beside it) or installed (a share folder
// beside its bin folder, settings under XDG_CONFIG_HOME).
class CopiedCli {
public:
    explicit CopiedCli(bool installed) {
        std::string pattern = (std::filesystem::temp_directory_path() / "rankmoth-cli-copy-XXXXXX").string();
        root_ = ::mkdtemp(pattern.data());
        bin_ = installed ? root_ / "usr/bin" : root_ / "portable";
        std::filesystem::create_directories(bin_);
        if (installed)
            std::filesystem::create_directories(root_ / "usr/share/rankmoth");
        std::error_code error;
        std::filesystem::create_hard_link(ChildProcess::Built("cli/rankmoth-cli"), program(), error);
        if (error)
            std::filesystem::copy_file(ChildProcess::Built("cli/rankmoth-cli"), program());
    }
    ~CopiedCli() { std::filesystem::remove_all(root_); }
    std::string program() const { return (bin_ / "rankmoth-cli").string(); }
    std::string root() const { return root_.string(); }
    std::string beside() const { return bin_.string(); }

    // Runs it with these variables set ("" unsets) and no others of ours.
    CliRun Run(const std::vector<std::string>& args, const std::vector<std::pair<std::string, std::string>>& env) {
        ChildProcess cli(program(), args, [&env] {
            for (const char* name : {"RANKMOTH_MARKET_HOST", "RANKMOTH_SHOP_BASE", "RANKMOTH_VERSION_NOTICE_URL",
                                     "RANKMOTH_START_TAB_NOTICE_URL", "XDG_CONFIG_HOME"})
                ::unsetenv(name);
            for (const auto& [name, value] : env)
                value.empty() ? ::unsetenv(name.c_str()) : ::setenv(name.c_str(), value.c_str(), 1);
        });
        return {cli.Wait(), cli.Out(), cli.Err()};
    }

private:
    std::filesystem::path root_, bin_;
};

// The row of `config` for one setting, with its columns' padding squeezed to one space.
std::string ConfigRow(const std::string& out, const std::string& setting) {
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind(setting + " ", 0) != 0)
            continue;
        std::string squeezed;
        for (const char c : line) {
            if (!(c == ' ' && !squeezed.empty() && squeezed.back() == ' '))
                squeezed += c;
        }
        return squeezed;
    }
    return "(no row " + setting + ")";
}

TEST(CliRunTest, ConfigSaysWhereEachSettingCameFromForAPortableAndAnInstalledCopy) {
    CopiedCli portable(false);
    std::ofstream(portable.beside() + "/config.ini", std::ios::binary)
        << "\xEF\xBB\xBF[hosts]\r\nmarket = 127.0.0.1:5\r\n";
    const CliRun shown = portable.Run({"--shop-base", "http://127.0.0.1:7/", "config"},
                                      {{"RANKMOTH_VERSION_NOTICE_URL", "http://127.0.0.1:6/v"}});
    ASSERT_EQ(shown.exit, 0) << shown.err;
    const std::string file = portable.beside() + "/config.ini";
    EXPECT_EQ(ConfigRow(shown.out, "copy").substr(0, 14), "copy portable ");
    EXPECT_EQ(ConfigRow(shown.out, "config_file"), "config_file " + file + " beside the executable (a portable copy)");
    EXPECT_EQ(ConfigRow(shown.out, "market"), "market 127.0.0.1:5 " + file + " line 2");
    EXPECT_EQ(ConfigRow(shown.out, "shop_base"), "shop_base http://127.0.0.1:7/ flag --shop-base");
    EXPECT_EQ(ConfigRow(shown.out, "version_notice"),
              "version_notice http://127.0.0.1:6/v environment RANKMOTH_VERSION_NOTICE_URL");
    EXPECT_NE(ConfigRow(shown.out, "start_tab_notice").find(" built-in"), std::string::npos);

    CopiedCli installed(true);
    const std::string xdg = installed.root() + "/xdg", home = installed.root() + "/home";
    std::filesystem::create_directories(xdg + "/rankmoth");
    std::filesystem::create_directories(home + "/.config/rankmoth");
    std::ofstream(xdg + "/rankmoth/config.ini") << "[hosts]\nshop_base=http://127.0.0.1:8/\n";
    std::ofstream(home + "/.config/rankmoth/config.ini") << "[hosts]\n\nshop_base=http://127.0.0.1:9/\n";
    // An absolute XDG_CONFIG_HOME is used; a relative one is not one, and the folder under HOME is.
    for (const auto& [variable, row] :
         {std::pair{xdg, "shop_base http://127.0.0.1:8/ " + xdg + "/rankmoth/config.ini line 2"},
          std::pair{std::string("relative"),
                    "shop_base http://127.0.0.1:9/ " + home + "/.config/rankmoth/config.ini line 3"}}) {
        const CliRun run = installed.Run({"config"}, {{"XDG_CONFIG_HOME", variable}, {"HOME", home}});
        ASSERT_EQ(run.exit, 0) << run.err;
        EXPECT_EQ(ConfigRow(run.out, "copy").substr(0, 15), "copy installed ");
        EXPECT_EQ(ConfigRow(run.out, "shop_base"), row) << variable;
    }
}

TEST(CliRunTest, ABadHostSettingIsAnErrorNotAFallBackToTheMarketplace) {
    CopiedCli portable(false);
    const std::string file = portable.beside() + "/config.ini";
    std::ofstream(file) << "[hosts]\nmarket=127.0.0.1:99999\n";
    // Were the built-in market host used, the closed shop port would end the run before it was asked.
    const std::vector<std::pair<std::string, std::string>> env = {{"RANKMOTH_SHOP_BASE", "http://127.0.0.1:1/"}};
    const std::string line =
        "rankmoth-cli: " + file + ": [hosts] market = \"127.0.0.1:99999\" on line 2: port above 65535\n";
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"query", "--shop", "demo", "--no-history", "--retries", "0"},
          std::vector<std::string>{"items", "--shop", "demo", "--retries", "0"}}) {
        const CliRun run = portable.Run(args, env);
        EXPECT_EQ(run.exit, 2) << args[0] << "\n" << run.err;
        EXPECT_EQ(run.err, line) << args[0];
        EXPECT_EQ(run.out, "") << args[0];
    }
    const CliRun shown = portable.Run({"config"}, env);
    EXPECT_EQ(shown.exit, 2);
    EXPECT_EQ(shown.err, line);
    EXPECT_EQ(ConfigRow(shown.out, "market"), "market www.fashionmarket.example built-in");
}

} // namespace
} // namespace rankmoth::testing
