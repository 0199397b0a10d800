// The program's working window: its controls, its form-level state and its handlers.
// The handlers are spread over frm_main_*.cpp by concern; the logic they call lives in
// the reader and definitions libraries.
#pragma once

#include "definitions/data_file.h"
#include "reader/device_library.h"
#include "reader/report_receiver.h"
#include "report/report_format.h"
#include "window/controls/command_button.h"
#include "window/controls/control_array.h"
#include "window/controls/flex_grid.h"
#include "window/controls/picture_box.h"
#include "window/platform/services.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <cstdint>
#include <vector>

class QShortcut;

namespace vx414 {

class frmAbout;
class HelpViewer;

// The decoded codes of a read, entries 1 to CodeCount (entry 0 unused): room for the
// largest report any link hands over (the reader's frame holds 61 codes, an ELM327
// adapter's report up to MaxLinkReportCodes).
using DecodedCodeList = std::array<QString, MaxLinkReportCodes + 1>;

// What the window needs from outside: the platform's services and the reader's library.
struct Platform {
    MessageBox& messageBox;
    Beep& beep;
    Pointers& pointers;
    ProgramEnd& programEnd;
    DeviceLibrary& device;
    QString programFolder;  // the folder of the program file, no trailing separator
    // The local time now: when a read's codes arrived, for every view and file of it.
    std::function<LocalTime()> clock = localTimeNow;
};

// A straight line drawn on the window's surface, in twips.
struct LineControl {
    int x1, y1, x2, y2;
    int widthPixels;
    std::uint32_t color;  // 0xBBGGRR
    bool visible;
};

class frmMain final : public QWidget {
    Q_OBJECT
public:
    explicit frmMain(Platform& platform, QWidget* parent = nullptr);
    ~frmMain() override;

    // Client size in twips (the window's scale width and height) and outer width.
    int ScaleWidth() const;
    int ScaleHeight() const;
    int OuterWidth() const;

    // Shrinks the window to the largest size that fits `available` (a screen's available
    // area, in pixels, frame included) when its design size does not; a window that fits is
    // left at its design size.
    void fitToScreen(const QSize& available);

    // --- Controls ------------------------------------------------------------------
    CommandButton* Link;
    CommandButton* Glossary;
    CommandButton* Help;
    CommandButton* About;
    CommandButton* EXITcmd;
    QComboBox* Vehicle;
    QLineEdit* CODESearch;
    QLineEdit* TXTGlossary;
    FlexGrid* flexDemo;
    FlexGrid* FlexList;
    FlexGrid* FlexList1;
    PictureBox* picProcessBar;
    QTimer* Timer1;
    QTimer* TimerBar;
    QLabel* Label_PN;
    ControlArray<QLabel> LabelVS;  // element 0
    ControlArray<QLabel> LabelCS;  // element 1
    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QLabel* Label4;
    QLabel* Label5;
    QLabel* Image2;
    QLabel* Image1;
    LineControl Line2;
    LineControl Line1;

    // --- Handlers --------------------------------------------------------------------
    void Form_Load();
    // Whether Form_Load leaves reading the definitions and the glossary until the window's
    // first paint has been shown (the program does; a new window reads them in Form_Load).
    void SetDeferredLoad(bool deferred) { deferredLoad_ = deferred; }
    // True from Form_Load until the definitions and the glossary have been read.
    bool DataPending() const { return dataPending_; }
    // Reads the definitions and the glossary now if Form_Load left them for later. Every
    // handler that uses them calls this first, so none of them sees an empty table.
    void awaitData();
    void Form_Resize();
    void Form_MouseMove();
    void Link_Click();
    void Glossary_Click();
    void Help_Click();
    void About_Click();
    void EXITcmd_Click();
    void Vehicle_Click();
    // A key typed on the make box (closed) or its open list: the makes are picked by what
    // is typed, as people write them (frm_main_makes.cpp). True when the key was taken.
    bool Vehicle_KeyPress(QObject* target, const QString& text);
    void CODESearch_Change();
    void Timer1_Timer();
    void TimerBar_Timer();
    void Link_MouseMove();
    void Glossary_MouseMove();
    void Help_MouseMove();
    void About_MouseMove();
    void EXITcmd_MouseMove();
    void ChangeColor(CommandButton* button);

    // --- Data file, makes, glossary ------------------------------------------------------
    int datafilecheck() const;
    void definevehicle();
    void cartypeselect();
    // Appends the generic extension's records from row R on; a damaged one appends none.
    DataFileStatus appendGenericExtension(int& R);
    void loadglossary();

    // --- Result table ------------------------------------------------------------------
    void PrepareResultTable();
    void ClearResultRows();
    // The last permanentCount of the count codes are permanent ones (service 0A of an
    // ELM327 adapter), shown with the kind "Permanent" after the stored codes.
    void FillResultTable(const DecodedCodeList& codes, int count,
                         int firstBlockCount, const QString& firstKind,
                         const QString& secondKind, int permanentCount = 0);
    void WriteTotalLine(int count);
    // A code's meaning in the definitions table: the row it is taken from (meaningRow, as
    // the command line takes it), and what is said in place of a missing one for the make
    // the Vehicle box shows ("" for a code that is simply unknown).
    int meaningRowOf(const QString& code) const;
    QString missingMeaning(const QString& code) const;

    // --- Form-level state --------------------------------------------------------------
    // The read: 1 once a read has been started, 0 once the glossary is shown.
    int ReadingMode = 0;
    ReportBuffer ReportBytes{};
    int ReportIndex = 0;
    // The codes of the last read, entries 1 to CodeCount (entry 0 unused), and their kinds.
    DecodedCodeList DecodedCodes;
    int CodeCount = 0;
    int FirstBlockCount = 0;
    QString FirstBlockKind;
    QString SecondBlockKind;
    // The progress strip's filled fraction.
    float BarProgress = 0.0f;

    // What the last successful read told about the car besides its codes (an ELM327
    // adapter's VIN, MIL, readiness, freeze frame, units); empty after a VX-414 read.
    VehicleInfo LastVehicle;
    // When the last good read's codes arrived (the clock's time), whatever link they came
    // by; empty before the first.
    std::optional<LocalTime> LastReadTime;
    // What the last good read's device announced itself as when it was an emulator ("ELM327
    // emulator"); empty for a car. Every view and file of that read carries the mark.
    std::string LastReadEmulator;
    // How many codes at the end of DecodedCodes (up to CodeCount) are permanent ones.
    int PermanentCount = 0;
    // The make a VIN selected in Vehicle: while Vehicle shows it (or "generic") the next
    // VIN may choose again; any other make is the user's choice and stays.
    QString VinMake;
    // After a successful read: keeps the vehicle, adds its permanent codes to the codes
    // read and selects the make its VIN names (frm_main_vehicle.cpp).
    void takeVehicle(const VehicleInfo& vehicle);
    // The vehicle's picture handed over after the codes were shown (frm_main_read.cpp).
    void vehicleArrived(const VehicleInfo& vehicle);
    // The model year the user gave in the Vehicle report (0 none) and the VIN of the car it
    // was given for: a later read of that car (or of a car without a VIN, when it was given
    // for one) takes it too. LastReadModelYear is the year the VIN gave, for taking it back.
    int GivenModelYear = 0;
    std::string GivenModelYearVin;
    int LastReadModelYear = 0;
    void giveModelYear(int year);

    // The application's help file: empty until the first click on Help.
    QString HelpFile;
    // The about box while it is loaded, and the help window while it is open.
    QPointer<frmAbout> AboutBox;
    QPointer<HelpViewer> HelpWindow;

    // Start-up.
    QString AppFolder;       // the program's folder, no trailing separator
    bool FormReady = false;  // false until Form_Load and the data it reads (awaitData) are done
    std::uint32_t NormalColor = 0;
    std::uint32_t HoverColor = 0;
    std::int32_t GlossaryStart = 0;
    // The data-file reader: position of the next stored byte, and the last item read
    // (Windows-1252 bytes).
    std::int32_t DataPos = 0;
    std::string ItemText;
    // The chosen make's section (file positions), the make last loaded, and how many rows
    // at the top of the definitions table are the generic ones.
    std::int32_t MakeStart = 0;
    std::int32_t MakeEnd = 0;
    QString SelectedMake;
    int GenericCount = 0;
    // What has been typed on the make box, and when its last key came.
    QString TypedMake;
    QElapsedTimer TypedMakeAt;

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void createControls();
    void connectHandlers();
    void arrangeTabOrder();
    // The failure path; `cause` (empty for the VX-414 reader) goes under the message.
    void readFailed(const QString& cause);
    // The caption, with "— demo: reader emulator" while the link's device is an emulator.
    void showLinkInTitle();
    // Told, through the event loop, that the link's whole report is there.
    void reportReady();
    void showEntries(bool codeMode);
    void fitDefinitionLabel(QLabel* label);
    void fitWrappedLabel(QLabel* label);
    void showHelp();
    void armWindowKeys();
    QShortcut* helpKey_ = nullptr;  // F1
    void showDataFileMessage(DataFileCode code);
    void showDataFileMessage(const DataFileStatus& status);
    bool endsOnBadPair(const DataFileStatus& status);
    bool endsOnLoadFailure(const DataFileStatus& status);
    bool programEnded_ = false;
    bool deferredLoad_ = false;
    bool dataPending_ = false;
    bool loadQueued_ = false;
    DataFile dataSlot_;  // the one file slot of the data-file reader

    Platform& platform_;
};

}  // namespace vx414
