#pragma once

#include <string>
#include <vector>

namespace rankmoth::sim {

struct StoredFile {
    std::string name;
    std::string content;
    unsigned unixMode = 0100644;
};

// A ZIP archive of stored (uncompressed) entries made "on Unix", so the permission bits travel with it.
std::string StoredZip(const std::vector<StoredFile>& files);

// The demo update: an m_update.exe that is a shell script writing "m_update.ran" beside itself.
std::string DemoUpdateArchive();

} // namespace rankmoth::sim
