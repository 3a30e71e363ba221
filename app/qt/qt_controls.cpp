#include "app/qt/qt_controls.h"

#include "app/qt/window_design.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QCoreApplication>
#include <QCursor>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMetaObject>
#include <QProcess>
#include <QProgressBar>
#include <QTextBrowser>
#include <QThread>
#include <QTimer>
#include <QTreeWidget>

#include <algorithm>
#include <type_traits>

namespace rankmoth::shell {

namespace {
QString Q(const Text &text) { return QString::fromStdString(text.ToUtf8()); }
Text T(const QString &text) { return Text::FromUtf8(text.toStdString()); }
constexpr const char *kHintTipName = "hintTip";

QLabel *HintTipOf(QWidget *window) {
  return window->findChild<QLabel *>(kHintTipName, Qt::FindDirectChildrenOnly);
}

// Shown at once, not only on hovering: the user has just acted on this control.
// Not a QToolTip, which hides itself on any key press or release and any focus
// change in the program, and the hints come exactly when Tab or Enter leaves a
// box. A label of the window, under the control, stands until the writer clears
// it, and moves with the window.
void ShowHintTip(QWidget *control, const QString &text) {
  QWidget *window = control->window();
  if (!control->isVisible() || window == control)
    return;
  QLabel *tip = HintTipOf(window);
  if (!tip) {
    tip = new QLabel(window);
    tip->setObjectName(kHintTipName);
    tip->setTextFormat(Qt::PlainText);
    tip->setAttribute(Qt::WA_TransparentForMouseEvents);
    tip->setStyleSheet("QLabel { background: #ffffe1; color: #000000; border: "
                       "1px solid #767676;"
                       " padding: 2px 4px; }");
  }
  tip->setProperty("anchor", control->objectName());
  tip->setText(text);
  tip->adjustSize();
  QPoint at = control->mapTo(window, QPoint(0, control->height() + 2));
  // Inside the window, above the control when there is no room under it.
  at.setX(
      std::clamp(at.x(), 2, std::max(2, window->width() - tip->width() - 2)));
  if (at.y() + tip->height() > window->height())
    at.setY(control->mapTo(window, QPoint(0, 0)).y() - tip->height() - 2);
  tip->move(at);
  tip->raise();
  tip->show();
}

// Only the tip of this control goes: another control's hint may stand in its
// place already.
void HideHintTip(QWidget *control) {
  QLabel *tip = HintTipOf(control->window());
  if (tip && tip->property("anchor").toString() == control->objectName())
    tip->hide();
}

QString Name(std::string_view name) {
  return QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
}
} // namespace

QtControls::QtControls(WindowHost &host) : host_(host), context_(new QObject) {}

QtControls::~QtControls() { delete context_; }

template <class F> auto QtControls::Answer(F &&work) -> decltype(work()) {
  using R = decltype(work());
  if (QThread::currentThread() == context_->thread())
    return work();
  if constexpr (std::is_void_v<R>) {
    QMetaObject::invokeMethod(context_, std::forward<F>(work),
                              Qt::BlockingQueuedConnection);
  } else {
    R result{};
    QMetaObject::invokeMethod(
        context_, [&] { result = work(); }, Qt::BlockingQueuedConnection);
    return result;
  }
}

template <class F> void QtControls::Post(F &&work) {
  if (QThread::currentThread() == context_->thread())
    work();
  else
    QMetaObject::invokeMethod(context_, std::forward<F>(work),
                              Qt::QueuedConnection);
}

template <class W, class F>
void QtControls::Write(std::string_view window, std::string_view control,
                       F &&action) {
  Post([this, w = std::string(window), c = std::string(control),
        action = std::forward<F>(action)]() mutable {
    if (auto *target = dynamic_cast<W *>(Find(w, c)))
      action(target);
  });
}

template <class W, class R, class F>
R QtControls::Read(std::string_view window, std::string_view control,
                   R fallback, F &&read) {
  return Answer([&]() -> R {
    if (auto *target = dynamic_cast<W *>(Find(window, control)))
      return read(target);
    return fallback;
  });
}

QObject *QtControls::Find(std::string_view window,
                          std::string_view control) const {
  QWidget *w = host_.FindWindow(window);
  if (!w)
    return nullptr;
  if (QObject *found = w->findChild<QObject *>(Name(control)))
    return found;
  // "状态条1#0": one part of a status bar, addressed as a control of its own.
  if (const std::size_t hash = control.rfind('#');
      hash != std::string_view::npos) {
    bool number = false;
    const int part = Name(control.substr(hash + 1)).toInt(&number);
    // PartStatusBar has no meta-object of its own, so findChild would take any
    // frame of that name.
    auto *bar = dynamic_cast<PartStatusBar *>(
        w->findChild<QWidget *>(Name(control.substr(0, hash))));
    if (bar && number)
      return bar->part(part);
  }
  return nullptr;
}

base::Colour QtControls::ToColour(const QColor &c) {
  return base::Rgb(static_cast<unsigned>(c.red()),
                   static_cast<unsigned>(c.green()),
                   static_cast<unsigned>(c.blue()));
}

QColor QtControls::FromColour(base::Colour c) {
  return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

// ---- text and state

Text QtControls::GetText(std::string_view window, std::string_view control) {
  return Read<QObject>(window, control, Text(), [](QObject *o) {
    if (auto *edit = qobject_cast<QLineEdit *>(o))
      return T(edit->text());
    if (auto *label = qobject_cast<QLabel *>(o))
      return T(label->property("caption").isValid()
                   ? label->property("caption").toString()
                   : label->text());
    if (auto *button = qobject_cast<QAbstractButton *>(o))
      return T(button->text());
    if (auto *combo = qobject_cast<QComboBox *>(o))
      return T(combo->currentText());
    return T(o->property("text").toString());
  });
}

void QtControls::SetText(std::string_view window, std::string_view control,
                         const Text &text) {
  Write<QObject>(window, control, [value = Q(text)](QObject *o) {
    if (auto *edit = qobject_cast<QLineEdit *>(o))
      edit->setText(value);
    else if (auto *label = qobject_cast<QLabel *>(o);
             label && !label->property("caption").isValid())
      label->setText(value);
    else if (auto *button = qobject_cast<QAbstractButton *>(o))
      button->setText(value);
    else if (!o->isWidgetType())
      o->setProperty("text", value);
  });
}

bool QtControls::IsChecked(std::string_view window, std::string_view control) {
  return Read<QAbstractButton>(window, control, false, [](QAbstractButton *b) {
    return b->isChecked();
  });
}

void QtControls::SetChecked(std::string_view window, std::string_view control,
                            bool checked) {
  Write<QAbstractButton>(window, control, [checked](QAbstractButton *b) {
    if (b->isCheckable())
      b->setChecked(checked);
  });
}

void QtControls::SetEnabled(std::string_view window, std::string_view control,
                            bool enabled) {
  Write<QWidget>(window, control,
                 [enabled](QWidget *w) { w->setEnabled(enabled); });
}

void QtControls::SetControlVisible(std::string_view window,
                                   std::string_view control, bool visible) {
  Write<QWidget>(window, control,
                 [visible](QWidget *w) { w->setVisible(visible); });
}

void QtControls::SetFocus(std::string_view window, std::string_view control) {
  Write<QWidget>(window, control,
                 [](QWidget *w) { w->setFocus(Qt::OtherFocusReason); });
}

void QtControls::SetToolTip(std::string_view window, std::string_view control,
                            const Text &tip) {
  Write<QWidget>(window, control, [value = Q(tip)](QWidget *w) {
    // A status part is read, not acted on: its tip waits for the pointer, and
    // its description says the same to assistive tools (back to what the part
    // is for once the tip goes).
    if (dynamic_cast<PartStatusBar *>(w->parentWidget())) {
      w->setToolTip(value);
      w->setAccessibleDescription(
          value.isEmpty() ? w->property("role").toString() : value);
      return;
    }
    w->setToolTip(value);
    if (value.isEmpty())
      HideHintTip(w);
    else
      ShowHintTip(w, value);
  });
}

// ---- combo box

void QtControls::AddComboEntry(std::string_view window,
                               std::string_view control, const Text &entry) {
  Write<QComboBox>(window, control, [value = Q(entry)](QComboBox *c) {
    const int selected = c->currentIndex();
    c->addItem(value);
    // Adding an entry never selects it, as a drop-down list always behaved.
    c->setCurrentIndex(selected);
  });
}

void QtControls::SelectComboEntry(std::string_view window,
                                  std::string_view control, int index) {
  Write<QComboBox>(window, control, [index](QComboBox *c) {
    c->setCurrentIndex(index >= 0 && index < c->count() ? index : -1);
  });
}

int QtControls::ComboSelection(std::string_view window,
                               std::string_view control) {
  return Read<QComboBox>(window, control, -1,
                         [](QComboBox *c) { return c->currentIndex(); });
}

Text QtControls::ComboEntryText(std::string_view window,
                                std::string_view control, int index) {
  return Read<QComboBox>(window, control, Text(), [index](QComboBox *c) {
    return T(c->itemText(index));
  });
}

int QtControls::ComboCount(std::string_view window, std::string_view control) {
  return Read<QComboBox>(window, control, -1,
                         [](QComboBox *c) { return c->count(); });
}

// ---- list view

void QtControls::DeleteAllRows(std::string_view window,
                               std::string_view control) {
  Write<QTreeWidget>(window, control, [](QTreeWidget *l) { l->clear(); });
}

int QtControls::RowCount(std::string_view window, std::string_view control) {
  return Read<QTreeWidget>(window, control, -1, [](QTreeWidget *l) {
    return l->topLevelItemCount();
  });
}

int QtControls::AddRow(std::string_view window, std::string_view control,
                       const Text &firstColumn) {
  return Read<QTreeWidget>(window, control, -1,
                           [value = Q(firstColumn)](QTreeWidget *l) {
                             auto *item = new QTreeWidgetItem(l);
                             item->setText(0, value);
                             return l->topLevelItemCount() - 1;
                           });
}

void QtControls::SetCellText(std::string_view window, std::string_view control,
                             int row, int column, const Text &text) {
  Write<QTreeWidget>(window, control,
                     [row, column, value = Q(text)](QTreeWidget *l) {
                       if (QTreeWidgetItem *item = l->topLevelItem(row);
                           item && column >= 0 && column < l->columnCount())
                         item->setText(column, value);
                     });
}

Text QtControls::CellText(std::string_view window, std::string_view control,
                          int row, int column) {
  return Read<QTreeWidget>(window, control, Text(),
                           [row, column](QTreeWidget *l) {
                             QTreeWidgetItem *item = l->topLevelItem(row);
                             return item ? T(item->text(column)) : Text();
                           });
}

void QtControls::ScrollRowIntoView(std::string_view window,
                                   std::string_view control, int row) {
  Write<QTreeWidget>(window, control, [row](QTreeWidget *l) {
    if (QTreeWidgetItem *item = l->topLevelItem(row))
      l->scrollToItem(item);
  });
}

base::Colour QtControls::ListTextColour(std::string_view window,
                                        std::string_view control) {
  return Read<QTreeWidget>(
      window, control, base::Colour(0), [](QTreeWidget *l) {
        return ToColour(l->palette().color(QPalette::Text));
      });
}

base::Colour QtControls::ListBackgroundColour(std::string_view window,
                                              std::string_view control) {
  return Read<QTreeWidget>(
      window, control, base::Rgb(255, 255, 255), [](QTreeWidget *l) {
        return ToColour(l->palette().color(QPalette::Base));
      });
}

void QtControls::SetCellColours(std::string_view window,
                                std::string_view control, int row, int column,
                                base::Colour text, base::Colour background) {
  Write<QTreeWidget>(window, control,
                     [row, column, text, background](QTreeWidget *l) {
                       QTreeWidgetItem *item = l->topLevelItem(row);
                       if (!item || column < 0 || column >= l->columnCount())
                         return;
                       item->setForeground(column, FromColour(text));
                       item->setBackground(column, FromColour(background));
                     });
}

// ---- status bar

void QtControls::SetStatusText(std::string_view window,
                               std::string_view control, int part,
                               const Text &text) {
  Write<PartStatusBar>(window, control,
                       [part, value = Q(text)](PartStatusBar *s) {
                         s->setPartText(part, value);
                       });
}

Text QtControls::StatusText(std::string_view window, std::string_view control,
                            int part) {
  return Read<PartStatusBar>(window, control, Text(), [part](PartStatusBar *s) {
    QLabel *label = s->part(part);
    return label ? T(label->text()) : Text();
  });
}

void QtControls::SetStatusPartWidth(std::string_view window,
                                    std::string_view control, int part,
                                    int width) {
  Write<PartStatusBar>(window, control, [part, width](PartStatusBar *s) {
    s->setPartWidth(part, width);
  });
}

// ---- timers, progress, tabs, pages

void QtControls::SetTimerInterval(std::string_view window,
                                  std::string_view control, int milliseconds) {
  Write<QTimer>(window, control, [milliseconds](QTimer *t) {
    if (milliseconds <= 0) {
      t->stop();
      t->setInterval(0);
    } else {
      t->start(milliseconds);
    }
  });
}

int QtControls::TimerInterval(std::string_view window,
                              std::string_view control) {
  return Read<QTimer>(window, control, 0, [](QTimer *t) {
    return t->isActive() ? t->interval() : 0;
  });
}

void QtControls::SetProgress(std::string_view window, std::string_view control,
                             int percent) {
  Write<QProgressBar>(window, control, [percent](QProgressBar *p) {
    p->setValue(std::clamp(percent, 0, 100));
  });
}

void QtControls::SetCurrentTab(std::string_view window,
                               std::string_view control, int index) {
  Write<QWidget>(window, control, [index](QWidget *w) {
    if (auto *tabs = dynamic_cast<TabControl *>(w))
      tabs->setCurrentIndex(index);
  });
}

void QtControls::ReloadPage(std::string_view window, std::string_view control) {
  Write<QTextBrowser>(window, control, [](QTextBrowser *b) {
    b->reload();
    b->setProperty("reloads", b->property("reloads").toInt() + 1);
  });
}

// ---- windows

void QtControls::LoadWindow(std::string_view window, bool modal) {
  Answer([&] { host_.LoadWindow(window, modal); });
}

void QtControls::CloseWindow(std::string_view window) {
  Answer([&] { host_.CloseWindow(window); });
}

bool QtControls::IsWindowVisible(std::string_view window) {
  return Answer([&] {
    QWidget *w = host_.FindWindow(window);
    return w && w->isVisible();
  });
}

void QtControls::SetWindowVisible(std::string_view window, bool visible) {
  Post([this, name = std::string(window), visible] {
    if (QWidget *w = host_.FindWindow(name))
      w->setVisible(visible);
  });
}

base::Placement QtControls::WindowPlacement(std::string_view window) {
  return Answer([&] {
    QWidget *w = host_.FindWindow(window);
    return w && w->isMinimized() ? base::Placement::Minimised
                                 : base::Placement::Normal;
  });
}

void QtControls::SetWindowPlacement(std::string_view window,
                                    base::Placement placement) {
  Post([this, name = std::string(window), placement] {
    QWidget *w = host_.FindWindow(name);
    if (!w)
      return;
    if (placement == base::Placement::Minimised)
      w->setWindowState(w->windowState() | Qt::WindowMinimized);
    else
      w->setWindowState(w->windowState() & ~Qt::WindowMinimized);
  });
}

void QtControls::SetAlwaysOnTop(std::string_view window, bool onTop) {
  Post([this, name = std::string(window), onTop] {
    QWidget *w = host_.FindWindow(name);
    if (!w || w->windowFlags().testFlag(Qt::WindowStaysOnTopHint) == onTop)
      return;
    // Changing a window's flags hides it; show it again as it was.
    const bool wasVisible = w->isVisible();
    w->setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
    if (wasVisible) {
      w->show();
      if (onTop) {
        w->raise();
        w->activateWindow();
      }
    }
  });
}

void QtControls::PopupMenuAtCursor(std::string_view window,
                                   std::string_view menu) {
  Post([this, w = std::string(window), m = std::string(menu)] {
    if (auto *popup = qobject_cast<QMenu *>(Find(w, m)))
      popup->popup(QCursor::pos());
  });
}

// ---- the rest

int QtControls::MessageBox(const Text &text, int style, const Text &caption) {
  return Answer(
      [&] { return host_.ShowMessageBox(Q(text), style, Q(caption)); });
}

void QtControls::OpenAddress(const std::string &address) {
  Post([this, address] { host_.OpenAddress(address); });
}

void QtControls::PlayAlertSound() {
  Post([this] { host_.PlayAlertSound(); });
}

bool QtControls::StartProcess(const std::string &path) {
  const QString program = QString::fromStdString(path);
  const QString absolute = QFileInfo(program).isAbsolute()
                               ? program
                               : QDir::current().absoluteFilePath(program);
  return QProcess::startDetached(absolute, {}, QDir::currentPath());
}

void QtControls::EndProgram(int exitCode) {
  Answer([&] { host_.EndProgram(exitCode); });
}

} // namespace rankmoth::shell
