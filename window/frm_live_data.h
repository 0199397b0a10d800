// The "Live data" window: the values the car supports, by group, with their latest value;
// the ones ticked are followed (asked every round) and drawn as strip charts over the last
// minute; Start/Stop, Record to a CSV file written out each second, and the units. Polling
// runs off the window's thread (LivePolling); the window takes what came on a timer and
// never waits on the adapter. Closing the window stops polling at once.
#pragma once

#include "report/live_recording.h"
#include "report/unit_system.h"
#include "window/logic/live_feed.h"
#include "window/platform/live_polling.h"

#include <QString>
#include <QWidget>

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QComboBox;
class QLabel;
class QPushButton;
class QTimer;
class QTreeWidget;
class QTreeWidgetItem;

namespace vx414 {

class StripChart;

class frmLiveData final : public QWidget {
    Q_OBJECT
public:
    struct Services {
        LivePolling& polling;
        // Where to record (a save dialog in the program); nothing when the user cancels.
        std::function<std::optional<QString>(QWidget* parent)> askRecordingPath;
        // The units chosen here, to keep between runs and show in the vehicle report.
        std::function<void(UnitSystem)> unitsChosen;
        // Whether something else uses the adapter now (a clear of the codes): polling
        // does not start meanwhile.
        std::function<bool()> adapterBusy{};
    };

    frmLiveData(Services services, UnitSystem units, QWidget* parent = nullptr);
    ~frmLiveData() override;

    QTreeWidget* list;
    StripChart* chart;
    QPushButton* startButton;
    QPushButton* recordButton;
    QComboBox* unitsBox;
    // How often a round is asked: as fast as the car answers, every 100 ms, 250 ms (the
    // default) or second.
    QComboBox* intervalBox;
    QLabel* statusLabel;
    QPushButton* closeButton;  // as Esc and Ctrl+W

    // Start and Stop: stop returns at once; `why`, when given, is what the status says.
    void start();
    void stop(const QString& why = {});
    bool polling() const { return polling_; }

    // Record… and Stop recording.
    void toggleRecording();
    bool recording() const { return recording_.isOpen(); }

    void setUnits(UnitSystem units);
    // Ticks (or unticks) every value of a PID in the list, as a click on each would.
    void follow(std::uint8_t pid, bool on);

    // The interval at which the window takes what polling sent.
    static constexpr int TakeMilliseconds = 100;
    // The least time from one round's start to the next the intervals offer; 0 is as fast
    // as the car answers.
    static constexpr int IntervalMilliseconds[] = {0, 100, 250, 1000};
    static constexpr int DefaultInterval = 2;  // 250 ms: four rounds a second, a row each
    // The updates a second shown are counted over this many seconds of rounds.
    static constexpr double RateSeconds = 2.0;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void takeNews();
    void fillList(const std::vector<std::uint8_t>& pids);
    void ticksChanged();
    void showSample(const obd::LiveSample& sample);
    // The status while polling runs: what is followed (or recorded) and how often it comes.
    void showFollowing();
    // Any other status, which stays until the ticks change or polling starts or stops.
    void say(const QString& status);
    // Says so and returns true when something else uses the adapter now.
    bool refusedWhileBusy();
    void showValue(const obd::LiveValue& value);
    void ended(const LinkStatus& status);
    void stopRecording();
    void updateButtons();
    std::vector<const obd::PidField*> tickedFields() const;
    void sendChoice();

    Services services_;
    UnitSystem units_;
    std::string emulator_;  // what the device announced itself as, when an emulator
    std::shared_ptr<LiveFeed> feed_;
    QTimer* timer_;
    bool polling_ = false;
    bool filling_ = false;
    std::vector<std::uint8_t> supported_;
    std::vector<const obd::PidField*> tickOrder_;  // in the order ticked
    std::map<const obd::PidField*, QTreeWidgetItem*> rows_;
    std::map<const obd::PidField*, obd::LiveValue> latest_;
    std::vector<const obd::PidField*> recorded_;
    LiveRecording recording_;
    QString recordingPath_;
    bool followingShown_ = false;   // the status is showFollowing()'s, to be kept up to date
    std::deque<double> roundTimes_;  // the seconds of the rounds of the last RateSeconds
    std::optional<double> recordingStart_;  // the first recorded round's seconds of polling
};

}  // namespace vx414
