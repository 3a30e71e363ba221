#pragma once

#include "update/update_state.h"

#include <memory>

namespace rankmoth::update {

// UpdateWindow and the controls the download and install write.
namespace ui {
inline constexpr std::string_view kTimer1 = "时钟1";
inline constexpr std::string_view kTimer2 = "时钟2";
inline constexpr std::string_view kBanner = "图片框1";
inline constexpr std::string_view kDoneLabel = "标签8";
inline constexpr std::string_view kFileLabel = "标签2";
inline constexpr std::string_view kPathLabel = "标签7";
inline constexpr std::string_view kProgressBar = "进度条1";
inline constexpr std::string_view kPercentLabel = "标签4";
inline constexpr std::string_view kSizeLabel = "标签10";
inline constexpr std::string_view kDownloadedLabel = "标签11";
inline constexpr std::string_view kSpeedLabel = "标签1";
inline constexpr std::string_view kAverageLabel = "标签3";
inline constexpr std::string_view kRemainingLabel = "标签9";
} // namespace ui

// Prepares UpdateWindow and starts DownloadThread (called on the window thread).
void StartUpdateDownload(const UpdateEnv& env, const std::shared_ptr<UpdateState>& state);
// Body of the download thread: labels, HttpDownload, and the failure message with the download page.
void DownloadThread(const UpdateEnv& env, UpdateState& state);

} // namespace rankmoth::update
