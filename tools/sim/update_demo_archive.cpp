#include "tools/sim/update_demo_archive.h"

#include <cstdint>

namespace rankmoth::sim {

namespace {

std::uint32_t Crc32(const std::string& bytes) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (const unsigned char b : bytes) {
        crc ^= b;
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void Put16(std::string& out, unsigned v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
}
void Put32(std::string& out, std::uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

} // namespace

std::string StoredZip(const std::vector<StoredFile>& files) {
    constexpr unsigned kMadeOnUnix = (3 << 8) | 20;
    constexpr unsigned kDosDate = (45 << 9) | (12 << 5) | 1; // 2025-12-01
    std::string out;
    std::string directory;
    for (const auto& f : files) {
        const std::uint32_t offset = static_cast<std::uint32_t>(out.size());
        const std::uint32_t crc = Crc32(f.content);
        const auto size = static_cast<std::uint32_t>(f.content.size());
        Put32(out, 0x04034b50);
        Put16(out, 20);
        Put16(out, 0); // flags
        Put16(out, 0); // stored
        Put16(out, 0);
        Put16(out, kDosDate);
        Put32(out, crc);
        Put32(out, size);
        Put32(out, size);
        Put16(out, static_cast<unsigned>(f.name.size()));
        Put16(out, 0);
        out += f.name;
        out += f.content;

        Put32(directory, 0x02014b50);
        Put16(directory, kMadeOnUnix);
        Put16(directory, 20);
        Put16(directory, 0);
        Put16(directory, 0);
        Put16(directory, 0);
        Put16(directory, kDosDate);
        Put32(directory, crc);
        Put32(directory, size);
        Put32(directory, size);
        Put16(directory, static_cast<unsigned>(f.name.size()));
        Put16(directory, 0); // extra
        Put16(directory, 0); // comment
        Put16(directory, 0); // disk
        Put16(directory, 0); // internal attributes
        Put32(directory, static_cast<std::uint32_t>(f.unixMode) << 16);
        Put32(directory, offset);
        directory += f.name;
    }
    const auto directoryOffset = static_cast<std::uint32_t>(out.size());
    out += directory;
    Put32(out, 0x06054b50);
    Put16(out, 0);
    Put16(out, 0);
    Put16(out, static_cast<unsigned>(files.size()));
    Put16(out, static_cast<unsigned>(files.size()));
    Put32(out, static_cast<std::uint32_t>(directory.size()));
    Put32(out, directoryOffset);
    Put16(out, 0);
    return out;
}

std::string DemoUpdateArchive() {
    return StoredZip({
        {"m_update.exe",
         "#!/bin/sh\n"
         "# Demo updater delivered by rankmoth-sim: leaves a mark that it ran.\n"
         "echo \"rankmoth demo updater ran\" > \"$(dirname \"$0\")/m_update.ran\"\n",
         0100755},
        {"readme.txt", "Rankmoth demo update archive.\n", 0100644},
    });
}

} // namespace rankmoth::sim
