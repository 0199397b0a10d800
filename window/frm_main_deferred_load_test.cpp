// The program's start: Form_Load leaves the glossary and the definitions until the window
// has been painted. The first paint, the messages about the data file, and every handler
// that runs before the data is in must come out as if it had been read in Form_Load.
#include "reader/report_encoder.h"
#include "window/testing/data_files.h"
#include "window/testing/form_fixture.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>

#include <gtest/gtest.h>

#include <functional>

namespace vx414 {
namespace {

using testing::DataFolder;
using testing::FormFixture;

PlainSources sources()
{
    PlainSources s;
    s.glossary = testing::sampleGlossary();
    s.sections["generic"] = {{"P0300", "Random/multiple cylinder misfire detected", "t"},
                             {"P0171", "System too lean (bank 1)", "t"},
                             {"U0100", "Lost communication with ECM/PCM A", "t"}};
    s.sections["audi"] = {{"P1136", "Long term fuel trim add.air, Bank 1 system too lean", "t"}};
    return s;
}

// Runs posted events and timers until `done` or a second has passed (the deferred load is
// posted to run right after the paint; a second is far more than it needs).
void runEventsUntil(const std::function<bool()>& done)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < 1000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

// Everything a handler can change that the user sees or a later handler reads.
struct Seen {
    QStringList definitions;  // flexDemo, "code|definition" per row
    QStringList glossary;     // FlexList1, "term|definition" per row
    QStringList results;      // FlexList, every cell of every row
    QStringList labels;       // Label1..Label4 text, "-" when hidden
    QString vehicle;
    QString shown;  // which of the tables and the heading are visible
    int genericCount = 0;
    bool formReady = false;

    bool operator==(const Seen&) const = default;
};

Seen seen(const frmMain& m)
{
    Seen s;
    for (int r = 0; r < m.flexDemo->Rows(); ++r)
        s.definitions << m.flexDemo->TextMatrix(r, 1) + "|" + m.flexDemo->TextMatrix(r, 2);
    for (int r = 0; r < m.FlexList1->Rows(); ++r)
        s.glossary << m.FlexList1->TextMatrix(r, 1) + "|" + m.FlexList1->TextMatrix(r, 2);
    for (int r = 0; r < m.FlexList->Rows(); ++r)
        for (int c = 0; c < m.FlexList->Cols(); ++c)
            s.results << m.FlexList->TextMatrix(r, c);
    for (const QLabel* l : {m.Label1, m.Label2, m.Label3, m.Label4})
        s.labels << (l->isHidden() ? QStringLiteral("-") : l->text());
    s.vehicle = m.Vehicle->currentText();
    for (const QWidget* w : {static_cast<const QWidget*>(m.flexDemo), static_cast<const QWidget*>(m.FlexList),
                             static_cast<const QWidget*>(m.FlexList1), static_cast<const QWidget*>(m.TXTGlossary),
                             static_cast<const QWidget*>(m.LabelVS[0])})
        s.shown += w->isHidden() ? '0' : '1';
    s.genericCount = m.GenericCount;
    s.formReady = m.FormReady;
    return s;
}

void PrintTo(const Seen& s, std::ostream* os)
{
    *os << "rows " << s.definitions.size() << " glossary " << s.glossary.size() << " results "
        << s.results.join(',').toStdString() << " labels " << s.labels.join(',').toStdString()
        << " vehicle " << s.vehicle.toStdString() << " shown " << s.shown.toStdString()
        << " generic " << s.genericCount << " ready " << s.formReady;
}

struct Started {
    explicit Started(const DataFolder& folder, bool deferred) : f(folder.path())
    {
        f.form->SetDeferredLoad(deferred);
        f.form->Form_Load();
        f.form->show();
    }
    FormFixture f;
};

TEST(DeferredLoad, TheFirstPaintIsTheSameAsWithTheDataReadInFormLoad)
{
    DataFolder folder(sources());
    Started eager(folder, false);
    Started deferred(folder, true);
    ASSERT_TRUE(deferred.f.form->DataPending());
    ASSERT_FALSE(eager.f.form->DataPending());

    const QImage before = eager.f.form->grab().toImage();
    const QImage after = deferred.f.form->grab().toImage();
    ASSERT_TRUE(deferred.f.form->DataPending()) << "the compared paint must be one made before the load";
    ASSERT_FALSE(before.isNull());
    EXPECT_EQ(before.size(), after.size());
    EXPECT_TRUE(before == after) << "the first paint differs with the load deferred";

    // Once painted, the data comes in without any help, and changes nothing on the screen.
    runEventsUntil([&] { return !deferred.f.form->DataPending(); });
    EXPECT_FALSE(deferred.f.form->DataPending());
    EXPECT_EQ(seen(*deferred.f.form), seen(*eager.f.form));
    EXPECT_TRUE(deferred.f.form->grab().toImage() == before);
    EXPECT_TRUE(deferred.f.box.shown.empty());
}

ReportContent pendingP0300StoredU0100()
{
    return {{true, {{0x03, 0x00}}}, {false, {{0xC1, 0x00}}}};
}

TEST(DeferredLoad, AHandlerThatComesBeforeTheLoadFindsTheData)
{
    struct Case {
        const char* name;
        std::function<void(FormFixture&)> act;
        // What the user must see afterwards: proof that the data, not an empty table, was read.
        std::function<void(const frmMain&)> check;
    };
    const Case cases[] = {
        {"a key in the code search",
         [](FormFixture& f) { f.form->CODESearch->setText(QStringLiteral("p03")); },
         [](const frmMain& m) {
             EXPECT_EQ(m.Label1->text(), "P0300");
             EXPECT_EQ(m.Label2->text(), "Random/multiple cylinder misfire detected");
         }},
        {"a click on Glossary",
         [](FormFixture& f) { f.form->Glossary->click(); },
         [](const frmMain& m) {
             EXPECT_FALSE(m.FlexList1->isHidden());
             EXPECT_EQ(m.FlexList1->TextMatrix(1, 1), "T0001");
             EXPECT_EQ(m.FlexList1->TextMatrix(832, 2), "Term 832");
         }},
        {"another make chosen",
         [](FormFixture& f) {
             f.form->Vehicle->setCurrentIndex(f.form->Vehicle->findText(QStringLiteral("audi")));
             emit f.form->Vehicle->activated(f.form->Vehicle->currentIndex());
         },
         [](const frmMain& m) {
             EXPECT_EQ(m.Vehicle->currentText(), "audi");
             ASSERT_GT(m.GenericCount, 3);
             EXPECT_EQ(m.flexDemo->TextMatrix(m.GenericCount - 1, 1), "U0100");
             EXPECT_EQ(m.flexDemo->TextMatrix(m.flexDemo->Rows() - 1, 1), "P1136");
         }},
        {"a read",
         [](FormFixture& f) {
             f.form->Link_Click();
             f.device.queueNoBytes(5);
             f.device.queueBytes(encodeReport(pendingP0300StoredU0100()));
             f.form->Timer1_Timer();
         },
         [](const frmMain& m) {
             EXPECT_TRUE(m.FlexList->Rows() > 2);
             EXPECT_TRUE(seen(m).results.contains("Random/multiple cylinder misfire detected"));
             EXPECT_TRUE(seen(m).results.contains("Lost communication with ECM/PCM A"));
         }},
    };
    DataFolder folder(sources());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Started eager(folder, false);
        Started deferred(folder, true);
        ASSERT_TRUE(deferred.f.form->DataPending());
        c.act(eager.f);
        c.act(deferred.f);
        EXPECT_FALSE(deferred.f.form->DataPending());
        c.check(*deferred.f.form);
        EXPECT_EQ(seen(*deferred.f.form), seen(*eager.f.form));
        EXPECT_EQ(deferred.f.box.shown.size(), eager.f.box.shown.size());

        // The load the paint had queued finds nothing left to do.
        const Seen afterAction = seen(*deferred.f.form);
        QCoreApplication::processEvents();
        EXPECT_EQ(seen(*deferred.f.form), afterAction);
    }
}

TEST(DeferredLoad, AMissingOrEmptyDataFileIsReportedBeforeTheWindowShows)
{
    struct Case {
        const char* name;
        bool exists;
        const char* message;
    };
    const Case cases[] = {
        {"missing", false, " File not found : "},
        {"empty", true, " Cannot identify data file : "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DataFolder folder;
        if (c.exists)
            folder.write({});
        FormFixture f(folder.path());
        f.form->SetDeferredLoad(true);
        f.form->Form_Load();
        ASSERT_FALSE(f.form->isVisible());
        ASSERT_EQ(f.box.shown.size(), 1u);
        EXPECT_EQ(f.box.shown[0].text, c.message + folder.path() + "/VX-414.dis");

        // Nothing more to say once the window is on the screen and the load has run.
        f.form->show();
        runEventsUntil([&] { return !f.form->DataPending(); });
        EXPECT_FALSE(f.form->DataPending());
        EXPECT_EQ(f.box.shown.size(), 1u);
        EXPECT_EQ(f.end.count, 0);
    }
}

}  // namespace
}  // namespace vx414
