#pragma once

#include <string>
#include <vector>

namespace rankmoth::base {

// What the program's folders depend on in the environment; a null pointer is an unset variable.
struct LocationEnv {
    const char* xdgConfigHome = nullptr;
    const char* xdgDataHome = nullptr;
    const char* xdgCacheHome = nullptr;
    const char* home = nullptr;
};

// Where the program keeps its files. A portable copy (its folder writable) keeps everything beside the
// executable and works in the current directory, so that moving the folder moves the settings and the
// history with it; an installed copy must not write under a folder the package manager owns, so it uses
// the per-user folders.
struct FileLocations {
    bool installed = false;
    std::string configDir; // config.ini, XiaoFenLei.txt
    std::string dataDir;   // the skin file
    std::string cacheDir;  // the update download's working files
    std::string shareDir;  // read-only examples an installed copy starts from ("" for a portable copy)
};

// The folders for an executable in `exeDir`, a portable copy or not (PortableCopy). `dataFromBin` is the installed
// share folder relative to the executable's folder ("../share/rankmoth"). Relative XDG values are invalid and ignored,
// as the XDG rules ask; with neither them nor HOME an installed copy falls back to beside the executable, where reads
// work and writes fail quietly.
FileLocations LocateFiles(const std::string& exeDir, bool portable, const LocationEnv& env,
                          const std::string& currentDir, const std::string& dataFromBin = "../share/rankmoth");

// Whether the copy in `exeDir` is portable: its folder writable, and no installed share folder beside it. The
// second catches an installed copy run by root, whom a system folder lets write, and an unpacked package.
bool PortableCopy(const std::string& exeDir, const std::string& dataFromBin = "../share/rankmoth");

// The process's own: the executable's folder, its writability, the environment and the current directory.
FileLocations ProcessFileLocations(const std::string& dataFromBin = "../share/rankmoth");

// Makes the per-user folders of an installed copy and copies the example sub-category list from the share
// folder when the user has none; bytes are copied unchanged (the list is GBK). Returns one message per
// thing that could not be done, naming the folder or file; a portable copy needs nothing and gets none.
std::vector<std::string> PrepareUserFiles(const FileLocations& locations);

} // namespace rankmoth::base
