#pragma once

#include "base/pass_outcome.h"
#include "cli/output_stream.h"

#include <optional>
#include <string>
#include <vector>

namespace rankmoth::cli {

enum class OutputFormat { Table, Csv, Json };
std::optional<OutputFormat> ParseFormat(const std::string& word, std::string& error);

// Prints the passes of one query in a format: CSV and JSON pass by pass as they finish (so a long run
// shows its first sort early), the table once at the end, when its columns are known.
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
};

// The exit status of a query whose passes all ran: 130 when interrupted, 3 when a request failed, else 0.
int QueryExitCode(const std::vector<base::PassOutcome>& passes, bool interrupted);

} // namespace rankmoth::cli
