#include "cli/pass_printer.h"

#include "cli/cli_context.h"
#include "cli/output_format.h"

namespace rankmoth::cli {

std::optional<OutputFormat> ParseFormat(const std::string& word, std::string& error) {
    OutputFormat format{};
    if (history::ParseOutputFormat(word, format))
        return format;
    error = "--format: unknown format \"" + word + "\"; one of table, csv, json, jsonl";
    return std::nullopt;
}

std::optional<OutputFormat> FormatOrSay(const std::string& word) {
    std::string error;
    const auto format = ParseFormat(word, error);
    if (!format)
        ReportError(error);
    return format;
}

void PassPrinter::Begin() {
    if (format_ == OutputFormat::Csv)
        out_.Write(history::ResultCsvHeader());
    if (format_ == OutputFormat::Json)
        out_.Write("[");
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
        out_.Write((printed_ == 0 ? "\n" : ",\n") + PassJson(pass));
        break;
    case OutputFormat::Jsonl:
        out_.Write(PassJson(pass) + "\n");
        break;
    case OutputFormat::Table:
        passes_.push_back(pass);
        break;
    }
    ++printed_;
}

void PassPrinter::Finish() {
    if (format_ == OutputFormat::Table)
        out_.Write(PassTable(passes_));
    if (format_ == OutputFormat::Json)
        out_.Write("\n]\n");
}

int QueryExitCode(const RunEnd& end) {
    if (end.interrupted)
        return kExitInterrupted;
    if (end.notKept)
        return kExitNotKept;
    return end.failedRequests ? kExitFailedRequests : kExitClean;
}

bool AnyFailed(const std::vector<base::PassOutcome>& passes) {
    for (const auto& pass : passes) {
        if (pass.failedRequests > 0)
            return true;
    }
    return false;
}

} // namespace rankmoth::cli
