// Items of combo boxes and list views, check boxes, the report view's cells, and
// progress bars.

#include <algorithm>

#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QProgressBar>
#include <QTableWidget>

#include "window/window.h"
#include "window/window_internal.h"

namespace ferry {
namespace {

constexpr int RowDataRole = Qt::UserRole;

Qt::Alignment toQtAlignment(ColumnAlign align) {
    switch (align) {
        case ColumnAlign::Right: return Qt::AlignRight | Qt::AlignVCenter;
        case ColumnAlign::Centre: return Qt::AlignHCenter | Qt::AlignVCenter;
        default: return Qt::AlignLeft | Qt::AlignVCenter;
    }
}

bool validRow(const QTableWidget* table, std::int32_t row) {
    return row >= 0 && row < table->rowCount();
}

// The cell's item, made with its column's alignment when it does not exist yet.
QTableWidgetItem* cellItem(QTableWidget* table, int row, int column) {
    QTableWidgetItem* item = table->item(row, column);
    if (item != nullptr) return item;
    item = new QTableWidgetItem;
    if (const QTableWidgetItem* header = table->horizontalHeaderItem(column)) {
        item->setTextAlignment(Qt::Alignment(QFlag(header->textAlignment())));
    }
    table->setItem(row, column, item);
    return item;
}

void unselect(QComboBox* combo, const QString& typed) {
    combo->setCurrentIndex(-1);
    if (combo->isEditable()) combo->setEditText(typed);
}

}  // namespace

std::int32_t Window::addItem(std::string_view text) {
    return insertItem(-1, text);
}

std::int32_t Window::insertItem(std::int32_t index, std::string_view text) {
    if (index > itemCount()) return -1;
    if (index < 0) index = itemCount();
    if (auto* combo = qobject_cast<QComboBox*>(widget_)) {
        // Qt selects the first entry of an empty list; here nothing is selected until the
        // program or the user selects something, and the typed text stays.
        const bool noneSelected = combo->currentIndex() < 0;
        const QString typed = combo->currentText();
        combo->insertItem(index, toQt(text));
        if (noneSelected) unselect(combo, typed);
        return index;
    }
    if (auto* table = qobject_cast<QTableWidget*>(widget_)) {
        table->insertRow(index);
        setCellText(index, 0, text);
        return index;
    }
    return -1;
}

void Window::deleteItem(std::int32_t index) {
    if (index < 0 || index >= itemCount()) return;
    if (auto* combo = qobject_cast<QComboBox*>(widget_)) {
        // Qt would select a neighbour in place of a deleted selected entry; here the
        // selection goes with it and the typed text stays.
        const bool wasSelected = combo->currentIndex() == index;
        const QString typed = combo->currentText();
        combo->removeItem(index);
        if (wasSelected) unselect(combo, typed);
    }
    if (auto* table = qobject_cast<QTableWidget*>(widget_)) table->removeRow(index);
}

std::int32_t Window::itemCount() const {
    if (auto* combo = qobject_cast<QComboBox*>(widget_)) return combo->count();
    if (auto* table = qobject_cast<QTableWidget*>(widget_)) return table->rowCount();
    return 0;
}

std::string Window::itemText(std::int32_t index) const {
    if (auto* combo = qobject_cast<QComboBox*>(widget_)) {
        return index >= 0 && index < combo->count() ? fromQt(combo->itemText(index)) : "";
    }
    return cellText(index, 0);
}

void Window::clearItems() {
    if (auto* combo = qobject_cast<QComboBox*>(widget_)) combo->clear();
    if (auto* table = qobject_cast<QTableWidget*>(widget_)) table->setRowCount(0);
}

std::int32_t Window::currentIndex() const {
    if (auto* combo = qobject_cast<QComboBox*>(widget_)) return combo->currentIndex();
    return selectedRow();
}

void Window::setCurrentIndex(std::int32_t index) {
    if (auto* combo = qobject_cast<QComboBox*>(widget_)) {
        combo->setCurrentIndex(index >= 0 && index < combo->count() ? index : -1);
    } else {
        selectRow(index);
    }
}

std::int32_t Window::findItemExact(std::string_view text) const {
    if (auto* combo = qobject_cast<QComboBox*>(widget_)) {
        // A fixed-string match ignores letter case unless asked not to.
        return combo->findText(toQt(text), Qt::MatchFixedString);
    }
    return -1;
}

bool Window::checked() const {
    auto* box = qobject_cast<QCheckBox*>(widget_);
    return box != nullptr && box->isChecked();
}

void Window::setChecked(bool on) {
    if (auto* box = qobject_cast<QCheckBox*>(widget_)) box->setChecked(on);
}

void Window::addColumn(std::string_view caption, std::int32_t width, ColumnAlign align) {
    auto* table = qobject_cast<QTableWidget*>(widget_);
    if (table == nullptr) return;
    const int column = table->columnCount();
    table->setColumnCount(column + 1);
    auto* header = new QTableWidgetItem(toQt(caption));
    header->setTextAlignment(toQtAlignment(align));
    table->setHorizontalHeaderItem(column, header);
    table->setColumnWidth(column, width);
}

void Window::setProgress(std::uint64_t done, std::uint64_t total) {
    auto* bar = qobject_cast<QProgressBar*>(widget_);
    if (bar == nullptr) return;
    const double part =
        total == 0 ? 0.0 : static_cast<double>(std::min(done, total)) / static_cast<double>(total);
    bar->setValue(static_cast<int>(part * ProgressSteps));
}

std::string Window::elidedText(std::string_view text, std::int32_t width) const {
    return fromQt(widget_->fontMetrics().elidedText(toQt(text), Qt::ElideMiddle, width));
}

std::int32_t Window::addRow(std::string_view text) {
    return qobject_cast<QTableWidget*>(widget_) != nullptr ? addItem(text) : -1;
}

std::string Window::cellText(std::int32_t row, std::int32_t column) const {
    auto* table = qobject_cast<QTableWidget*>(widget_);
    if (table == nullptr || !validRow(table, row)) return "";
    const QTableWidgetItem* item = table->item(row, column);
    return item != nullptr ? fromQt(item->text()) : "";
}

void Window::setCellText(std::int32_t row, std::int32_t column, std::string_view text) {
    auto* table = qobject_cast<QTableWidget*>(widget_);
    if (table == nullptr || !validRow(table, row) || column < 0 || column >= table->columnCount()) {
        return;
    }
    QTableWidgetItem* item = cellItem(table, row, column);
    item->setText(toQt(text));
    // A column too narrow for a long path still shows all of it on pointing.
    item->setToolTip(item->text());
}

std::uint32_t Window::rowData(std::int32_t row) const {
    auto* table = qobject_cast<QTableWidget*>(widget_);
    if (table == nullptr || !validRow(table, row)) return 0;
    const QTableWidgetItem* item = table->item(row, 0);
    return item != nullptr ? item->data(RowDataRole).toUInt() : 0;
}

void Window::setRowData(std::int32_t row, std::uint32_t value) {
    auto* table = qobject_cast<QTableWidget*>(widget_);
    if (table == nullptr || !validRow(table, row)) return;
    cellItem(table, row, 0)->setData(RowDataRole, value);
}

std::int32_t Window::selectedRow() const {
    auto* table = qobject_cast<QTableWidget*>(widget_);
    if (table == nullptr) return -1;
    std::int32_t first = -1;
    for (const QModelIndex& index : table->selectionModel()->selectedIndexes()) {
        if (first < 0 || index.row() < first) first = index.row();
    }
    return first;
}

void Window::selectRow(std::int32_t row) {
    auto* table = qobject_cast<QTableWidget*>(widget_);
    if (table == nullptr || !validRow(table, row)) return;
    table->setCurrentCell(row, 0, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void Window::ensureRowVisible(std::int32_t row) {
    auto* table = qobject_cast<QTableWidget*>(widget_);
    if (table == nullptr || !validRow(table, row)) return;
    table->scrollTo(table->model()->index(row, 0));
}

}  // namespace ferry
