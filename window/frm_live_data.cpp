#include "window/frm_live_data.h"

#include "report/live_format.h"
#include "report/report_format.h"
#include "window/close_keys.h"
#include "window/demo_mark.h"
#include "window/strip_chart.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSplitter>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace vx414 {

namespace {

QString text(std::string_view utf8)
{
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

enum Column { NameColumn, ValueColumn, UnitColumn };

}  // namespace

frmLiveData::frmLiveData(Services services, UnitSystem units, QWidget* parent)
    : QWidget(parent, Qt::Window), services_(std::move(services)), units_(units)
{
    setWindowTitle(QStringLiteral("Live data"));
    list = new QTreeWidget(this);
    list->setColumnCount(3);
    list->setHeaderLabels({QStringLiteral("Value"), QStringLiteral("Now"), QStringLiteral("Unit")});
    // The names take what the value and its unit leave; the list is wide enough for the
    // longest names ("Oxygen sensor 1, bank 1: voltage") beside a value.
    list->header()->setStretchLastSection(false);
    list->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    list->header()->setSectionResizeMode(NameColumn, QHeaderView::Stretch);
    list->setMinimumWidth(380);
    list->setRootIsDecorated(true);
    chart = new StripChart(this);
    chart->setUnits(units_);
    startButton = new QPushButton(QStringLiteral("Start"), this);
    recordButton = new QPushButton(QStringLiteral("Record\u2026"), this);
    unitsBox = new QComboBox(this);
    unitsBox->addItem(QStringLiteral("Metric units"));
    unitsBox->addItem(QStringLiteral("US units"));
    unitsBox->setCurrentIndex(units_ == UnitSystem::Us ? 1 : 0);
    intervalBox = new QComboBox(this);
    intervalBox->addItems({QStringLiteral("As fast as the car answers"), QStringLiteral("Every 100 ms"),
                           QStringLiteral("Every 250 ms"), QStringLiteral("Every second")});
    intervalBox->setCurrentIndex(DefaultInterval);
    intervalBox->setAccessibleName(QStringLiteral("Interval"));
    statusLabel = new QLabel(this);
    closeButton = new QPushButton(QStringLiteral("Close"), this);

    auto* splitter = new QSplitter(this);
    splitter->addWidget(list);
    splitter->addWidget(chart);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({440, 560});
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(startButton);
    buttons->addWidget(recordButton);
    buttons->addWidget(unitsBox);
    buttons->addWidget(intervalBox);
    buttons->addWidget(statusLabel, 1);
    buttons->addWidget(closeButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(splitter, 1);
    layout->addLayout(buttons);
    resize(1000, 560);

    timer_ = new QTimer(this);
    timer_->setInterval(TakeMilliseconds);
    connect(timer_, &QTimer::timeout, this, &frmLiveData::takeNews);
    connect(startButton, &QPushButton::clicked, this, [this] { polling_ ? stop() : start(); });
    connect(recordButton, &QPushButton::clicked, this, &frmLiveData::toggleRecording);
    connect(closeButton, &QPushButton::clicked, this, &QWidget::close);
    closeOnEscapeAndCtrlW(this);
    connect(intervalBox, &QComboBox::currentIndexChanged, this, [this] { sendChoice(); });
    connect(unitsBox, &QComboBox::currentIndexChanged, this,
            [this](int index) { setUnits(index == 1 ? UnitSystem::Us : UnitSystem::Metric); });
    connect(list, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem*, int column) {
        if (!filling_ && column == NameColumn)
            ticksChanged();
    });
    updateButtons();
}

frmLiveData::~frmLiveData()
{
    stop();
}

void frmLiveData::start()
{
    if (polling_)
        return;
    if (!services_.polling.canPoll()) {
        say(QStringLiteral("Live data needs an ELM327 adapter; the VX-414 reader holds codes only."));
        return;
    }
    if (refusedWhileBusy())
        return;
    feed_ = std::make_shared<LiveFeed>();
    roundTimes_.clear();  // a new polling counts its seconds from 0
    sendChoice();
    polling_ = true;
    say(QStringLiteral("Asking the car which values it gives\u2026"));
    // The feed outlives the window if need be: the worker holds it until it ends.
    std::weak_ptr<LiveFeed> feed = feed_;
    services_.polling.start(feed_, [feed](const LinkStatus& status) {
        if (const auto alive = feed.lock())
            alive->ended(status);
    });
    timer_->start();
    updateButtons();
}

bool frmLiveData::refusedWhileBusy()
{
    if (!services_.adapterBusy || !services_.adapterBusy())
        return false;
    say(QStringLiteral("The codes in the car are being cleared; start again once that is done."));
    return true;
}

void frmLiveData::stop(const QString& why)
{
    if (!polling_)
        return;
    services_.polling.stop();
    takeNews();  // what came before the stop is shown and recorded
    polling_ = false;
    timer_->stop();
    feed_.reset();
    const bool wasRecording = recording_.isOpen();
    stopRecording();
    if (!why.isEmpty())
        say(wasRecording ? why + QLatin1Char(' ') + statusLabel->text() : why);
    else if (!wasRecording)
        say(QStringLiteral("Stopped."));
    updateButtons();
}

void frmLiveData::takeNews()
{
    if (!feed_)
        return;
    LiveFeed::News news = feed_->take();
    if (news.supported) {
        // The adapter has answered: an emulator has announced itself by now.
        emulator_ = services_.polling.emulator();
        setWindowTitle(QStringLiteral("Live data") + demoMark(emulator_));
        fillList(*news.supported);
    }
    for (const obd::LiveSample& sample : news.samples)
        showSample(sample);
    if (followingShown_ && !news.samples.empty())
        showFollowing();
    if (news.ended)
        ended(*news.ended);
}

void frmLiveData::showFollowing()
{
    QString status;
    const std::size_t followed = recording_.isOpen() ? recorded_.size() : tickOrder_.size();
    if (followed == 0) {
        status = QStringLiteral("Tick the values to follow.");
    } else {
        const QString values = followed == 1 ? QStringLiteral("1 value") : QStringLiteral("%1 values").arg(followed);
        status = recording_.isOpen() ? QStringLiteral("Recording %1 to %2").arg(values, recordingPath_)
                                     : QStringLiteral("Following %1").arg(values);
        // Rounds, not values: each round asks every followed value once.
        const double span = roundTimes_.size() < 2 ? 0 : roundTimes_.back() - roundTimes_.front();
        if (span > 0) {
            const double rate = static_cast<double>(roundTimes_.size() - 1) / span;
            status += QStringLiteral(", %1 updates a second").arg(rate, 0, 'f', rate < 10 ? 1 : 0);
        }
        status += QLatin1Char('.');
    }
    statusLabel->setText(status);
    followingShown_ = true;
}

void frmLiveData::say(const QString& status)
{
    statusLabel->setText(status);
    followingShown_ = false;
}

void frmLiveData::ended(const LinkStatus& status)
{
    polling_ = false;
    timer_->stop();
    feed_.reset();
    const bool wasRecording = recording_.isOpen();
    stopRecording();
    if (!status.isOk()) {
        const std::string cause = services_.polling.failureCause(status);
        say(QStringLiteral("Live data stopped. ") + (cause.empty() ? text(status.toString()) : text(cause)));
    } else if (std::string_view(status.reason()) == NoLiveValues) {
        say(QStringLiteral("The car gives none of the live values this program reads."));
    } else if (!wasRecording) {
        say(QStringLiteral("Stopped."));
    }
    updateButtons();
}

void frmLiveData::fillList(const std::vector<std::uint8_t>& pids)
{
    supported_ = pids;
    filling_ = true;
    list->clear();
    rows_.clear();
    std::map<std::string_view, QTreeWidgetItem*> groups;
    for (const std::uint8_t pid : pids) {
        for (const obd::PidField& field : obd::fieldsOf(pid)) {
            QTreeWidgetItem*& group = groups[field.group];
            if (group == nullptr) {
                group = new QTreeWidgetItem(list, {text(field.group)});
                group->setFlags(Qt::ItemIsEnabled);
                group->setExpanded(true);
            }
            auto* row = new QTreeWidgetItem(group, {text(obd::fieldLabel(field)), QString(), text(inUnits(0, field.unit, units_).unit)});
            row->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable);
            const bool ticked = std::find(tickOrder_.begin(), tickOrder_.end(), &field) != tickOrder_.end();
            row->setCheckState(NameColumn, ticked ? Qt::Checked : Qt::Unchecked);
            rows_[&field] = row;
        }
    }
    filling_ = false;
    if (pids.empty())
        say(QStringLiteral("The car gives none of the live values this program reads."));
    ticksChanged();
}

std::vector<const obd::PidField*> frmLiveData::tickedFields() const
{
    return tickOrder_;
}

void frmLiveData::ticksChanged()
{
    // Ticked in the order clicked: the first ticked is charted first and asked first.
    std::vector<const obd::PidField*> order;
    for (const obd::PidField* field : tickOrder_) {
        const auto row = rows_.find(field);
        if (row == rows_.end() || row->second->checkState(NameColumn) == Qt::Checked)
            order.push_back(field);
    }
    for (const auto& [field, row] : rows_) {
        if (row->checkState(NameColumn) == Qt::Checked && std::find(order.begin(), order.end(), field) == order.end())
            order.push_back(field);
    }
    tickOrder_ = order;
    std::vector<StripChart::Band> bands;
    for (const obd::PidField* field : tickOrder_)
        bands.push_back({text(obd::fieldLabel(*field)), std::string(field->unit), field->decimals});
    chart->setBands(bands);
    sendChoice();
    // A new choice comes at its own pace: its rate is counted afresh.
    roundTimes_.clear();
    if (polling_ && !supported_.empty())
        showFollowing();
}

void frmLiveData::sendChoice()
{
    if (!feed_)
        return;
    LiveChoice choice;
    const auto addPid = [&choice](std::uint8_t pid) {
        if (std::find(choice.followed.begin(), choice.followed.end(), pid) == choice.followed.end())
            choice.followed.push_back(pid);
    };
    // A recording's columns stay followed while it runs, ticked or not.
    for (const obd::PidField* field : tickOrder_)
        addPid(field->pid);
    if (recording_.isOpen()) {
        for (const obd::PidField* field : recorded_)
            addPid(field->pid);
    }
    choice.others = supported_;
    const int interval = intervalBox->currentIndex();
    choice.interval = std::chrono::milliseconds(
        IntervalMilliseconds[interval >= 0 && interval < static_cast<int>(std::size(IntervalMilliseconds)) ? interval : 0]);
    feed_->setChoice(std::move(choice));
}

void frmLiveData::follow(std::uint8_t pid, bool on)
{
    for (const obd::PidField& field : obd::fieldsOf(pid)) {
        if (const auto row = rows_.find(&field); row != rows_.end())
            row->second->setCheckState(NameColumn, on ? Qt::Checked : Qt::Unchecked);
    }
}

void frmLiveData::showSample(const obd::LiveSample& sample)
{
    roundTimes_.push_back(sample.seconds);
    while (roundTimes_.front() < sample.seconds - RateSeconds)
        roundTimes_.pop_front();
    for (const obd::LiveValue& value : sample.values) {
        showValue(value);
        const auto at = std::find(tickOrder_.begin(), tickOrder_.end(), value.field);
        if (at != tickOrder_.end())
            chart->add(static_cast<std::size_t>(at - tickOrder_.begin()), sample.seconds, value.value);
    }
    for (const std::uint8_t pid : sample.unanswered) {
        for (const obd::PidField& field : obd::fieldsOf(pid)) {
            if (const auto row = rows_.find(&field); row != rows_.end())
                row->second->setText(ValueColumn, QStringLiteral("no answer"));
        }
    }
    if (recording_.isOpen()) {
        // A recording's time starts at its own first row, not at the polling's start.
        if (!recordingStart_)
            recordingStart_ = sample.seconds;
        obd::LiveSample row = sample;
        row.seconds -= *recordingStart_;
        if (!recording_.add(row)) {
            say(text(recording_.error()));
            stopRecording();
        }
    }
}

void frmLiveData::showValue(const obd::LiveValue& value)
{
    latest_[value.field] = value;
    if (const auto row = rows_.find(value.field); row != rows_.end())
        row->second->setText(ValueColumn, QString::fromStdString(liveValueText(value, units_)));
}

void frmLiveData::toggleRecording()
{
    if (recording_.isOpen()) {
        stopRecording();
        return;
    }
    if (tickOrder_.empty()) {
        say(QStringLiteral("Tick the values to record first."));
        return;
    }
    if (!polling_ && refusedWhileBusy())
        return;
    const std::optional<QString> path = services_.askRecordingPath ? services_.askRecordingPath(this) : std::nullopt;
    if (!path)
        return;
    recorded_ = tickOrder_;
    recordingStart_.reset();
    if (!recording_.open(path->toStdString(), recorded_, units_,
                         emulator_.empty() ? std::string() : std::string(kEmulatorSource))) {
        say(text(recording_.error()));
        return;
    }
    recordingPath_ = *path;
    showFollowing();
    sendChoice();
    if (!polling_)
        start();
    updateButtons();
}

void frmLiveData::stopRecording()
{
    if (!recording_.isOpen())
        return;
    const std::size_t rows = recording_.rows();
    const bool written = recording_.close();
    say(written ? QStringLiteral("%1 rows recorded in %2").arg(rows).arg(recordingPath_) : text(recording_.error()));
    recorded_.clear();
    sendChoice();
    updateButtons();
}

void frmLiveData::setUnits(UnitSystem units)
{
    if (units == units_)
        return;
    units_ = units;
    unitsBox->setCurrentIndex(units == UnitSystem::Us ? 1 : 0);
    chart->setUnits(units);
    for (const auto& [field, row] : rows_)
        row->setText(UnitColumn, text(inUnits(0, field->unit, units_).unit));
    for (const auto& [field, value] : latest_)
        showValue(value);
    if (services_.unitsChosen)
        services_.unitsChosen(units);
}

void frmLiveData::updateButtons()
{
    startButton->setText(polling_ ? QStringLiteral("Stop") : QStringLiteral("Start"));
    recordButton->setText(recording_.isOpen() ? QStringLiteral("Stop recording") : QStringLiteral("Record\u2026"));
    // A recording keeps its units: they are in its column headings.
    unitsBox->setEnabled(!recording_.isOpen());
}

void frmLiveData::closeEvent(QCloseEvent* event)
{
    stop();
    event->accept();
}

}  // namespace vx414
