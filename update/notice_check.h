#pragma once

#include "update/notice_fields.h"
#include "update/update_state.h"

#include <functional>
#include <memory>

namespace rankmoth::update {

// The last version payload a BackgroundCheck obtained, kept in the settings file.
class NoticeCache {
public:
    explicit NoticeCache(std::string file) : file_(std::move(file)) {}
    Text Read() const;
    bool Write(const Text& payload) const;

private:
    std::string file_;
};

// Creation event of UpdateWindow: the cached (or else fetched) version notice decides between opening
// MainWindow, starting an updater that is already there, and downloading the update.
void LaunchCheck(const UpdateEnv& env, const std::shared_ptr<UpdateState>& state);

// Body of the start-up worker: fetches both notices afresh, refreshes the cache and either ends the
// program or calls `finish` with the start tab index.
void BackgroundCheck(const UpdateEnv& env, UpdateState& state, const std::function<void(int startTab)>& finish);

} // namespace rankmoth::update
