#pragma once

#include "base/file_locations.h"

#include <chrono>
#include <optional>
#include <string>

namespace rankmoth::cli {

// The shortest interval a schedule may have: a walk of a large watch takes minutes, and runs closer than
// this would overlap or hammer the marketplace.
inline constexpr std::chrono::minutes kShortestEvery{10};

// "30min", "90m", "1h", "6h", "1d": a whole number and its unit. Nothing, with the reason in `error`, for
// anything else or for an interval under kShortestEvery.
std::optional<std::chrono::minutes> ParseEvery(const std::string& text, std::string& error);

// The timer drop-in that replaces the unit's hourly schedule with one every `every`.
std::string EveryDropIn(std::chrono::minutes every);

// The crontab line that runs `program track` every `every` (hourly when unset); nothing when cron has no
// form for that interval (one that divides neither an hour nor a day).
std::optional<std::string> CrontabLine(std::optional<std::chrono::minutes> every, const std::string& program);

// Where the user's manager reads the timer's drop-ins: rankmoth-track.timer.d in $XDG_CONFIG_HOME/systemd/user,
// or in ~/.config/systemd/user when that is unset or relative. Empty with neither that nor HOME.
std::string DropInFolder(const base::LocationEnv& env);

} // namespace rankmoth::cli
