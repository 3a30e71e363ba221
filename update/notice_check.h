#pragma once

#include "update/update_state.h"

#include <functional>
#include <memory>

namespace rankmoth::update {

// Splits a notice payload at every "|": empty fields inside are kept, an empty piece after a final "|" is
// dropped (so "" gives no field at all).
std::vector<Text> SplitNoticeFields(const Text& payload);

// The last version payload a BackgroundCheck obtained, kept in the settings file.
class NoticeCache {
public:
    explicit NoticeCache(std::string file) : file_(std::move(file)) {}
    Text Read() const;
    bool Write(const Text& payload) const;

private:
    std::string file_;
};

// The address of the update archive announced by a version notice: field 3 + field 4 + "zujian/m_update.zip".
Text UpdateArchiveUrlOf(const std::vector<Text>& fields);
// "软件已暂停服务!如有疑问请联系QQ：" with the two support accounts.
Text SuspendedMessage();

// The program's notice fetch: NoticeText::SplitNotice with UTF-8 conversion.
NoticeFetch NoticeTextFetch();

// Creation event of UpdateWindow: the cached (or else fetched) version notice decides between opening
// MainWindow, starting an updater that is already there, and downloading the update.
void LaunchCheck(const UpdateEnv& env, const std::shared_ptr<UpdateState>& state);

// Body of the start-up worker: fetches both notices afresh, refreshes the cache and either ends the
// program or calls `finish` with the start tab index.
void BackgroundCheck(const UpdateEnv& env, UpdateState& state, const std::function<void(int startTab)>& finish);

} // namespace rankmoth::update
