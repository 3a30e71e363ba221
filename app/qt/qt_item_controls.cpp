// QtControls on combo boxes and list views.
#include "app/qt/qt_controls_access.h"

#include <QComboBox>
#include <QTreeWidget>

namespace rankmoth::shell {

// ---- combo box

void QtControls::AddComboEntry(std::string_view window, std::string_view control, const Text& entry) {
    Write<QComboBox>(window, control, [value = Q(entry)](QComboBox* c) {
        const int selected = c->currentIndex();
        c->addItem(value);
        // Adding an entry never selects it, as a drop-down list always behaved.
        c->setCurrentIndex(selected);
    });
}

void QtControls::SelectComboEntry(std::string_view window, std::string_view control, int index) {
    Write<QComboBox>(window, control,
                     [index](QComboBox* c) { c->setCurrentIndex(index >= 0 && index < c->count() ? index : -1); });
}

int QtControls::ComboSelection(std::string_view window, std::string_view control) {
    return Read<QComboBox>(window, control, -1, [](QComboBox* c) { return c->currentIndex(); });
}

Text QtControls::ComboEntryText(std::string_view window, std::string_view control, int index) {
    return Read<QComboBox>(window, control, Text(), [index](QComboBox* c) { return T(c->itemText(index)); });
}

int QtControls::ComboCount(std::string_view window, std::string_view control) {
    return Read<QComboBox>(window, control, -1, [](QComboBox* c) { return c->count(); });
}

// ---- list view

void QtControls::DeleteAllRows(std::string_view window, std::string_view control) {
    Write<QTreeWidget>(window, control, [](QTreeWidget* l) { l->clear(); });
}

int QtControls::RowCount(std::string_view window, std::string_view control) {
    return Read<QTreeWidget>(window, control, -1, [](QTreeWidget* l) { return l->topLevelItemCount(); });
}

int QtControls::AddRow(std::string_view window, std::string_view control, const Text& firstColumn) {
    return Read<QTreeWidget>(window, control, -1, [value = Q(firstColumn)](QTreeWidget* l) {
        auto* item = new QTreeWidgetItem(l);
        item->setText(0, value);
        return l->topLevelItemCount() - 1;
    });
}

void QtControls::SetCellText(std::string_view window, std::string_view control, int row, int column, const Text& text) {
    Write<QTreeWidget>(window, control, [row, column, value = Q(text)](QTreeWidget* l) {
        if (QTreeWidgetItem* item = l->topLevelItem(row); item && column >= 0 && column < l->columnCount())
            item->setText(column, value);
    });
}

Text QtControls::CellText(std::string_view window, std::string_view control, int row, int column) {
    return Read<QTreeWidget>(window, control, Text(), [row, column](QTreeWidget* l) {
        QTreeWidgetItem* item = l->topLevelItem(row);
        return item ? T(item->text(column)) : Text();
    });
}

void QtControls::ScrollRowIntoView(std::string_view window, std::string_view control, int row) {
    Write<QTreeWidget>(window, control, [row](QTreeWidget* l) {
        if (QTreeWidgetItem* item = l->topLevelItem(row))
            l->scrollToItem(item);
    });
}

base::Colour QtControls::ListTextColour(std::string_view window, std::string_view control) {
    return Read<QTreeWidget>(window, control, base::Colour(0),
                             [](QTreeWidget* l) { return ToColour(l->palette().color(QPalette::Text)); });
}

base::Colour QtControls::ListBackgroundColour(std::string_view window, std::string_view control) {
    return Read<QTreeWidget>(window, control, base::Rgb(255, 255, 255),
                             [](QTreeWidget* l) { return ToColour(l->palette().color(QPalette::Base)); });
}

void QtControls::SetCellColours(std::string_view window, std::string_view control, int row, int column,
                                base::Colour text, base::Colour background) {
    Write<QTreeWidget>(window, control, [row, column, text, background](QTreeWidget* l) {
        QTreeWidgetItem* item = l->topLevelItem(row);
        if (!item || column < 0 || column >= l->columnCount())
            return;
        item->setForeground(column, FromColour(text));
        item->setBackground(column, FromColour(background));
    });
}

} // namespace rankmoth::shell
