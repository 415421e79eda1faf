#include "window/qt/CheckList.h"

#include <QApplication>
#include <QMouseEvent>
#include <QResizeEvent>
#include <QScrollBar>
#include <QStyle>
#include <algorithm>
#include <utility>

namespace zelo {

CheckList::CheckList(QWidget* parent) : QListWidget(parent) {
    setFlow(QListView::TopToBottom);
    setWrapping(true);
    setResizeMode(QListView::Adjust);
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    // Every item gets a cell of its own (the font shrinks to fit), so no scroll bar is ever needed; one that
    // may appear would also make the list reserve its height and lose a row per column.
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    connect(this, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
        // One toggle per user action: marks the handler changes in turn are the program's.
        if (UserToggling) {
            UserToggling = false;
            Toggled = true;
            emit CheckClicked(row(item));
        }
    });
}

void CheckList::SetColumns(int columns) {
    Columns = columns < 1 ? 1 : columns;
    UpdateGrid();
    FitFont();
}

void CheckList::FitFont() {
    // The platform's font, made smaller only when the longest item would not fit its cell.
    const QSize cell = gridSize();
    if (cell.isEmpty())
        return;
    const int indicator = style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, this) + 12;
    QFont font = parentWidget() != nullptr ? parentWidget()->font() : QApplication::font();
    for (qreal size = font.pointSizeF(); size >= 6.0; size -= 0.5) {
        font.setPointSizeF(size);
        const QFontMetrics metrics(font);
        int widest = 0;
        for (int i = 0; i < count(); ++i)
            widest = std::max(widest, metrics.horizontalAdvance(item(i)->text()));
        if (widest + indicator <= cell.width() && metrics.height() <= cell.height() + 2)
            break;
    }
    setFont(font);
}

bool CheckList::Checked(int row) const {
    const QListWidgetItem* it = item(row);
    return it != nullptr && it->checkState() == Qt::Checked;
}

void CheckList::SetChecked(int row, bool checked) {
    if (QListWidgetItem* it = item(row))
        it->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
}

void CheckList::SetItemEnabled(int row, bool enabled) {
    if (QListWidgetItem* it = item(row))
        it->setFlags(enabled ? it->flags() | Qt::ItemIsEnabled : it->flags() & ~Qt::ItemIsEnabled);
}

bool CheckList::ItemEnabled(int row) const {
    const QListWidgetItem* it = item(row);
    return it != nullptr && (it->flags() & Qt::ItemIsEnabled);
}

bool CheckList::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) {
    // The item delegate toggles the check box inside this call when the user clicks it or presses space.
    const bool outer = !UserToggling;
    UserToggling = event != nullptr;
    const bool result = QListWidget::edit(index, trigger, event);
    if (outer)
        UserToggling = false;
    return result;
}

void CheckList::mousePressEvent(QMouseEvent* event) {
    const QListWidgetItem* pressed = itemAt(event->position().toPoint());
    PressedRow = pressed != nullptr ? row(pressed) : -1;
    QListWidget::mousePressEvent(event);
}

void CheckList::mouseDoubleClickEvent(QMouseEvent* event) {
    DoubleClicked = true;
    QListWidget::mouseDoubleClickEvent(event);
}

void CheckList::mouseReleaseEvent(QMouseEvent* event) {
    Toggled = false;
    const bool second = std::exchange(DoubleClicked, false);
    QListWidget::mouseReleaseEvent(event);
    // The delegate toggles a mark clicked on its box; a click on the text is for the window to judge.
    const QListWidgetItem* released = itemAt(event->position().toPoint());
    if (Toggled || second || event->button() != Qt::LeftButton || released == nullptr ||
        row(released) != PressedRow || !(released->flags() & Qt::ItemIsEnabled))
        return;
    emit TextClicked(PressedRow);
}

void CheckList::resizeEvent(QResizeEvent* event) {
    QListWidget::resizeEvent(event);
    UpdateGrid();
    FitFont();
}

void CheckList::UpdateGrid() {
    const int rows = (count() + Columns - 1) / Columns;
    if (rows <= 0)
        return;
    // The viewport, not the widget: frames and a horizontal scroll bar take their share.
    const QSize area = viewport()->size();
    setGridSize(QSize(area.width() / Columns, area.height() / rows));
}

} // namespace zelo
