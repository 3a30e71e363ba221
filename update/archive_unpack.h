#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace rankmoth::update {

enum class UnpackResult {
    kUnpacked,     // every entry written
    kNotAnArchive, // missing, truncated or not a ZIP archive
    kUnsafeEntry,  // an entry would land outside the target; nothing was written
    kEntryFailed,  // an entry could not be read or written; entries before it stay
    kTooLarge,     // more entries or bytes than an update may bring: as stated, nothing was written; found
                   // while writing (an entry grew past its stated size), that entry is removed and those
                   // before it stay
};

// What an update archive may bring at most: its entries, and the sum of their unpacked sizes.
inline constexpr std::size_t kMaxArchiveEntries = 10000;
inline constexpr std::uint64_t kMaxArchiveBytes = std::uint64_t{512} << 20;

// Whether an entry name stays below the directory it is unpacked into: not absolute, no drive letter, no
// ".." component (with "/" and "\" both taken as separators), no zero byte.
bool IsSafeEntryName(std::string_view name);

// Unpacks every entry of the ZIP archive at `archivePath` below `targetDir`, creating directories as needed
// and replacing files (an existing file, read-only or linked, is removed and created anew). Files keep the
// Unix permission bits the archive stores for them. Every entry is checked before the first byte is
// written: an absolute path, a drive letter, a ".." component or a symbolic link refuses the whole archive,
// and so do more than kMaxArchiveEntries entries or stated sizes that add up to more than kMaxArchiveBytes.
// The stated sizes are not trusted while writing either: an entry that grows past its own stated size, or
// the unpack past the total, is stopped there.
// `written`, when given, receives the names of the files written, as the archive spells them.
UnpackResult UnpackArchive(const std::string& archivePath, const std::string& targetDir,
                           std::vector<std::string>* written = nullptr);

} // namespace rankmoth::update
