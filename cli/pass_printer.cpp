#include "cli/pass_printer.h"

#include "cli/cli_context.h"
#include "cli/output_format.h"

namespace rankmoth::cli {

std::optional<OutputFormat> ParseFormat(const std::string& word, std::string& error) {
    if (word == "table")
        return OutputFormat::Table;
    if (word == "csv")
        return OutputFormat::Csv;
    if (word == "json")
        return OutputFormat::Json;
    error = "--format: unknown format \"" + word + "\"; one of table, csv, json";
    return std::nullopt;
}

void PassPrinter::Begin() {
    if (format_ == OutputFormat::Csv)
        out_.Write(std::string(kCsvHeader) + "\n");
}

void PassPrinter::Pass(const base::PassOutcome& pass) {
    switch (format_) {
    case OutputFormat::Csv: {
        std::string rows;
        for (const auto& item : pass.items)
            rows += CsvRow(pass, item);
        out_.Write(rows);
        break;
    }
    case OutputFormat::Json:
        out_.Write(PassJson(pass));
        break;
    case OutputFormat::Table:
        passes_.push_back(pass);
        break;
    }
}

void PassPrinter::Finish() {
    if (format_ == OutputFormat::Table)
        out_.Write(PassTable(passes_));
}

int QueryExitCode(const std::vector<base::PassOutcome>& passes, bool interrupted) {
    if (interrupted)
        return kExitInterrupted;
    for (const auto& pass : passes) {
        if (pass.failedRequests > 0)
            return kExitFailedRequests;
    }
    return kExitClean;
}

} // namespace rankmoth::cli
