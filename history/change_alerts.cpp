#include "history/change_alerts.h"

namespace rankmoth::history {

std::vector<ChangeAlert> ChangeAlerts(const base::PassOutcome&, const Baseline*, int) { return {}; }
std::string BalloonText(const std::vector<ChangeAlert>&) { return {}; }

} // namespace rankmoth::history
