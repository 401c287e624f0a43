// SPDX-License-Identifier: MIT
#pragma once

#include "backoff.h"
#include "clock.h"
#include "file_probe.h"
#include "follower.h"
#include "monitor.h"
#include "pass.h"
#include "sending.h"
#include "watch_rules.h"

#include "change_notifier.h"
#include <QMap>
#include <QObject>
#include <QTimer>

#include <memory>
#include <optional>

struct WatchOptions {
    QString folder;          // absolute: the configuration folder
    int quietMs = 50;        // how long the inputs must be still before a pass
    int pollMs = 0;          // above 0: compare stamps this often instead of notifications
    bool errorsOnly = false; // log failed passes only
    SteadyClock clock = system_steady_clock();
    LogSink log;                // where its log lines go (station_log)
    QString station;            // its name, as the monitor knows it
    Monitor *monitor = nullptr; // what watches the watcher; none: nothing reported
};

// Makes a pass in the folder at start and after every change of its inputs
// (settings.txt, rusletters.txt and the document the settings name), once
// they have been quiet for the quiet interval. A change that arrives during
// a pass is followed by one more pass, so the outputs always end up made
// from the last version of every input. Passes run in this thread, so a stop
// request is handled between passes, never in the middle of writing a file.
// A watched file or folder that is renamed away, deleted or replaced by
// another under the same path is noticed (through its parent folder, and
// at the latest a second later), and the watch moves to what the path names
// now. A pass that a bad hour blocked is made again when the hour is over.
// A document that has just been deleted is given a second to come back
// before a pass reports it missing: playout programs delete and write anew.
// A pass that failed is tried again, until one gets through or the inputs
// change: after a pause that grows from 50 ms to 2 s when it failed on a
// file another program holds open (Windows), from 1 s to 60 s otherwise (a
// full disk, a document that could not be read); the failure is logged
// once, and so is the recovery. A pass whose files could not be written
// still hands its text to the destinations.
// After each pass that wrote its files, the destinations the settings name
// (SEND1 to SEND9) get its text, each on its own (Sending). A site whose
// settings name FOLLOW makes no passes: its destinations get what the
// studio publishes (Follower).
class Watcher : public QObject {
    Q_OBJECT
public:
    explicit Watcher(const WatchOptions &options);

    // The first pass, then watching.
    void start();

    // For shutdown: the sends in flight get at most one timeout.
    void finish_sending()
    {
        sending_.finish();
    }

private:
    using Stamps = QMap<QString, FileStamp>;

    void notice();
    void written(const QString &path);
    void pass();
    void watch_inputs();
    void watch_paths(const QStringList &wanted);
    void polling(const QString &why);
    Stamps current_stamps() const;
    bool document_just_deleted();
    bool retry_if_failed(const PassResult &result);
    void follow();
    void offer_followed(const OnAirText &onAir);
    // The studio's latest text, as the site puts it on air now.
    void send_latest();

    WatchOptions options_;
    ChangeNotifier watcher_;
    QTimer quiet_;                          // fires when the inputs have been still long enough
    bool writerDone_ = false;               // the document's writer closed it: no quiet wait
    std::optional<qint64> incompleteSince_; // when the document was first found unfinished
    QTimer poll_;                           // with --poll: compares the stamps
    QTimer retry_;    // while a folder to watch is missing: looks for it again
    QTimer recheck_;  // without notifications: looks for watched paths replaced further up the tree
    QTimer nextHour_; // after a blocked pass: the start of the next hour
    std::optional<qint64> documentGoneAt_; // when a pass found the document deleted
    bool documentWasRead_ = false;         // the last pass found the document there
    QTimer failRetry_;                     // after a pass failed: tries it again
    Backoff heldPause_{firstHeldPauseMs, longestHeldPauseMs}; // after one on a held file
    Backoff failPause_{firstFailPauseMs, longestFailPauseMs}; // after any other
    std::optional<PassOutcome> failing_; // how the passes of the current streak of failures end
    qint64 waitingSince_ = 0;            // the first change the quiet timer waits for
    QStringList inputs_; // station_inputs as absolute paths: what a change of starts a pass
    QString document_;   // the document among them; empty when the settings name none
    Sending sending_;
    QString ownCopy_; // an input that the pass itself writes (the copy in place)
    Stamps lastPass_; // the inputs' stamps right after the last pass
    Stamps watched_;  // what each watched path named when its watch was added
    std::optional<RunSettings> settings_; // settings.txt as last read
    FileStamp settingsStamp_;             // and its stamp then

    // A site that follows its studio (FOLLOW): no passes, its destinations
    // fed from the studio's messages with its own letters and splitters.
    struct Site {
        QString follow; // the FOLLOW value the follower was made for
        Romanization latin;
        QString metaSplitter;
        QString rdsSplitter;
        std::vector<Destination> destinations;
        // The studio's latest now-playing, given again to the destinations
        // when the site's own settings, letters or spellings change.
        std::optional<OnAirText> latest;
    };
    Site site_;
    std::unique_ptr<Follower> follower_;
    QString followLogged_; // a FOLLOW that cannot be used, logged already
    QString pollingWhy_;   // why its changes are looked for, not told; empty: they are told
};

// What the log says of a pass's outcome (naming the META text `written`), or
// an empty string when `errorsOnly` leaves it out.
QString pass_log_text(PassOutcome outcome, bool errorsOnly, const QString &written = QString());
