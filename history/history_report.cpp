#include "history/history_report.h"

namespace rankmoth::history {

bool ParseReportFormat(std::string_view, ReportFormat&) { return false; }
int PrintHistory(HistoryStore&, const HistoryQuery&, ReportFormat, std::ostream&, std::ostream&) { return 1; }
void WriteExportCsv(const std::vector<ExportRow>&, std::ostream&, bool) {}

} // namespace rankmoth::history
