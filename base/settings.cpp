#include "base/settings.h"

#include "base/file_locations.h"
#include "base/ini_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <mutex>

namespace rankmoth::base {

namespace {

// The value buffer the settings were always read with: 10240 bytes with the closing zero.
constexpr std::size_t kMaxValue = 10239;

std::string_view SkipLeadingControls(std::string_view s) {
    while (!s.empty() && static_cast<unsigned char>(s.front()) <= 32)
        s.remove_prefix(1);
    return s;
}

// A file or directory counts as read-only when the process may not write it, or when nobody may: the
// second catches the read-only mark for a process running as root, which passes every access check.
bool Writable(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return false;
    return ::access(path.c_str(), W_OK) == 0 && (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0;
}

bool SameNameIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if ((x >= 'A' && x <= 'Z' ? x + 32 : x) != (y >= 'A' && y <= 'Z' ? y + 32 : y))
            return false;
    }
    return true;
}

// Settings files come over from a platform whose file names ignore case, keeping their spelling there
// ("Config.ini"): a name that does not exist as spelt is looked for in its directory without regard to
// ASCII case, so that such a file is read and updated rather than shadowed by a second one.
std::string ExistingSpelling(const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code error;
    if (fs::exists(fs::symlink_status(path, error)))
        return path;
    const fs::path p(path);
    const fs::path dir = p.has_parent_path() ? p.parent_path() : fs::path(".");
    const std::string name = p.filename().string();
    std::string best;
    for (fs::directory_iterator it(dir, error), end; !error && it != end; it.increment(error)) {
        const std::string candidate = it->path().filename().string();
        if (SameNameIgnoringCase(candidate, name) && (best.empty() || candidate < best))
            best = candidate;
    }
    return best.empty() ? path : (p.has_parent_path() ? (dir / best).string() : best);
}

enum class ReadResult { Ok, Missing, Failed };

ReadResult ReadWholeFile(const std::string& path, std::string& out) {
    out.clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT ? ReadResult::Missing : ReadResult::Failed;
    char buffer[65536];
    while (true) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            ::close(fd);
            return ReadResult::Failed;
        }
        if (n == 0)
            break;
        out.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return ReadResult::Ok;
}

bool WriteAll(int fd, const std::string& data) {
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// Writes `data` to a temporary file beside `path` and renames it over `path`, so that a failure at any
// point leaves the old file whole.
bool ReplaceFile(const std::string& path, const std::string& data, mode_t mode) {
    const std::filesystem::path target(path);
    const std::string dir = target.has_parent_path() ? target.parent_path().string() : std::string(".");
    std::string temp = dir + "/." + target.filename().string() + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0)
        return false;
    const bool written = WriteAll(fd, data) && ::fchmod(fd, mode) == 0 && ::fsync(fd) == 0;
    const bool closed = ::close(fd) == 0;
    if (!written || !closed || ::rename(temp.c_str(), path.c_str()) != 0) {
        ::unlink(temp.c_str());
        return false;
    }
    const int dirFd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return true;
}

} // namespace

std::optional<SettingLocation> LocateSetting(const std::string& file, const Text& section, const Text& key) {
    const std::string_view path = SkipLeadingControls(file);
    const std::string_view sectionName = SkipLeadingControls(section.bytes());
    const std::string_view keyName = SkipLeadingControls(key.bytes());
    if (path.empty() || sectionName.empty() || keyName.empty())
        return std::nullopt;
    std::string content;
    const std::string spelt = ExistingSpelling(std::string(path));
    if (ReadWholeFile(spelt, content) != ReadResult::Ok)
        return std::nullopt;
    const auto entry = IniFind(content, sectionName, keyName);
    if (!entry)
        return std::nullopt;
    return SettingLocation{Text(std::string_view(entry->value).substr(0, kMaxValue)), spelt, entry->line};
}

std::optional<Text> LookupSetting(const std::string& file, const Text& section, const Text& key) {
    auto found = LocateSetting(file, section, key);
    if (!found)
        return std::nullopt;
    return std::move(found->value);
}

Text ReadSetting(const std::string& file, const Text& section, const Text& key) {
    return LookupSetting(file, section, key).value_or(Text());
}

bool WriteSetting(const std::string& file, const Text& section, const Text& key, const Text& value) {
    const std::string_view pathName = SkipLeadingControls(file);
    const std::string_view sectionName = SkipLeadingControls(section.bytes());
    const std::string_view keyName = SkipLeadingControls(key.bytes());
    if (pathName.empty() || sectionName.empty() || keyName.empty())
        return false;
    // Names that would read back as another line's syntax are refused, and a value ends at its first line
    // break: written as they are, they would add lines, or whole sections, to the file.
    if (sectionName.find_first_of("]\r\n") != std::string_view::npos ||
        keyName.find_first_of("=\r\n") != std::string_view::npos || keyName.front() == '[')
        return false;
    std::string_view valueText = value.bytes();
    valueText = valueText.substr(0, valueText.find_first_of("\r\n"));

    // Write through a link to the file it names, rather than replacing the link with a file.
    std::string path = ExistingSpelling(std::string(pathName));
    std::error_code error;
    if (std::filesystem::is_symlink(path, error)) {
        const auto resolved = std::filesystem::weakly_canonical(path, error);
        if (error)
            return false;
        path = resolved.string();
    }

    // The start-up worker stores the notice cache while the window thread may be storing the shop ID: the
    // read-modify-write below must not interleave, or one of the two values is lost.
    static std::mutex writeMutex;
    const std::lock_guard lock(writeMutex);

    std::string content;
    mode_t mode = 0644;
    switch (ReadWholeFile(path, content)) {
    case ReadResult::Failed:
        return false;
    case ReadResult::Ok: {
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || !Writable(path))
            return false;
        mode = st.st_mode & 07777;
        break;
    }
    case ReadResult::Missing: {
        const std::filesystem::path parent = std::filesystem::path(path).parent_path();
        if (!parent.empty() && !std::filesystem::exists(parent, error))
            std::filesystem::create_directories(parent, error);
        break;
    }
    }
    const std::filesystem::path parent = std::filesystem::path(path).parent_path();
    if (!Writable(parent.empty() ? std::string(".") : parent.string()))
        return false;

    const std::string updated = IniWithValue(content, sectionName, keyName, valueText);
    if (updated == content && !content.empty())
        return true;
    return ReplaceFile(path, updated, mode);
}

std::string ExecutableDir() {
    std::error_code error;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        return ".";
    std::string dir = exe.parent_path().string();
    if (dir == "/")
        dir.clear();
    return dir;
}

std::string ConfigFileFor(const std::string& exeDir, bool exeDirWritable, const char* xdgConfigHome, const char* home) {
    LocationEnv env;
    env.xdgConfigHome = xdgConfigHome;
    env.home = home;
    return LocateFiles(exeDir, exeDirWritable, env, ".").configDir + "/config.ini";
}

std::string ConfigFile() {
    return ProcessFileLocations().configDir + "/config.ini";
}

bool DirectoryWritable(const std::string& path) {
    return Writable(path);
}

} // namespace rankmoth::base
