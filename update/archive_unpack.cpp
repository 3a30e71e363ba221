#include "update/archive_unpack.h"

#include <unzip.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace rankmoth::update {

namespace {

constexpr unsigned long kUnixFileType = 0170000;
constexpr unsigned long kUnixSymlink = 0120000;
constexpr unsigned kMadeOnUnix = 3;
constexpr unsigned kMadeOnMac = 19;

// One open archive, closed when it goes out of scope.
class Archive {
public:
    explicit Archive(const std::string& path) : file_(unzOpen64(path.c_str())) {}
    Archive(const Archive&) = delete;
    Archive& operator=(const Archive&) = delete;
    ~Archive() {
        if (file_)
            unzClose(file_);
    }
    unzFile get() const { return file_; }

private:
    unzFile file_;
};

struct Entry {
    std::string name; // as stored, with "\" turned into "/"
    std::uint64_t statedSize = 0; // the unpacked size the central directory gives
    unsigned long externalAttributes = 0;
    unsigned madeBy = 0;
    bool isDirectory() const { return !name.empty() && name.back() == '/'; }
    unsigned long unixMode() const { return externalAttributes >> 16; }
};

// The current entry's info. minizip cuts the name to the buffer it is given without terminating it, so
// the name is read with a buffer of the length the entry itself declares.
bool CurrentEntry(unzFile zip, Entry& entry, bool& nameHasZero) {
    unz_file_info64 info{};
    if (unzGetCurrentFileInfo64(zip, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK)
        return false;
    std::vector<char> name(info.size_filename + 1, '\0');
    if (unzGetCurrentFileInfo64(zip, &info, name.data(), name.size(), nullptr, 0, nullptr, 0) != UNZ_OK)
        return false;
    entry.name.assign(name.data(), info.size_filename);
    nameHasZero = entry.name.find('\0') != std::string::npos;
    for (char& ch : entry.name)
        if (ch == '\\')
            ch = '/';
    entry.statedSize = info.uncompressed_size;
    entry.externalAttributes = info.external_fa;
    entry.madeBy = static_cast<unsigned>(info.version >> 8);
    return true;
}

bool IsDirectory(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Creates the directories of `relative` below `root` one by one; an existing component that is not a real
// directory (a symbolic link above all) stops it, so nothing can be led outside `root`.
bool MakeDirectories(const std::string& root, std::string_view relative) {
    std::string path = root;
    std::size_t start = 0;
    while (start < relative.size()) {
        std::size_t end = relative.find('/', start);
        if (end == std::string_view::npos)
            end = relative.size();
        const std::string_view part = relative.substr(start, end - start);
        start = end + 1;
        if (part.empty() || part == ".")
            continue;
        path += "/";
        path += part;
        if (::mkdir(path.c_str(), 0755) != 0 && errno != EEXIST)
            return false;
        if (!IsDirectory(path))
            return false;
    }
    return true;
}

enum class Written { kWhole, kFailed, kTooLarge };

// Writes the current entry, but no more than its stated size and no more than `budget`, what the whole unpack
// may still write; the budget is used up as bytes go out.
Written WriteEntry(unzFile zip, const std::string& targetDir, const Entry& entry, std::uint64_t& budget) {
    const std::size_t slash = entry.name.rfind('/');
    const std::string_view parent =
        slash == std::string::npos ? std::string_view() : std::string_view(entry.name).substr(0, slash);
    if (!MakeDirectories(targetDir, parent))
        return Written::kFailed;
    const std::string path = targetDir + "/" + entry.name;

    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode))
            return Written::kFailed;
        // Whatever stands where the file goes is replaced, never written through: a link would be followed,
        // and a hard link shares its inode with a file elsewhere. A read-only file goes the same way.
        if (::unlink(path.c_str()) != 0)
            return Written::kFailed;
    }

    if (unzOpenCurrentFile(zip) != UNZ_OK)
        return Written::kFailed;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        unzCloseCurrentFile(zip);
        return Written::kFailed;
    }
    // minizip stops reading an entry at its stated size; counting here as well keeps the limits whatever
    // the library does with a stream that holds more than its entry says.
    std::uint64_t allowed = std::min(entry.statedSize, budget);
    std::vector<char> buffer(64 * 1024);
    bool ok = true;
    bool tooLarge = false;
    for (;;) {
        const int n = unzReadCurrentFile(zip, buffer.data(), static_cast<unsigned>(buffer.size()));
        if (n == 0)
            break;
        if (n < 0) {
            ok = false;
            break;
        }
        if (static_cast<std::uint64_t>(n) > allowed) {
            ok = false;
            tooLarge = true;
            break;
        }
        allowed -= static_cast<std::uint64_t>(n);
        budget -= static_cast<std::uint64_t>(n);
        for (int written = 0; written < n && ok;) {
            const ssize_t w = ::write(fd, buffer.data() + written, static_cast<std::size_t>(n - written));
            if (w <= 0 && errno != EINTR)
                ok = false;
            else if (w > 0)
                written += static_cast<int>(w);
        }
        if (!ok)
            break;
    }
    // The CRC is checked when the entry is closed.
    ok = unzCloseCurrentFile(zip) == UNZ_OK && ok;
    const bool unixMode = (entry.madeBy == kMadeOnUnix || entry.madeBy == kMadeOnMac) && (entry.unixMode() & 0777);
    ok = ::fchmod(fd, unixMode ? static_cast<mode_t>(entry.unixMode() & 0777) : 0644) == 0 && ok;
    ok = ::close(fd) == 0 && ok;
    if (!ok)
        ::unlink(path.c_str());
    return ok ? Written::kWhole : tooLarge ? Written::kTooLarge : Written::kFailed;
}

} // namespace

bool IsSafeEntryName(std::string_view name) {
    if (name.empty() || name.find('\0') != std::string_view::npos)
        return false;
    if (name.front() == '/' || name.front() == '\\')
        return false;
    if (name.size() >= 2 && name[1] == ':' && std::isalpha(static_cast<unsigned char>(name[0])))
        return false;
    std::size_t start = 0;
    while (start <= name.size()) {
        const std::size_t end = name.find_first_of("/\\", start);
        const std::string_view part =
            name.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
        if (part == "..")
            return false;
        if (end == std::string_view::npos)
            break;
        start = end + 1;
    }
    return true;
}

UnpackResult UnpackArchive(const std::string& archivePath, const std::string& targetDir,
                           std::vector<std::string>* written) {
    Archive archive(archivePath);
    unzFile zip = archive.get();
    if (!zip)
        return UnpackResult::kNotAnArchive;

    // A small archive can state a huge unpacked size (deflate shrinks a run of zeros a thousandfold) or list
    // a huge number of entries; both are refused here, before anything is written.
    std::vector<Entry> entries;
    std::uint64_t statedTotal = 0;
    for (int step = unzGoToFirstFile(zip); step != UNZ_END_OF_LIST_OF_FILE; step = unzGoToNextFile(zip)) {
        if (step != UNZ_OK)
            return UnpackResult::kNotAnArchive;
        if (entries.size() == kMaxArchiveEntries)
            return UnpackResult::kTooLarge;
        Entry entry;
        bool nameHasZero = false;
        if (!CurrentEntry(zip, entry, nameHasZero))
            return UnpackResult::kNotAnArchive;
        if (nameHasZero || !IsSafeEntryName(entry.name) ||
            (entry.unixMode() & kUnixFileType) == kUnixSymlink)
            return UnpackResult::kUnsafeEntry;
        if (entry.statedSize > kMaxArchiveBytes - statedTotal)
            return UnpackResult::kTooLarge;
        statedTotal += entry.statedSize;
        entries.push_back(std::move(entry));
    }

    std::uint64_t budget = kMaxArchiveBytes;
    std::size_t index = 0;
    for (int step = unzGoToFirstFile(zip); step == UNZ_OK && index < entries.size();
         step = unzGoToNextFile(zip), ++index) {
        const Entry& entry = entries[index];
        const Written done = entry.isDirectory()
                                 ? (MakeDirectories(targetDir, entry.name) ? Written::kWhole : Written::kFailed)
                                 : WriteEntry(zip, targetDir, entry, budget);
        if (done == Written::kTooLarge)
            return UnpackResult::kTooLarge;
        if (done == Written::kFailed)
            return UnpackResult::kEntryFailed;
        if (written && !entry.isDirectory())
            written->push_back(entry.name);
    }
    return index == entries.size() ? UnpackResult::kUnpacked : UnpackResult::kEntryFailed;
}

} // namespace rankmoth::update
