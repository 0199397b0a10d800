// The window's handlers as the user waits for them, each beside its reference measured in
// the same run. The form is the real frmMain over test doubles of the platform services,
// shown offscreen, reading the data file the build ships (VX-414.dis in the build folder).
//
//   TimerBar_Timer/tick                    one tick: advance, draw the strip, refresh it
//   TimerBar_Timer/ref:plain_fill          one fill of the strip's rectangle, same refresh
//   frmMain/create                         creating the window and its controls
//   frmMain/ref:empty_widget               creating an empty QWidget of the same size
//   Form_Load/shipped                      the whole start-up handler on a new form
//   Form_Load/ref:plain_read               plain read + table decode of the glossary's and
//                                          the generic section's stored bytes, split
//   Vehicle_Click/<make>                   choosing the make after "audi" was loaded
//   Vehicle_Click/ref:plain_read/<make>    plain read + table decode of that section's
//                                          stored bytes, split into records
//   loadglossary/shipped                   the 1,664 item reads into FlexList1 of a new form
//   loadglossary/ref:plain_read            plain read + table decode of the glossary's
//                                          stored bytes, split into the 1,664 items
//   CODESearch_Change/10000_rows_no_match  one keystroke over a definitions table of 10,000
//                                          rows that no row matches
//   CODESearch_Change/ref:plain_prefix_compare
//                                          a case-insensitive prefix compare of the same
//                                          text with the same 10,000 codes
//   CODESearch_Change/shipped_ford_no_match
//                                          one keystroke over the shipped table with "ford"
//                                          chosen (generic rows, extension's included, then
//                                          ford's) that no row matches
//   CODESearch_Change/ref:plain_prefix_compare/shipped_ford
//                                          the same compare over the same table's codes
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QCoreApplication>
#include <QPainter>
#include <QStyleFactory>

#include <strings.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "bench/common/plain_read.h"
#include "definitions/items.h"
#include "definitions/make_sections.h"
#include "window/testing/form_fixture.h"

namespace {

using namespace vx414;
using vx414::testing::FormFixture;

const QString& buildFolder()
{
    // VX414_BENCH_FOLDER runs the same figures over another data file (an older build's).
    static const QString folder = qEnvironmentVariable("VX414_BENCH_FOLDER", QStringLiteral(VX414_BUILD_DIR));
    return folder;
}

// The shipped data file, open for the references.
class ShippedFile {
public:
    ShippedFile()
    {
        if (!slot_.open(dataFilePath(buildFolder().toStdString())).ok()) {
            std::fprintf(stderr, "window_bench: no VX-414.dis in %s; build the data file first\n",
                         qPrintable(buildFolder()));
            std::exit(1);
        }
        std::int32_t DataPos = positionOfAddress(GlossaryAddress);
        std::string ItemText;
        for (int i = 0; i < 2 * kGlossaryEntries; ++i)
            if (!readitem1(slot_, DataPos, ItemText).ok())
                std::abort();
        glossaryEnd_ = DataPos;
    }

    const DataFile& file() const { return slot_; }
    const bench::PairTable& table() const { return table_; }
    std::int32_t glossaryStart() const { return positionOfAddress(GlossaryAddress); }
    std::size_t glossaryBytes() const { return static_cast<std::size_t>(glossaryEnd_ - glossaryStart()); }

    // Plain read, table decode and split of one make's section.
    std::size_t sectionReference(const std::string& make,
                                 std::vector<std::pair<std::string, std::string>>& rows) const
    {
        const SectionBounds bounds = cartypeselect(make);
        const std::vector<std::uint8_t> data = table_.plainDecode(
            slot_, bounds.MakeStart, static_cast<std::size_t>(bounds.MakeEnd - bounds.MakeStart));
        return bench::splitRecords(data, rows);
    }

private:
    DataFile slot_;
    bench::PairTable table_;
    std::int32_t glossaryEnd_ = 0;
};

const ShippedFile& shipped()
{
    static const ShippedFile file;
    return file;
}

// A form after start-up with the shipped file, shown as the user sees it.
std::unique_ptr<FormFixture> loadedForm()
{
    auto f = std::make_unique<FormFixture>(buildFolder());
    f->form->Form_Load();
    f->form->show();
    QCoreApplication::processEvents();
    return f;
}

// --- The progress strip ---------------------------------------------------------------

void TimerBarTick(benchmark::State& state)
{
    const auto f = loadedForm();
    frmMain& form = *f->form;
    form.picProcessBar->show();
    QCoreApplication::processEvents();
    for (auto _ : state) {
        form.BarProgress = 0.45f;  // this tick draws 50%: text and bar both
        form.TimerBar_Timer();
    }
    form.TimerBar->stop();
}
BENCHMARK(TimerBarTick)->Name("TimerBar_Timer/tick")->Unit(benchmark::kMicrosecond);

void TimerBarPlainFill(benchmark::State& state)
{
    const auto f = loadedForm();
    PictureBox& box = *f->form->picProcessBar;
    box.show();
    QCoreApplication::processEvents();
    for (auto _ : state) {
        QPainter p(&box.surface());
        p.fillRect(box.surface().rect(), Qt::green);
        p.end();
        box.Refresh();
    }
}
BENCHMARK(TimerBarPlainFill)->Name("TimerBar_Timer/ref:plain_fill")->Unit(benchmark::kMicrosecond);

// --- Start-up -------------------------------------------------------------------------

void CreateForm(benchmark::State& state)
{
    for (auto _ : state) {
        auto f = std::make_unique<FormFixture>(buildFolder());
        state.PauseTiming();
        f.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(CreateForm)->Name("frmMain/create")->Unit(benchmark::kMillisecond);

void CreateEmptyWidget(benchmark::State& state)
{
    for (auto _ : state) {
        auto w = std::make_unique<QWidget>();
        w->resize(835, 568);
        state.PauseTiming();
        w.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(CreateEmptyWidget)->Name("frmMain/ref:empty_widget")->Unit(benchmark::kMillisecond);

void FormLoad(benchmark::State& state)
{
    for (auto _ : state) {
        state.PauseTiming();
        auto f = std::make_unique<FormFixture>(buildFolder());
        state.ResumeTiming();
        f->form->Form_Load();
        state.PauseTiming();
        if (!f->box.shown.empty() || f->form->flexDemo->Rows() < 2)
            state.SkipWithError("start-up did not load the shipped file");
        f.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(FormLoad)->Name("Form_Load/shipped")->Unit(benchmark::kMillisecond);

void FormLoadReference(benchmark::State& state)
{
    const ShippedFile& file = shipped();
    std::vector<std::string> items(2 * kGlossaryEntries);
    std::vector<std::pair<std::string, std::string>> rows(kDefinitionRows);
    for (auto _ : state) {
        const std::vector<std::uint8_t> glossary =
            file.table().plainDecode(file.file(), file.glossaryStart(), file.glossaryBytes());
        bench::splitItems(glossary, items);
        benchmark::DoNotOptimize(file.sectionReference("generic", rows));
        benchmark::DoNotOptimize(items.data());
    }
}
BENCHMARK(FormLoadReference)->Name("Form_Load/ref:plain_read")->Unit(benchmark::kMillisecond);

// --- Makes ------------------------------------------------------------------------------

void VehicleClick(benchmark::State& state, const char* make)
{
    const auto f = loadedForm();
    frmMain& form = *f->form;
    const int generic = form.GenericCount;
    for (auto _ : state) {
        state.PauseTiming();
        form.Vehicle->setCurrentText(QStringLiteral("audi"));
        form.Vehicle_Click();
        form.Vehicle->setCurrentText(QString::fromLatin1(make));
        state.ResumeTiming();
        form.Vehicle_Click();
    }
    if (!f->box.shown.empty() || form.GenericCount != generic || form.flexDemo->Rows() < generic)
        state.SkipWithError("the make did not load");
    state.counters["rows"] = form.flexDemo->Rows() - (QString::fromLatin1(make) == "generic" ? 0 : generic);
}
BENCHMARK_CAPTURE(VehicleClick, generic, "generic")->Name("Vehicle_Click/generic")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(VehicleClick, ford, "ford")->Name("Vehicle_Click/ford")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(VehicleClick, geo, "geo")->Name("Vehicle_Click/geo")->Unit(benchmark::kMillisecond);

void VehicleReference(benchmark::State& state, const char* make)
{
    const ShippedFile& file = shipped();
    std::vector<std::pair<std::string, std::string>> rows(kDefinitionRows);
    std::size_t count = 0;
    for (auto _ : state) {
        count = file.sectionReference(make, rows);
        benchmark::DoNotOptimize(rows.data());
    }
    state.counters["rows"] = static_cast<double>(count);
}
BENCHMARK_CAPTURE(VehicleReference, generic, "generic")
    ->Name("Vehicle_Click/ref:plain_read/generic")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(VehicleReference, ford, "ford")
    ->Name("Vehicle_Click/ref:plain_read/ford")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(VehicleReference, geo, "geo")
    ->Name("Vehicle_Click/ref:plain_read/geo")->Unit(benchmark::kMillisecond);

// --- The glossary -----------------------------------------------------------------------

void LoadGlossary(benchmark::State& state)
{
    for (auto _ : state) {
        state.PauseTiming();
        auto f = std::make_unique<FormFixture>(buildFolder());
        frmMain& form = *f->form;
        // What Form_Load sets before it calls loadglossary.
        form.AppFolder = f->platform.programFolder;
        form.GlossaryStart = positionOfAddress(GlossaryAddress);
        form.FlexList1->hide();
        state.ResumeTiming();
        form.loadglossary();
        state.PauseTiming();
        if (form.FlexList1->Rows() != kGlossaryEntries + 1 || form.FlexList1->TextMatrix(kGlossaryEntries, 1).isEmpty())
            state.SkipWithError("the glossary did not load");
        f.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(LoadGlossary)->Name("loadglossary/shipped")->Unit(benchmark::kMillisecond);

void LoadGlossaryReference(benchmark::State& state)
{
    const ShippedFile& file = shipped();
    std::vector<std::string> items(2 * kGlossaryEntries);
    for (auto _ : state) {
        const std::vector<std::uint8_t> data =
            file.table().plainDecode(file.file(), file.glossaryStart(), file.glossaryBytes());
        benchmark::DoNotOptimize(bench::splitItems(data, items));
    }
}
BENCHMARK(LoadGlossaryReference)->Name("loadglossary/ref:plain_read")->Unit(benchmark::kMillisecond);

// --- The code search --------------------------------------------------------------------

// 10,000 codes of the kind a definitions table holds ("P0000" on, hexadecimal digits),
// and a search text that shares their first letters but that none of them starts with.
constexpr int kSearchRows = 10000;
const char* const kNoMatchText = "p0f0z";

std::string searchCode(int row)
{
    char code[8];
    std::snprintf(code, sizeof code, "P%04X", row);
    return code;
}

void CodeSearchNoMatch(benchmark::State& state)
{
    const auto f = loadedForm();
    frmMain& form = *f->form;
    form.flexDemo->SetRows(kSearchRows);
    for (int row = 0; row < kSearchRows; ++row)
        form.flexDemo->SetTextMatrix(row, 1, QString::fromStdString(searchCode(row)));
    form.CODESearch->setText(QString::fromLatin1(kNoMatchText));  // the keystroke's text
    const int beeps = f->beep.count;
    for (auto _ : state)
        form.CODESearch_Change();
    if (f->beep.count - beeps != static_cast<int>(state.iterations()) ||
        form.Label1->text() != QStringLiteral("? ? ? ?"))
        state.SkipWithError("the search found a row");
}
BENCHMARK(CodeSearchNoMatch)->Name("CODESearch_Change/10000_rows_no_match")->Unit(benchmark::kMicrosecond);

void CodeSearchReference(benchmark::State& state)
{
    std::vector<std::string> codes;
    for (int row = 0; row < kSearchRows; ++row)
        codes.push_back(searchCode(row));
    const std::string text = kNoMatchText;
    for (auto _ : state) {
        int found = -1;
        for (int row = 1; row < kSearchRows; ++row) {
            const std::string& code = codes[static_cast<std::size_t>(row)];
            if (code.size() >= text.size() && strncasecmp(code.c_str(), text.c_str(), text.size()) == 0) {
                found = row;
                break;
            }
        }
        benchmark::DoNotOptimize(found);
    }
}
BENCHMARK(CodeSearchReference)->Name("CODESearch_Change/ref:plain_prefix_compare")->Unit(benchmark::kMicrosecond);

// The shipped table as a user has it after choosing "ford": every row a keystroke scans.
std::unique_ptr<FormFixture> fordForm()
{
    auto f = loadedForm();
    f->form->Vehicle->setCurrentText(QStringLiteral("ford"));
    f->form->Vehicle_Click();
    return f;
}

void CodeSearchShipped(benchmark::State& state)
{
    const auto f = fordForm();
    frmMain& form = *f->form;
    form.CODESearch->setText(QString::fromLatin1(kNoMatchText));
    const int beeps = f->beep.count;
    for (auto _ : state)
        form.CODESearch_Change();
    if (f->beep.count - beeps != static_cast<int>(state.iterations()) ||
        form.Label1->text() != QStringLiteral("? ? ? ?"))
        state.SkipWithError("the search found a row");
    state.counters["rows"] = form.flexDemo->Rows();
}
BENCHMARK(CodeSearchShipped)->Name("CODESearch_Change/shipped_ford_no_match")->Unit(benchmark::kMicrosecond);

void CodeSearchShippedReference(benchmark::State& state)
{
    const auto f = fordForm();
    std::vector<std::string> codes;
    for (int row = 0; row < f->form->flexDemo->Rows(); ++row)
        codes.push_back(f->form->flexDemo->TextMatrix(row, 1).toStdString());
    const std::string text = kNoMatchText;
    for (auto _ : state) {
        int found = -1;
        for (std::size_t row = 1; row < codes.size(); ++row) {
            const std::string& code = codes[row];
            if (code.size() >= text.size() && strncasecmp(code.c_str(), text.c_str(), text.size()) == 0) {
                found = static_cast<int>(row);
                break;
            }
        }
        benchmark::DoNotOptimize(found);
    }
    state.counters["rows"] = static_cast<double>(codes.size());
}
BENCHMARK(CodeSearchShippedReference)
    ->Name("CODESearch_Change/ref:plain_prefix_compare/shipped_ford")->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // The program's own look, so that the strip and the grids draw as they do for the user.
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
