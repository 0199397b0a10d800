// The grid control of the window: rows and columns of text with fixed (header) rows and
// columns, column widths in twips, a current cell and selection, a top row, and bounds in
// twips. A QTableView over a StringMatrixModel.
#pragma once

#include "window/controls/string_matrix_model.h"

#include <QTableView>

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

    int ColWidth(int col) const;            // twips
    void SetColWidth(int col, int twips);

    const QString& TextMatrix(int row, int col) const { return model_.text(row, col); }
    void SetTextMatrix(int row, int col, const QString& text) { model_.setText(row, col, text); }

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

    // Highlight of the current cell and selection: 1 shows it as the user expects of a
    // list of results, 0 turns it off (a read-only list that is only scrolled).
    void SetHighlight(int mode);
    int Highlight() const { return highlight_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void applySelection();

    StringMatrixModel model_;
    int row_ = 0;
    int col_ = 0;
    int rowSel_ = 0;
    int colSel_ = 0;
    int topRow_ = 0;
    int highlight_ = 1;
};

}  // namespace vx414
