#include "window/controls/string_matrix_model.h"

#include <QBrush>
#include <QColor>

#include <algorithm>

namespace vx414 {

StringMatrixModel::StringMatrixModel(QObject* parent) : QAbstractTableModel(parent) {}

int StringMatrixModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : rows_;
}

int StringMatrixModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : cols_;
}

QVariant StringMatrixModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rows_ || index.column() >= cols_)
        return {};
    const bool fixed = isFixed(index.row(), index.column());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
    case Qt::AccessibleTextRole:
        return text(index.row(), index.column());
    case Qt::FontRole:
        return fixed ? fixedFont_ : cellFont_;
    case Qt::BackgroundRole:
        // Fixed cells look like headers: the button face of the platform.
        if (fixed)
            return QBrush(QColor(0xC0, 0xC0, 0xC0));
        return {};
    default:
        return {};
    }
}

void StringMatrixModel::setShape(int rows, int cols)
{
    rows = std::max(rows, 0);
    cols = std::max(cols, 0);
    if (rows == rows_ && cols == cols_)
        return;
    beginResetModel();
    const std::size_t keep = static_cast<std::size_t>(rows) * static_cast<std::size_t>(cols);
    if (cols == cols_) {
        if (cells_.size() > keep)
            cells_.resize(keep);
    } else {
        const int storedRows = cols_ > 0 ? static_cast<int>(cells_.size() / static_cast<std::size_t>(cols_)) : 0;
        const int keepRows = std::min(rows, storedRows);
        const int keepCols = std::min(cols, cols_);
        std::vector<QString> next(static_cast<std::size_t>(keepRows) * static_cast<std::size_t>(cols));
        for (int r = 0; r < keepRows; ++r)
            for (int c = 0; c < keepCols; ++c)
                next[static_cast<std::size_t>(r * cols + c)] =
                    std::move(cells_[static_cast<std::size_t>(r * cols_ + c)]);
        cells_ = std::move(next);
    }
    rows_ = rows;
    cols_ = cols;
    endResetModel();
}

const QString& StringMatrixModel::text(int row, int col) const
{
    static const QString empty;
    if (row < 0 || col < 0 || row >= rows_ || col >= cols_)
        return empty;
    const std::size_t at = static_cast<std::size_t>(row * cols_ + col);
    return at < cells_.size() ? cells_[at] : empty;
}

void StringMatrixModel::reserveRows(int rows)
{
    if (rows > 0 && cols_ > 0)
        cells_.reserve(static_cast<std::size_t>(rows) * static_cast<std::size_t>(cols_));
}

void StringMatrixModel::setText(int row, int col, const QString& text)
{
    if (row < 0 || col < 0 || row >= rows_ || col >= cols_)
        return;
    const std::size_t at = static_cast<std::size_t>(row * cols_ + col);
    if (at >= cells_.size()) {
        if (text.isEmpty())
            return;  // an unstored cell is empty already
        cells_.resize(static_cast<std::size_t>(row + 1) * static_cast<std::size_t>(cols_));
    }
    QString& cell = cells_[at];
    if (cell == text)
        return;
    cell = text;
    if (batchDepth_ > 0) {
        batchChanged_ = true;
        return;
    }
    const QModelIndex i = index(row, col);
    emit dataChanged(i, i, {Qt::DisplayRole});
}

void StringMatrixModel::beginBatch()
{
    ++batchDepth_;
}

void StringMatrixModel::endBatch()
{
    if (batchDepth_ == 0 || --batchDepth_ > 0)
        return;
    if (batchChanged_ && rows_ > 0 && cols_ > 0)
        emit dataChanged(index(0, 0), index(rows_ - 1, cols_ - 1), {Qt::DisplayRole});
    batchChanged_ = false;
}

void StringMatrixModel::setFixed(int rows, int cols)
{
    fixedRows_ = std::max(rows, 0);
    fixedCols_ = std::max(cols, 0);
    if (rows_ > 0 && cols_ > 0)
        emit dataChanged(index(0, 0), index(rows_ - 1, cols_ - 1));
}

void StringMatrixModel::setFonts(const QFont& cellFont, const QFont& fixedFont)
{
    cellFont_ = cellFont;
    fixedFont_ = fixedFont;
}

}  // namespace vx414
