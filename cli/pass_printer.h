#pragma once

#include "base/pass_outcome.h"
#include "cli/output_stream.h"
#include "history/result_row.h"

#include <optional>
#include <string>
#include <vector>

namespace rankmoth::cli {

// Json is one document, an array of passes; Jsonl is one object a line, for tools that read a stream.
using history::OutputFormat;
// "table", "csv", "json" or "jsonl", in any ASCII letter case.
std::optional<OutputFormat> ParseFormat(const std::string& word, std::string& error);
// The same, saying on stderr why a word is refused.
std::optional<OutputFormat> FormatOrSay(const std::string& word);

// Prints the passes of one query in a format: CSV and JSON pass by pass as they finish (so a long run
// shows its first sort early; the JSON array is closed by Finish), the table once at the end, when its
// columns are known.
class PassPrinter {
public:
    PassPrinter(OutputStream& out, OutputFormat format) : out_(out), format_(format) {}

    void Begin();
    void Pass(const base::PassOutcome& pass);
    void Finish();

private:
    OutputStream& out_;
    OutputFormat format_;
    std::vector<base::PassOutcome> passes_;
    int printed_ = 0;
};

// What a query run came to, for its exit status.
struct RunEnd {
    bool interrupted = false;
    bool notKept = false;        // a pass was not kept in the history, or the output could not be written
    bool failedRequests = false; // some request of the feed or of a pass failed
};
// 130 when interrupted, else 5 when something was not kept, else 3 when a request failed, else 0.
int QueryExitCode(const RunEnd& end);
// Whether some request of the passes failed.
bool AnyFailed(const std::vector<base::PassOutcome>& passes);

} // namespace rankmoth::cli
