// The notice pages and the update archive of rankmoth-sim.
#include "tools/sim/sim_module.h"
#include "tools/sim/update_archive_server.h"
#include "tools/sim/update_demo_archive.h"

#include <fstream>
#include <iostream>
#include <sstream>

namespace rankmoth::sim {

namespace {

// The notices that let the program start normally: version 110, service on, start tab 0. The archive
// address is field 3 + field 4 + "zujian/m_update.zip".
constexpr const char* kDefaultVersionNotice =
    "110|1|{archive}|rankmoth/|||||http://www.pellwood.example/download.html|";
constexpr const char* kDefaultStartTabNotice = "0|";

bool ReadWholeFile(const std::string& path, std::string& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::ostringstream bytes;
    bytes << in.rdbuf();
    out = bytes.str();
    return true;
}

void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
    for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
}

class UpdateModule final : public SimModule {
public:
    bool TakeOption(std::string_view name, std::string_view value, std::string& error) override {
        if (name == "version-notice")
            versionNotice_ = value;
        else if (name == "start-tab-notice")
            startTabNotice_ = value;
        else if (name == "version-notice-file") {
            if (!ReadWholeFile(std::string(value), versionNotice_))
                error = "cannot read the file";
        } else if (name == "start-tab-notice-file") {
            if (!ReadWholeFile(std::string(value), startTabNotice_))
                error = "cannot read the file";
        } else if (name == "version-blog-id")
            versionBlogId_ = value;
        else if (name == "start-tab-blog-id")
            startTabBlogId_ = value;
        else if (name == "notice-page") {
            if (value == "missing-markers" || value == "unreachable" || value == "normal")
                noticePage_ = value;
            else
                error = "one of normal, missing-markers, unreachable";
        } else if (name == "update-archive") {
            if (!ReadWholeFile(std::string(value), archive_.body))
                error = "cannot read the archive";
            archiveGiven_ = true;
        } else if (name == "archive-port")
            archivePort_ = std::atoi(std::string(value).c_str());
        else if (name == "archive-port-file")
            archivePortFile_ = value;
        else if (name == "archive-log")
            archiveLog_ = value;
        else if (name == "archive-fault") {
            static const std::pair<std::string_view, ArchiveFault> faults[] = {
                {"none", ArchiveFault::kNone},           {"http10", ArchiveFault::kHttp10},
                {"stall", ArchiveFault::kStall},         {"close", ArchiveFault::kCloseMidBody},
                {"ignore-range", ArchiveFault::kIgnoreRange}, {"refuse-range", ArchiveFault::kRefuseRange}};
            bool known = false;
            for (const auto& [n, f] : faults)
                if (n == value) {
                    archive_.fault = f;
                    known = true;
                }
            if (!known)
                error = "one of none, http10, stall, close, ignore-range, refuse-range";
        } else if (name == "archive-fault-after")
            archive_.faultAfterBytes = std::strtoull(std::string(value).c_str(), nullptr, 10);
        else if (name == "archive-length")
            archive_.announcedLength = std::strtoull(std::string(value).c_str(), nullptr, 10);
        else if (name == "archive-no-length")
            archive_.omitLength = value != "0";
        else if (name == "archive-head-pieces")
            archive_.headPieceBytes = std::strtoull(std::string(value).c_str(), nullptr, 10);
        else
            return false;
        return true;
    }

    bool Prepare(std::string& error) override {
        if (!archiveGiven_)
            archive_.body = DemoUpdateArchive();
        if (!archiveLog_.empty()) {
            archive_.onRequest = [path = archiveLog_, mutex = std::make_shared<std::mutex>()](const std::string& head) {
                std::lock_guard lock(*mutex);
                std::ofstream(path, std::ios::app | std::ios::binary) << head;
            };
        }
        server_ = std::make_unique<ArchiveServer>(archive_);
        const int port = server_->Start(archivePort_);
        if (port <= 0) {
            error = "cannot listen for the update archive on port " + std::to_string(archivePort_);
            return false;
        }
        archiveBase_ = "http://127.0.0.1:" + std::to_string(port) + "/";
        if (!archivePortFile_.empty()) {
            std::ofstream(archivePortFile_) << port << "\n";
        }
        std::cout << "rankmoth-sim update archive on " << archiveBase_ << " (" << archive_.body.size() << " bytes)"
                  << std::endl;
        return true;
    }

    void Register(httplib::Server& server) override {
        server.Get("/w2/blogDetail.do", [this](const httplib::Request& req, httplib::Response& res) {
            const std::string blogId = req.get_param_value("blogId");
            std::string payload;
            if (blogId == versionBlogId_)
                payload = versionNotice_;
            else if (blogId == startTabBlogId_)
                payload = startTabNotice_;
            else {
                res.status = 404;
                res.set_content("no such post", "text/plain");
                return;
            }
            if (noticePage_ == "unreachable") {
                res.status = 503;
                return;
            }
            ReplaceAll(payload, "{archive}", archiveBase_);
            ReplaceAll(payload, "{host}", "http://" + req.get_header_value("Host") + "/");
            std::string body = "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>公告</title></head>\n"
                               "<body><div class=\"post\">";
            body += noticePage_ == "missing-markers" ? payload : "开始喽" + payload + "结束喽";
            body += "</div></body></html>\n";
            res.set_content(body, "text/html; charset=utf-8");
        });
    }

    std::string Usage() const override {
        return "notice pages (GET /w2/blogDetail.do?hostID=...&blogId=...):\n"
               "  --version-notice=PAYLOAD     version payload, fields separated by | (default\n"
               "                               \"" +
               std::string(kDefaultVersionNotice) +
               "\");\n"
               "                               {archive} stands for the archive server's base address,\n"
               "                               {host} for this server's\n"
               "  --version-notice-file=PATH   the version payload from a file (UTF-8)\n"
               "  --start-tab-notice=PAYLOAD   start-tab payload (default \"0|\")\n"
               "  --start-tab-notice-file=PATH\n"
               "  --version-blog-id=ID         blogId of the version notice (default 1330001)\n"
               "  --start-tab-blog-id=ID       blogId of the start-tab notice (default 1330002)\n"
               "  --notice-page=MODE           normal | missing-markers | unreachable (503)\n"
               "update archive (raw HTTP server on its own port, any path):\n"
               "  --update-archive=PATH        the archive to serve (default: a demo whose m_update.exe is a\n"
               "                               shell script that writes m_update.ran)\n"
               "  --archive-port=N             port of the archive server (default: any free port)\n"
               "  --archive-port-file=PATH     write the archive server's port to PATH\n"
               "  --archive-log=PATH           append every archive request head to PATH\n"
               "  --archive-fault=MODE         none | http10 | stall | close | ignore-range | refuse-range\n"
               "  --archive-fault-after=BYTES  body bytes sent before a stall or close (default: half)\n"
               "  --archive-length=N           announce this Content-Length instead of the true one\n"
               "  --archive-no-length=1        send no Content-Length\n"
               "  --archive-head-pieces=N      send the response head in pieces of N bytes\n";
    }

private:
    std::string versionNotice_ = kDefaultVersionNotice;
    std::string startTabNotice_ = kDefaultStartTabNotice;
    std::string versionBlogId_ = "1330001";
    std::string startTabBlogId_ = "1330002";
    std::string noticePage_ = "normal";
    ArchiveServerOptions archive_;
    bool archiveGiven_ = false;
    int archivePort_ = 0;
    std::string archivePortFile_;
    std::string archiveBase_;
    std::string archiveLog_;
    std::unique_ptr<ArchiveServer> server_;
};

} // namespace

std::unique_ptr<SimModule> MakeUpdateModule() { return std::make_unique<UpdateModule>(); }

} // namespace rankmoth::sim
