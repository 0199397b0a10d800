#include "window/controls/flex_grid.h"

#include "window/controls/units.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QItemSelectionModel>

#include <algorithm>

namespace vx414 {

namespace {

// Draws cells with the grid's highlight and focus-frame settings.
class FlexGridDelegate final : public QStyledItemDelegate {
public:
    explicit FlexGridDelegate(FlexGrid* grid) : QStyledItemDelegate(grid), grid_(grid) {}

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        const int highLight = grid_->HighLight();
        if (highLight == 0 || (highLight == 2 && !grid_->hasFocus()))
            option->state &= ~QStyle::State_Selected;
        if (grid_->FocusRect() == 0)
            option->state &= ~QStyle::State_HasFocus;
    }

private:
    FlexGrid* grid_;
};

}  // namespace

FlexGrid::FlexGrid(QWidget* parent) : QTableView(parent)
{
    setItemDelegate(new FlexGridDelegate(this));
    setModel(&model_);
    // Fixed rows and columns are part of the table, so Qt's own headers are not used.
    horizontalHeader()->hide();
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(pixels(240));
    verticalHeader()->setMinimumSectionSize(1);
    horizontalHeader()->setMinimumSectionSize(1);
    horizontalHeader()->setDefaultSectionSize(pixels(960));
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Tab and Shift+Tab go on to the next control, as from every other control of the
    // window; the arrow keys move inside the grid.
    setTabKeyNavigation(false);
    setSelectionMode(QAbstractItemView::NoSelection);
    setWordWrap(false);
    setTextElideMode(Qt::ElideNone);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    model_.setFonts(arialFont(11.25), arialFont(12));
    // A new grid has two rows and two columns, one of each fixed, like the platform's.
    SetRows(2);
    SetCols(2);
    SetFixedRows(1);
    SetFixedCols(1);
}

void FlexGrid::SetRows(int rows)
{
    model_.setShape(rows, model_.columnCount());
    row_ = std::min(row_, std::max(rows - 1, 0));
    rowSel_ = std::min(rowSel_, std::max(rows - 1, 0));
}

void FlexGrid::SetCols(int cols)
{
    const int before = model_.columnCount();
    model_.setShape(model_.rowCount(), cols);
    colWidths_.resize(static_cast<std::size_t>(std::max(cols, 0)), 960);
    for (int c = before; c < cols; ++c)
        setColumnWidth(c, pixels(960));
    col_ = std::min(col_, std::max(cols - 1, 0));
    colSel_ = std::min(colSel_, std::max(cols - 1, 0));
}

void FlexGrid::SetFixedRows(int rows)
{
    model_.setFixed(rows, model_.fixedCols());
}

void FlexGrid::SetFixedCols(int cols)
{
    model_.setFixed(model_.fixedRows(), cols);
}

int FlexGrid::ColWidth(int col) const
{
    if (col < 0 || col >= Cols())
        return 0;
    return colWidths_[static_cast<std::size_t>(col)];
}

void FlexGrid::SetColWidth(int col, int width)
{
    if (col < 0 || col >= Cols())
        return;
    colWidths_[static_cast<std::size_t>(col)] = std::max(width, 0);
    setColumnWidth(col, pixels(colWidths_[static_cast<std::size_t>(col)]));
}

void FlexGrid::SetRow(int row)
{
    if (row < 0 || row >= Rows())
        return;
    row_ = row;
    rowSel_ = row;
    applySelection();
}

void FlexGrid::SetCol(int col)
{
    if (col < 0 || col >= Cols())
        return;
    col_ = col;
    colSel_ = col;
    applySelection();
}

void FlexGrid::SetRowSel(int row)
{
    if (row < 0 || row >= Rows())
        return;
    rowSel_ = row;
    applySelection();
}

void FlexGrid::SetColSel(int col)
{
    if (col < 0 || col >= Cols())
        return;
    colSel_ = col;
    applySelection();
}

int FlexGrid::TopRow() const
{
    if (!isVisible())
        return topRow_;
    const int row = rowAt(0);
    return row < 0 ? topRow_ : row;
}

void FlexGrid::SetTopRow(int row)
{
    if (row < 0 || row >= Rows())
        return;
    topRow_ = row;
    scrollTo(model_.index(row, 0), QAbstractItemView::PositionAtTop);
}

void FlexGrid::showEvent(QShowEvent* event)
{
    QTableView::showEvent(event);
    // A top row set while the grid was hidden takes effect once it has its size.
    if (topRow_ > 0 && topRow_ < Rows())
        scrollTo(model_.index(topRow_, 0), QAbstractItemView::PositionAtTop);
}

void FlexGrid::scrollTo(const QModelIndex& index, ScrollHint hint)
{
    QScrollBar* across = horizontalScrollBar();
    const int before = across->value();
    QTableView::scrollTo(index, hint);
    if (!index.isValid() || isColumnHidden(index.column()) || columnWidth(index.column()) <= viewport()->width())
        return;
    // A cell wider than the view: where it lies in the whole table, and whether any of it
    // was in view. In view, the view stays where the user left it; out of view, its start
    // is brought in, never its far end.
    const int left = columnViewportPosition(index.column()) + across->value();
    const int right = left + columnWidth(index.column());
    const bool wasInView = left < before + viewport()->width() && right > before;
    across->setValue(wasInView ? before : left);
}

void FlexGrid::mousePressEvent(QMouseEvent* event)
{
    // The right button opens the context menu and nothing else: the selection the menu
    // acts on and the current cell stay as they were.
    if (event->button() == Qt::RightButton) {
        event->accept();
        return;
    }
    QTableView::mousePressEvent(event);
}

void FlexGrid::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier && selectionModel() != nullptr
        && selectionModel()->hasSelection()) {
        clearSelection();
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

int FlexGrid::Left() const { return twips(x()); }
int FlexGrid::Top() const { return twips(y()); }
int FlexGrid::Width() const { return twips(width()); }
int FlexGrid::Height() const { return twips(height()); }

bool FlexGrid::Move(int left, int top, int width, int height)
{
    if (width < 0 || height < 0)
        return false;
    setGeometry(pixels(left), pixels(top), pixels(width), pixels(height));
    return true;
}

void FlexGrid::SetHighLight(int mode)
{
    highLight_ = mode;
    viewport()->update();
}

void FlexGrid::SetFocusRect(int mode)
{
    focusRect_ = mode;
    viewport()->update();
}

void FlexGrid::applySelection()
{
    QItemSelectionModel* sel = selectionModel();
    if (!sel || Rows() == 0 || Cols() == 0)
        return;
    const QModelIndex current = model_.index(row_, col_);
    sel->setCurrentIndex(current, QItemSelectionModel::NoUpdate);
    const QItemSelection range(model_.index(std::min(row_, rowSel_), std::min(col_, colSel_)),
                               model_.index(std::max(row_, rowSel_), std::max(col_, colSel_)));
    sel->select(range, QItemSelectionModel::ClearAndSelect);
}

}  // namespace vx414
