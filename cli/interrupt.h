#pragma once

namespace rankmoth::cli {

// Ctrl-C (SIGINT) and SIGTERM ask the walk to stop after the request under way. The handler only sets a
// flag; the walk's observer reads it between requests. A second signal ends the process at once, as
// the default action would.
void InstallInterruptHandler();
bool Interrupted();
// For the tests of the code that reads the flag.
void ClearInterrupted();

// Broken pipes become write errors (EPIPE) instead of killing the process.
void IgnoreBrokenPipe();

} // namespace rankmoth::cli
