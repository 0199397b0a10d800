// The grid control of the window: rows and columns of text with fixed (header) rows and
// columns, column widths in twips, a current cell and selection, a top row, and bounds in
// twips. A QTableView over a StringMatrixModel.
#pragma once

#include "window/controls/string_matrix_model.h"

#include <QTableView>

#include <vector>

namespace vx414 {

class FlexGrid final : public QTableView {
    Q_OBJECT
public:
    explicit FlexGrid(QWidget* parent = nullptr);

    int Rows() const { return model_.rowCount(); }
    void SetRows(int rows);
    int Cols() const { return model_.columnCount(); }
    void SetCols(int cols);
    int FixedRows() const { return model_.fixedRows(); }
    void SetFixedRows(int rows);
    int FixedCols() const { return model_.fixedCols(); }
    void SetFixedCols(int cols);

    int ColWidth(int col) const;            // twips, as set
    void SetColWidth(int col, int twips);

    // Many cells written at once (a make or the glossary loaded): while a CellBatch lives,
    // the grid's cell changes are announced once, when it ends, not cell by cell.
    class CellBatch {
    public:
        explicit CellBatch(FlexGrid& grid) : model_(grid.model_) { model_.beginBatch(); }
        ~CellBatch() { model_.endBatch(); }
        CellBatch(const CellBatch&) = delete;
        CellBatch& operator=(const CellBatch&) = delete;

    private:
        StringMatrixModel& model_;
    };

    const QString& TextMatrix(int row, int col) const { return model_.text(row, col); }
    void SetTextMatrix(int row, int col, const QString& text) { model_.setText(row, col, text); }
    // Room for `rows` rows before a fill row by row (StringMatrixModel::reserveRows).
    void ReserveRows(int rows) { model_.reserveRows(rows); }

    int Row() const { return row_; }
    void SetRow(int row);
    int Col() const { return col_; }
    void SetCol(int col);
    int RowSel() const { return rowSel_; }
    void SetRowSel(int row);
    int ColSel() const { return colSel_; }
    void SetColSel(int col);
    int TopRow() const;
    void SetTopRow(int row);

    // Bounds in twips. Move refuses a negative width or height and keeps the old bounds,
    // returning false.
    int Left() const;
    int Top() const;
    int Width() const;
    int Height() const;
    bool Move(int left, int top, int width, int height);

    // How the selected cells are highlighted: 0 never, 1 always, 2 only while the grid
    // has the keyboard focus.
    void SetHighLight(int mode);
    int HighLight() const { return highLight_; }
    // The frame around the current cell: 0 none, 1 a light one.
    void SetFocusRect(int mode);
    int FocusRect() const { return focusRect_; }

    // A cell wider than the view (the Definition column spans the window) never slides the
    // view sideways while any of it shows; out of view, its start is brought in.
    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;

protected:
    void showEvent(QShowEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void applySelection();

    StringMatrixModel model_;
    int row_ = 0;
    int col_ = 0;
    int rowSel_ = 0;
    int colSel_ = 0;
    std::vector<int> colWidths_;  // twips as set; shown to the nearest pixel
    int topRow_ = 0;
    int highLight_ = 1;
    int focusRect_ = 1;
};

}  // namespace vx414
