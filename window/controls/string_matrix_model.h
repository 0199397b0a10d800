// A table of strings for the grids: one QString per cell in one flat vector, so that a
// table of 10,000 rows costs no per-cell objects. The vector holds the rows up to the last
// one written; the rows below it are empty without being stored, so that a table shaped
// to 10,000 rows and filled with 2,500 costs the memory of 2,500.
#pragma once

#include <QAbstractTableModel>
#include <QFont>
#include <QString>

#include <vector>

namespace vx414 {

class StringMatrixModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit StringMatrixModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    // Changing the shape keeps the text of every cell that stays inside it.
    void setShape(int rows, int cols);
    // Room for `rows` stored rows at once, for a table about to be filled row by row: the
    // cells then grow in place instead of doubling (a doubling holds the old and the new
    // cells at once, and the slack stays).
    void reserveRows(int rows);
    const QString& text(int row, int col) const;
    void setText(int row, int col, const QString& text);

    // While a batch is open, changed cells are not announced one by one; closing it
    // announces them once, as a change of the whole table. Batches nest.
    void beginBatch();
    void endBatch();

    void setFixed(int rows, int cols);
    int fixedRows() const { return fixedRows_; }
    int fixedCols() const { return fixedCols_; }
    void setFonts(const QFont& cellFont, const QFont& fixedFont);

private:
    bool isFixed(int row, int col) const { return row < fixedRows_ || col < fixedCols_; }

    int rows_ = 0;
    int cols_ = 0;
    int fixedRows_ = 0;
    int fixedCols_ = 0;
    int batchDepth_ = 0;
    bool batchChanged_ = false;
    std::vector<QString> cells_;
    QFont cellFont_;
    QFont fixedFont_;
};

}  // namespace vx414
