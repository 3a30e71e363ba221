#pragma once

namespace rankmoth::web {

// curl_global_init is not thread-safe and must run before any other thread uses libcurl. Every user of
// libcurl calls this first; only the first call initialises, later calls return at once.
void EnsureCurlInitialised();

} // namespace rankmoth::web
