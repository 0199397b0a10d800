// Copy, Save As and Print on the result table FlexList and the glossary list FlexList1:
// a context menu on each grid (right click, the menu key or Shift+F10) and the shortcuts
// Ctrl+C, Ctrl+S and Ctrl+P anywhere in the window, acting on the glossary while it is
// shown and on the result table otherwise. Rows of either grid can be selected (click,
// Shift+click, Ctrl+click, drag, Shift+arrows; Escape clears); Copy takes the selected
// rows. The window's handlers are left as they are; this object only listens to them.
#pragma once

#include "report/report_format.h"
#include "report/unit_system.h"
#include "window/platform/export_services.h"
#include "window/platform/services.h"

#include <QKeySequence>
#include <QObject>

#include <functional>
#include <optional>
#include <vector>

class QAction;
class QMenu;

namespace vx414 {

class FlexGrid;
class frmMain;

// The dialogs and the message box the actions use.
struct ExportServices {
    MessageBox& messageBox;
    SaveDialog& saveDialog;
    PrintDialog& printDialog;
};

class ResultExport final : public QObject {
    Q_OBJECT
public:
    enum class Grid { Results, Glossary };

    ResultExport(frmMain& form, ExportServices services);

    // The grid's context menu, with the actions Copy, Save As… and Print….
    QMenu* menu(Grid grid) const;

    // Copy puts the selected rows (every row when none is selected) on the clipboard as
    // tab-separated text with the heading row.
    void copy(Grid grid);
    // Save As writes CSV or JSON, as the user chose, to the file the user chose.
    void saveAs(Grid grid);
    // Print asks for a printer (or a PDF file) and prints the whole list.
    void print(Grid grid);

    // The read shown in the result table: its codes with their kinds and the definitions
    // the table shows. rows limits it to those table rows; codes only, never the "*" rows
    // or the total line.
    ReadReport readReport(const std::vector<int>* rows = nullptr) const;
    std::vector<GlossaryText> glossaryEntries(const std::vector<int>* rows = nullptr) const;

    // The units the freeze frame's values are given in (the Live data window's choice);
    // SI units as read without it.
    void setUnits(std::function<UnitSystem()> units) { units_ = std::move(units); }

private:
    FlexGrid* gridOf(Grid grid) const;
    void attach(Grid grid);
    // The grid the window-wide keys act on: the glossary while it is shown, else the
    // result table while it is shown; nothing before either is.
    std::optional<Grid> shownGrid() const;
    void addWindowKey(const QKeySequence& keys, void (ResultExport::*act)(Grid));
    void showMenu(Grid grid, const QPoint& position);
    std::vector<int> selectedRows(Grid grid) const;
    QString suggestedName(Grid grid) const;
    bool writeFile(const QString& path, const std::string& bytes);

    frmMain& form_;
    ExportServices services_;
    QMenu* menus_[2] = {nullptr, nullptr};
    std::vector<QKeySequence> windowKeys_;  // the keys given a window-wide shortcut so far
    std::function<UnitSystem()> units_;
};

}  // namespace vx414
