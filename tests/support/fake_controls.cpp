#include "tests/support/fake_controls.h"

#include "base/control_names.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace rankmoth::testing {

using Lock = std::lock_guard<std::mutex>;

namespace {
bool Known(std::string_view window, std::string_view control) {
    const auto in = [control](const auto& names) {
        return std::find(names.begin(), names.end(), control) != names.end();
    };
    if (window == base::kMainWindow)
        return in(base::names::main_window::kAll);
    if (window == base::kUpdateWindow)
        return in(base::names::update_window::kAll);
    return false;
}
} // namespace

void FakeControls::AllowAnyName() {
    Lock lock(mutex_);
    anyName_ = true;
}

std::string FakeControls::Key(std::string_view window, std::string_view control) const {
    if (!anyName_ && !Known(window, control))
        ADD_FAILURE() << "no control \"" << control << "\" in window \"" << window << "\" (base/control_names.h)";
    return std::string(window) + "/" + std::string(control);
}

FakeControls::ControlState& FakeControls::At(std::string_view window, std::string_view control) {
    return controls_[Key(window, control)];
}

void FakeControls::AddRadioGroup(std::string_view window, std::vector<std::string> controls) {
    Lock lock(mutex_);
    for (auto& name : controls)
        name = Key(window, name);
    radioGroups_.push_back(std::move(controls));
}

void FakeControls::AnswerNextMessageBox(int button) {
    Lock lock(mutex_);
    answers_.push_back(button);
}

FakeControls::ControlState FakeControls::Control(std::string_view window, std::string_view control) const {
    Lock lock(mutex_);
    const auto it = controls_.find(Key(window, control));
    return it == controls_.end() ? ControlState{} : it->second;
}

FakeControls::WindowState FakeControls::Window(std::string_view window) const {
    Lock lock(mutex_);
    const auto it = windows_.find(window);
    return it == windows_.end() ? WindowState{} : it->second;
}

std::vector<FakeControls::MessageBoxCall> FakeControls::MessageBoxes() const {
    Lock lock(mutex_);
    return messageBoxes_;
}

std::vector<std::string> FakeControls::OpenedAddresses() const {
    Lock lock(mutex_);
    return opened_;
}

std::vector<std::string> FakeControls::StartedProcesses() const {
    Lock lock(mutex_);
    return started_;
}

int FakeControls::SoundsPlayed() const {
    Lock lock(mutex_);
    return sounds_;
}

std::optional<int> FakeControls::ExitCode() const {
    Lock lock(mutex_);
    return exitCode_;
}

std::string FakeControls::FocusedControl() const {
    Lock lock(mutex_);
    return focused_;
}

std::vector<std::pair<std::string, Text>> FakeControls::TextHistory() const {
    Lock lock(mutex_);
    return textHistory_;
}

Text FakeControls::GetText(std::string_view window, std::string_view control) {
    Lock lock(mutex_);
    return At(window, control).text;
}

void FakeControls::SetText(std::string_view window, std::string_view control, const Text& text) {
    Lock lock(mutex_);
    At(window, control).text = text;
    textHistory_.emplace_back(std::string(control), text);
}

bool FakeControls::IsChecked(std::string_view window, std::string_view control) {
    Lock lock(mutex_);
    return At(window, control).checked;
}

void FakeControls::SetChecked(std::string_view window, std::string_view control, bool checked) {
    Lock lock(mutex_);
    const std::string key = Key(window, control);
    if (checked) {
        for (const auto& group : radioGroups_) {
            if (std::find(group.begin(), group.end(), key) == group.end())
                continue;
            for (const auto& other : group)
                controls_[other].checked = false;
        }
    }
    controls_[key].checked = checked;
}

void FakeControls::SetEnabled(std::string_view window, std::string_view control, bool enabled) {
    Lock lock(mutex_);
    At(window, control).enabled = enabled;
}

void FakeControls::SetControlVisible(std::string_view window, std::string_view control, bool visible) {
    Lock lock(mutex_);
    At(window, control).visible = visible;
}

void FakeControls::SetToolTip(std::string_view window, std::string_view control, const Text& tip) {
    Lock lock(mutex_);
    At(window, control).toolTip = tip;
}

void FakeControls::SetFocus(std::string_view window, std::string_view control) {
    Lock lock(mutex_);
    focused_ = Key(window, control);
}

void FakeControls::AddComboEntry(std::string_view window, std::string_view control, const Text& entry) {
    Lock lock(mutex_);
    At(window, control).comboEntries.push_back(entry);
}

void FakeControls::SelectComboEntry(std::string_view window, std::string_view control, int index) {
    Lock lock(mutex_);
    auto& c = At(window, control);
    c.comboSelection = (index >= 0 && index < static_cast<int>(c.comboEntries.size())) ? index : -1;
}

int FakeControls::ComboSelection(std::string_view window, std::string_view control) {
    Lock lock(mutex_);
    return At(window, control).comboSelection;
}

Text FakeControls::ComboEntryText(std::string_view window, std::string_view control, int index) {
    Lock lock(mutex_);
    const auto& entries = At(window, control).comboEntries;
    return (index >= 0 && index < static_cast<int>(entries.size())) ? entries[static_cast<std::size_t>(index)] : Text{};
}

int FakeControls::ComboCount(std::string_view window, std::string_view control) {
    Lock lock(mutex_);
    return static_cast<int>(At(window, control).comboEntries.size());
}

void FakeControls::DeleteAllRows(std::string_view window, std::string_view control) {
    Lock lock(mutex_);
    At(window, control).rows.clear();
}

int FakeControls::RowCount(std::string_view window, std::string_view control) {
    Lock lock(mutex_);
    return static_cast<int>(At(window, control).rows.size());
}

int FakeControls::AddRow(std::string_view window, std::string_view control, const Text& firstColumn) {
    Lock lock(mutex_);
    auto& rows = At(window, control).rows;
    rows.push_back({firstColumn});
    return static_cast<int>(rows.size()) - 1;
}

void FakeControls::SetCellText(std::string_view window, std::string_view control, int row, int column,
                               const Text& text) {
    Lock lock(mutex_);
    auto& rows = At(window, control).rows;
    if (row < 0 || row >= static_cast<int>(rows.size()) || column < 0)
        return;
    auto& cells = rows[static_cast<std::size_t>(row)];
    if (static_cast<int>(cells.size()) <= column)
        cells.resize(static_cast<std::size_t>(column) + 1);
    cells[static_cast<std::size_t>(column)] = text;
}

Text FakeControls::CellText(std::string_view window, std::string_view control, int row, int column) {
    Lock lock(mutex_);
    const auto& rows = At(window, control).rows;
    if (row < 0 || row >= static_cast<int>(rows.size()) || column < 0)
        return {};
    const auto& cells = rows[static_cast<std::size_t>(row)];
    return column < static_cast<int>(cells.size()) ? cells[static_cast<std::size_t>(column)] : Text{};
}

void FakeControls::ScrollRowIntoView(std::string_view window, std::string_view control, int row) {
    Lock lock(mutex_);
    At(window, control).lastScrolledRow = row;
}

base::Colour FakeControls::ListTextColour(std::string_view, std::string_view) { return kListText; }

base::Colour FakeControls::ListBackgroundColour(std::string_view, std::string_view) { return kListBackground; }

void FakeControls::SetCellColours(std::string_view window, std::string_view control, int row, int column,
                                  base::Colour text, base::Colour background) {
    Lock lock(mutex_);
    auto& colours = At(window, control).cellColours;
    if (text == kListText && background == kListBackground)
        colours.erase(Cell{row, column});
    else
        colours[Cell{row, column}] = {text, background};
}

void FakeControls::SetStatusText(std::string_view window, std::string_view control, int part, const Text& text) {
    Lock lock(mutex_);
    At(window, control).statusParts[part] = text;
    textHistory_.emplace_back(std::string(control) + "#" + std::to_string(part), text);
}

Text FakeControls::StatusText(std::string_view window, std::string_view control, int part) {
    Lock lock(mutex_);
    auto& parts = At(window, control).statusParts;
    const auto it = parts.find(part);
    return it == parts.end() ? Text{} : it->second;
}

void FakeControls::SetStatusPartWidth(std::string_view window, std::string_view control, int part, int width) {
    Lock lock(mutex_);
    At(window, control).statusWidths[part] = width;
}

void FakeControls::SetTimerInterval(std::string_view window, std::string_view control, int milliseconds) {
    Lock lock(mutex_);
    At(window, control).timerInterval = milliseconds;
}

int FakeControls::TimerInterval(std::string_view window, std::string_view control) {
    Lock lock(mutex_);
    return At(window, control).timerInterval;
}

void FakeControls::SetProgress(std::string_view window, std::string_view control, int percent) {
    Lock lock(mutex_);
    At(window, control).progress = percent;
}

void FakeControls::SetCurrentTab(std::string_view window, std::string_view control, int index) {
    Lock lock(mutex_);
    At(window, control).currentTab = index;
}

void FakeControls::ReloadPage(std::string_view window, std::string_view control) {
    Lock lock(mutex_);
    ++At(window, control).reloads;
}

void FakeControls::LoadWindow(std::string_view window, bool modal) {
    Lock lock(mutex_);
    auto& w = windows_[std::string(window)];
    w.loaded = true;
    w.modal = modal;
    w.visible = true;
}

void FakeControls::CloseWindow(std::string_view window) {
    Lock lock(mutex_);
    auto& w = windows_[std::string(window)];
    w.loaded = false;
    w.visible = false;
}

bool FakeControls::IsWindowVisible(std::string_view window) {
    Lock lock(mutex_);
    return windows_[std::string(window)].visible;
}

void FakeControls::SetWindowVisible(std::string_view window, bool visible) {
    Lock lock(mutex_);
    windows_[std::string(window)].visible = visible;
}

base::Placement FakeControls::WindowPlacement(std::string_view window) {
    Lock lock(mutex_);
    return windows_[std::string(window)].placement;
}

void FakeControls::SetWindowPlacement(std::string_view window, base::Placement placement) {
    Lock lock(mutex_);
    windows_[std::string(window)].placement = placement;
}

void FakeControls::SetAlwaysOnTop(std::string_view window, bool onTop) {
    Lock lock(mutex_);
    windows_[std::string(window)].onTop = onTop;
}

void FakeControls::PopupMenuAtCursor(std::string_view window, std::string_view menu) {
    Lock lock(mutex_);
    Key(window, menu);
    windows_[std::string(window)].menusPopped.emplace_back(menu);
}

int FakeControls::MessageBox(const Text& text, int style, const Text& caption) {
    Lock lock(mutex_);
    messageBoxes_.push_back({text, style, caption});
    if (answers_.empty())
        return base::kButtonOk;
    const int answer = answers_.front();
    answers_.pop_front();
    return answer;
}

void FakeControls::OpenAddress(const std::string& address) {
    Lock lock(mutex_);
    opened_.push_back(address);
}

void FakeControls::PlayAlertSound() {
    Lock lock(mutex_);
    ++sounds_;
}

bool FakeControls::StartProcess(const std::string& path) {
    Lock lock(mutex_);
    started_.push_back(path);
    return startProcessSucceeds;
}

void FakeControls::EndProgram(int exitCode) {
    Lock lock(mutex_);
    if (!exitCode_)
        exitCode_ = exitCode;
}

} // namespace rankmoth::testing
