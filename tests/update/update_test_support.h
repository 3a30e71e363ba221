#pragma once

#include "tests/support/fake_controls.h"
#include "tests/support/poll_until.h"
#include "tests/support/temp_folder.h"
#include "update/update_state.h"

#include <zip.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace rankmoth::testing {

// A fresh directory under the system's temp directory, removed with everything in it.
inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

inline void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

inline bool Exists(const std::string& path) {
    std::error_code ec;
    return std::filesystem::exists(std::filesystem::symlink_status(path, ec));
}

// Bytes that are not all alike, so a misplaced or repeated part of a body shows.
inline std::string PatternBytes(std::size_t size, unsigned seed = 7) {
    std::string bytes(size, '\0');
    std::uint32_t x = seed * 2654435761u + 1;
    for (auto& b : bytes) {
        x = x * 1664525u + 1013904223u;
        b = static_cast<char>(x >> 24);
    }
    return bytes;
}

struct ZipEntry {
    std::string name;
    std::string content;
    unsigned unixMode = 0100644; // file type and permission bits, stored in the upper external attributes
};

// Writes a ZIP archive made on Unix (so the stored permission bits count).
inline bool MakeZip(const std::string& path, const std::vector<ZipEntry>& entries) {
    zipFile zip = zipOpen64(path.c_str(), APPEND_STATUS_CREATE);
    if (!zip)
        return false;
    bool ok = true;
    for (const auto& e : entries) {
        zip_fileinfo info{};
        info.external_fa = static_cast<uLong>(e.unixMode) << 16;
        ok = ok && zipOpenNewFileInZip4_64(zip, e.name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                                           Z_DEFAULT_COMPRESSION, 0, -MAX_WBITS, DEF_MEM_LEVEL, Z_DEFAULT_STRATEGY,
                                           nullptr, 0, (3 << 8) | 20 /* made on Unix, ZIP version 2.0 */, 0, 0) == ZIP_OK;
        ok = ok && zipWriteInFileInZip(zip, e.content.data(), static_cast<unsigned>(e.content.size())) == ZIP_OK;
        ok = ok && zipCloseFileInZip(zip) == ZIP_OK;
    }
    return zipClose(zip, nullptr) == ZIP_OK && ok;
}

// An update environment over FakeControls in a temp directory, with a scripted notice fetch.
struct UpdateFixture {
    FakeControls controls;
    TempFolder dir;
    TempFolder exeDir;
    std::map<std::string, std::string> notices; // address -> payload (UTF-8); a missing address is unreachable
    std::vector<std::string> fetched;
    std::vector<update::UpdatePicture> pictures; // shown in 图片框1 of UpdateWindow, in order
    std::shared_ptr<update::UpdateState> state = std::make_shared<update::UpdateState>();

    update::UpdateEnv Env() {
        update::UpdateEnv env{controls, "http://notice.test/w2/blogDetail.do?hostID=h&blogId=1",
                              "http://notice.test/w2/blogDetail.do?hostID=h&blogId=2", {}, dir / "config.ini",
                              exeDir.path(), dir.path(), 1};
        env.fetchNotice = [this](const Text& address, std::vector<Text>& fields) {
            fetched.push_back(address.bytes());
            const auto it = notices.find(address.bytes());
            const Text payload = it == notices.end() ? Text() : Text::FromUtf8(it->second);
            if (payload.bytes().find('|') == std::string::npos)
                return Text();
            fields = SplitAll(payload, Text("|"));
            if (!fields.empty() && fields.back().empty())
                fields.pop_back();
            return payload;
        };
        env.showPicture = [this](update::UpdatePicture picture) { pictures.push_back(picture); };
        return env;
    }
};

} // namespace rankmoth::testing
