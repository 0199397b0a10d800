#include "window/controls/flex_grid.h"

#include "window/controls/units.h"

#include <QHeaderView>
#include <QItemSelectionModel>

#include <algorithm>

namespace vx414 {

FlexGrid::FlexGrid(QWidget* parent) : QTableView(parent)
{
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
    return twips(columnWidth(col));
}

void FlexGrid::SetColWidth(int col, int width)
{
    if (col < 0 || col >= Cols())
        return;
    setColumnWidth(col, std::max(pixels(width), 0));
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

void FlexGrid::SetHighlight(int mode)
{
    highlight_ = mode;
    applySelection();
}

void FlexGrid::applySelection()
{
    QItemSelectionModel* sel = selectionModel();
    if (!sel || Rows() == 0 || Cols() == 0)
        return;
    const QModelIndex current = model_.index(row_, col_);
    sel->setCurrentIndex(current, QItemSelectionModel::NoUpdate);
    if (highlight_ == 0) {
        sel->clearSelection();
        return;
    }
    const QItemSelection range(model_.index(std::min(row_, rowSel_), std::min(col_, colSel_)),
                               model_.index(std::max(row_, rowSel_), std::max(col_, colSel_)));
    sel->select(range, QItemSelectionModel::ClearAndSelect);
}

}  // namespace vx414
