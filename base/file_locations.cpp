#include "base/file_locations.h"

#include "base/settings.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace rankmoth::base {

namespace {

std::string WithoutTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

// $variable/rankmoth when the variable is absolute, else $HOME/<fallback>/rankmoth, else "".
std::string UserFolder(const char* variable, const char* home, const char* homeFallback) {
    if (variable && variable[0] == '/')
        return WithoutTrailingSlashes(variable) + "/rankmoth";
    if (home && home[0] != '\0')
        return WithoutTrailingSlashes(home) + "/" + homeFallback + "/rankmoth";
    return {};
}

std::string Describe(const std::error_code& error) {
    return error ? error.message() : std::string("not writable");
}

} // namespace

FileLocations LocateFiles(const std::string& exeDir, bool portable, const LocationEnv& env,
                          const std::string& currentDir, const std::string& dataFromBin) {
    FileLocations where;
    if (portable) {
        where.configDir = where.dataDir = exeDir;
        where.cacheDir = currentDir;
        return where;
    }
    where.installed = true;
    where.shareDir = exeDir + "/" + dataFromBin;
    where.configDir = UserFolder(env.xdgConfigHome, env.home, ".config");
    where.dataDir = UserFolder(env.xdgDataHome, env.home, ".local/share");
    where.cacheDir = UserFolder(env.xdgCacheHome, env.home, ".cache");
    for (std::string* dir : {&where.configDir, &where.dataDir, &where.cacheDir})
        if (dir->empty())
            *dir = exeDir;
    return where;
}

bool PortableCopy(const std::string& exeDir, const std::string& dataFromBin) {
    std::error_code error;
    return DirectoryWritable(exeDir.empty() ? std::string("/") : exeDir) &&
           !std::filesystem::is_directory(exeDir + "/" + dataFromBin, error);
}

FileLocations ProcessFileLocations(const std::string& dataFromBin) {
    const std::string exeDir = ExecutableDir();
    std::error_code error;
    const std::string current = std::filesystem::current_path(error).string();
    const LocationEnv env{std::getenv("XDG_CONFIG_HOME"), std::getenv("XDG_DATA_HOME"), std::getenv("XDG_CACHE_HOME"),
                          std::getenv("HOME")};
    return LocateFiles(exeDir, PortableCopy(exeDir, dataFromBin), env, current, dataFromBin);
}

std::vector<std::string> PrepareUserFiles(const FileLocations& locations) {
    namespace fs = std::filesystem;
    std::vector<std::string> problems;
    if (!locations.installed)
        return problems;
    for (const std::string* dir : {&locations.configDir, &locations.dataDir, &locations.cacheDir}) {
        std::error_code error;
        fs::create_directories(*dir, error);
        if (error || !DirectoryWritable(*dir))
            problems.push_back("cannot write to the folder " + *dir + " (" + Describe(error) +
                               "): settings and files kept there are not saved");
    }

    const std::string list = locations.configDir + "/XiaoFenLei.txt";
    const std::string example = locations.shareDir + "/XiaoFenLei.txt";
    std::error_code error;
    if (fs::exists(fs::symlink_status(list, error)))
        return problems;
    if (!fs::is_regular_file(example, error)) {
        problems.push_back("no sub-category list at " + list + ", and no example at " + example +
                           " to start it from: the sub-category box stays empty");
        return problems;
    }
    if (!fs::copy_file(example, list, fs::copy_options::skip_existing, error) || error)
        problems.push_back("cannot copy the example sub-category list " + example + " to " + list + " (" +
                           Describe(error) + "): the sub-category box stays empty");
    return problems;
}

} // namespace rankmoth::base
