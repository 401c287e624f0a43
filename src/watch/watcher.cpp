// SPDX-License-Identifier: MIT
#include "watcher.h"

#include "destination.h"
#include "input_file.h"
#include "log_line.h"
#include "now_playing_message.h"
#include "paths.h"
#include "settings.h"
#include "text_file.h"
#include "transliteration.h"
#include "watch_rules.h"
#include "windows_service.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTextCodec>

#include <utility>

namespace {

// How often a missing folder is looked for again.
constexpr int missingFolderRetryMs = 250;
// How often the watched paths are compared with what they name, for a
// folder replaced higher up than any watch reaches.
constexpr int recheckMs = 1000;
// How long a document deleted since the last pass may take to come back.
constexpr int documentReturnMs = 1000;

// Whether `now` is another file or folder than the one watched at `then`
// (or none): the watch still sits on the old one.
bool replaced(const FileStamp &then, const FileStamp &now)
{
    return then.exists != now.exists || then.fileNumber != now.fileNumber;
}

// Whether the file is there to be read. On Windows a file deleted while
// someone still has it open lingers, "delete pending", until that handle
// closes: it is listed but cannot be opened.
bool present(const QString &path)
{
    return stamp_of(path).exists && can_open_input(path);
}

} // namespace

QString pass_log_text(PassOutcome outcome, bool errorsOnly, const QString &written)
{
    const QString message = pass_message(outcome);
    if (message.isEmpty() && errorsOnly)
        return QString();
    if (outcome == PassOutcome::Written)
        return QStringLiteral("written \"%1\"").arg(written);
    if (outcome == PassOutcome::BlockedHour)
        return QStringLiteral("blocked hour");
    return message;
}

namespace {

StatusSink status_sink(const WatchOptions &options)
{
    if (!options.monitor)
        return nullptr;
    return [monitor = options.monitor, station = options.station](const DestinationStatus &status) {
        monitor->destination(station, status);
    };
}

} // namespace

Watcher::Watcher(const WatchOptions &options)
    : options_(options), sending_(options.errorsOnly, options.log, status_sink(options))
{
    quiet_.setSingleShot(true);
    connect(&quiet_, &QTimer::timeout, this, &Watcher::pass);
    connect(&poll_, &QTimer::timeout, this, &Watcher::notice);
    connect(&retry_, &QTimer::timeout, this, &Watcher::notice);
    connect(&recheck_, &QTimer::timeout, this, &Watcher::notice);
    nextHour_.setSingleShot(true);
    // A coarse timer may be late by a twentieth of its interval: minutes.
    nextHour_.setTimerType(Qt::PreciseTimer);
    connect(&nextHour_, &QTimer::timeout, this, &Watcher::pass);
    failRetry_.setSingleShot(true);
    connect(&failRetry_, &QTimer::timeout, this, &Watcher::pass);
    connect(&watcher_, &ChangeNotifier::fileChanged, this, &Watcher::notice);
    connect(&watcher_, &ChangeNotifier::directoryChanged, this, &Watcher::notice);
    connect(&watcher_, &ChangeNotifier::fileWritten, this, &Watcher::written);
}

void Watcher::start()
{
    pass();
    if (options_.pollMs > 0)
        poll_.start(options_.pollMs);
    else if (!watcher_.tells_replaced_folders())
        recheck_.start(recheckMs);
}

// The inputs as the settings name them now, and notifications for each of
// them, its folder and that folder's parent. The folder catches a file that
// is replaced by rename or deleted and written anew; its parent catches the
// folder itself being renamed away or replaced.
void Watcher::watch_inputs()
{
    const QString &folder = options_.folder;
    const QString settingsPath = path_in_folder(folder, QLatin1String(settingsFileName));
    // Read again only when it changed: notifications come by the dozen for
    // each pass.
    const FileStamp settingsStamp = stamp_of(settingsPath);
    if (!settings_ || !settingsStamp.exists || settingsStamp != settingsStamp_)
        settings_ = load_settings(settingsPath, QTextCodec::codecForLocale());
    settingsStamp_ = settingsStamp;
    // What a pass reads, the spellings included: a spelling fixed goes on
    // air at once, as a letter fixed does, not with the next track.
    const QStringList named =
        settings_
            ? station_inputs(folder, *settings_)
            : QStringList{settingsPath, path_in_folder(folder, QLatin1String(lettersFileName))};
    inputs_.clear();
    for (const QString &input : named)
        if (usable_path(input))
            inputs_ << QDir::cleanPath(input);
    document_.clear();
    ownCopy_.clear();
    if (const auto &settings = settings_) {
        const QString document = path_in_folder(folder, settings->documentPath);
        if (usable_path(document)) {
            document_ = QDir::cleanPath(document);
            if (same_file(document, path_in_folder(folder, settings->copyPath)))
                ownCopy_ = document_;
        }
    }
    if (options_.pollMs > 0)
        return;

    QStringList wanted;
    for (const QString &input : std::as_const(inputs_)) {
        const QString inputFolder = QFileInfo(input).absolutePath();
        wanted << input << inputFolder;
        const QString parent = QFileInfo(inputFolder).absolutePath();
        if (parent != inputFolder)
            wanted << parent;
    }
    wanted.removeDuplicates();
    watch_paths(wanted);
}

void Watcher::watch_paths(const QStringList &wanted)
{
    const QStringList watched = watcher_.files() + watcher_.directories();
    for (const QString &path : watched) {
        if (!wanted.contains(path) || replaced(watched_.value(path), stamp_of(path))) {
            watcher_.removePath(path);
            watched_.remove(path);
        }
    }
    const QStringList stillWatched = watcher_.files() + watcher_.directories();
    bool folderMissing = false;
    QString refused;
    for (const QString &path : wanted) {
        if (stillWatched.contains(path))
            continue;
        const FileStamp stamp = stamp_of(path);
        if (stamp.exists && watcher_.addPath(path)) {
            watched_.insert(path, stamp);
            continue;
        }
        if (stamp.exists && refused.isEmpty())
            refused = QStringLiteral("%1 cannot be watched: %2")
                          .arg(QDir::toNativeSeparators(path), watcher_.lastError());
        if (!inputs_.contains(path))
            folderMissing = true; // a missing input is seen through its folder
    }
    if (folderMissing && !retry_.isActive())
        retry_.start(missingFolderRetryMs);
    else if (!folderMissing)
        retry_.stop();
    polling(!watcher_.notified() ? QStringLiteral("the system gives no change notifications (%1)")
                                       .arg(watcher_.lastError())
                                 : refused);
}

// Whether the station's changes are told or looked for (`why`, empty when
// they are told): logged and reported when that changes.
void Watcher::polling(const QString &why)
{
    if (why == pollingWhy_)
        return;
    const QString line =
        !why.isEmpty() ? why + QStringLiteral("; looked for every quarter of a second instead, "
                                              "and logged again when it is watched")
                       : QStringLiteral("every input is watched again");
    options_.log(line);
    report_event(why.isEmpty() ? EventLevel::Information : EventLevel::Warning, line);
    pollingWhy_ = why;
    if (options_.monitor)
        options_.monitor->watching(options_.station, !why.isEmpty(), why);
}

Watcher::Stamps Watcher::current_stamps() const
{
    Stamps stamps;
    for (const QString &input : inputs_)
        stamps.insert(input, stamp_of(input));
    return stamps;
}

void Watcher::notice()
{
    watch_inputs();
    // Notifications also come for the outputs beside the inputs, and for a
    // pass's own writes: only a changed input counts.
    if (current_stamps() == lastPass_)
        return;
    // Changed inputs get a pass of their own, with a fresh retry pause.
    failRetry_.stop();
    heldPause_.reset();
    failPause_.reset();
    const qint64 now = options_.clock();
    if (!quiet_.isActive())
        waitingSince_ = now;
    quiet_.start(writerDone_ ? 0 : quiet_wait_ms(options_.quietMs, now - waitingSince_));
}

// The document's writer closed it, or renamed it into place: it is whole,
// and its pass need not wait for it to be still.
void Watcher::written(const QString &path)
{
    const QString file = QDir::cleanPath(path);
    if (!document_.isEmpty() && file == document_)
        writerDone_ = true;
    else if (!inputs_.contains(file))
        return; // an output, or another file in a watched folder
    notice();
}

// The document was there after the last pass and is gone now: the playout
// program is most likely writing it anew. True while it is given time to.
bool Watcher::document_just_deleted()
{
    if (document_.isEmpty() || !documentWasRead_ || present(document_)) {
        documentGoneAt_.reset();
        return false;
    }
    const qint64 now = options_.clock();
    if (!documentGoneAt_)
        documentGoneAt_ = now;
    const qint64 left = documentReturnMs - (now - *documentGoneAt_);
    if (left <= 0) {
        documentGoneAt_.reset();
        return false;
    }
    // Its return is noticed sooner; this is the pass that reports it
    // missing if it does not come back.
    quiet_.start(int(left));
    return true;
}

// A pass that failed is tried again after a growing pause: a file another
// program holds is let go in moments, a full disk or a missing document
// take longer. Whether the pass is to be logged: the first failure of a
// streak is (and one that fails in another way), and so is the pass that
// gets through; the retries in between are not.
bool Watcher::retry_if_failed(const PassResult &result)
{
    failRetry_.stop();
    const PassOutcome outcome = result.outcome;
    if (outcome == PassOutcome::Written || outcome == PassOutcome::BlockedHour) {
        failing_.reset();
        heldPause_.reset();
        failPause_.reset();
        return true;
    }
    const bool log = !failing_ || *failing_ != outcome;
    failing_ = outcome;
    failRetry_.start(result.heldByAnother ? heldPause_.next() : failPause_.next());
    return log;
}

void Watcher::pass()
{
    quiet_.stop();
    writerDone_ = false;
    watch_inputs();
    if (settings_ && !settings_->follow.isEmpty()) {
        follow();
        lastPass_ = current_stamps();
        return;
    }
    follower_.reset();
    // A FOLLOW put back later is told again, and shown failing again.
    followLogged_.clear();
    if (document_just_deleted())
        return;
    const Stamps before = current_stamps();
    const QDateTime now = QDateTime::currentDateTime();
    QElapsedTimer took;
    took.start();
    // A document that ends before its root element is closed is most likely
    // being written in chunks: it is waited for, up to a second.
    const qint64 clock = options_.clock();
    const bool waitForWhole = !incompleteSince_ || clock - *incompleteSince_ < unfinishedWaitMs;
    const PassResult result = attempt_pass(now, options_.folder, waitForWhole);
    if (result.outcome == PassOutcome::DocumentUnfinished) {
        if (!incompleteSince_)
            incompleteSince_ = clock;
        quiet_.start(int(qMax<qint64>(
            1, qMin<qint64>(unfinishedRetryMs, unfinishedWaitMs - (clock - *incompleteSince_)))));
        return;
    }
    incompleteSince_.reset();
    const PassOutcome outcome = result.outcome;
    if (options_.monitor) {
        QStringList tags;
        for (const SendSetting &destination : result.destinations)
            tags << destination.tag;
        options_.monitor->pass(
            options_.station,
            {now, outcome, double(took.nsecsElapsed()) / 1e9,
             result.outcome == PassOutcome::Written ? result.onAir : std::nullopt, tags});
    }
    // Judged by the stamps before the pass: those after it may already show
    // the document deleted again.
    documentWasRead_ = !document_.isEmpty() && before.value(document_).exists &&
                       outcome != PassOutcome::CantOpenDocument &&
                       outcome != PassOutcome::BlockedHour;
    const bool wasFailing = failing_.has_value();
    if (retry_if_failed(result)) {
        const QString line =
            result.heldByAnother
                ? QStringLiteral("%1 is held by another program: trying again until it "
                                 "can be %2")
                      .arg(QDir::toNativeSeparators(result.failedPath),
                           result.outcome == PassOutcome::CantOpenDocument
                               ? QStringLiteral("read")
                               : QStringLiteral("written"))
                : pass_log_text(outcome, options_.errorsOnly,
                                result.onAir && outcome == PassOutcome::Written ? result.onAir->meta
                                                                                : QString());
        options_.log(line);
        // A streak of failed passes, and its end, for the system's own log.
        const bool failed = outcome != PassOutcome::Written && outcome != PassOutcome::BlockedHour;
        if (failed)
            report_event(EventLevel::Error, line);
        else if (wasFailing && !line.isEmpty())
            report_event(EventLevel::Information, line);
    }
    // What changed during a bad hour is passed over when the hour ends,
    // not at the next change, which may be minutes away.
    if (outcome == PassOutcome::BlockedHour)
        nextHour_.start(ms_to_next_hour(now));
    else
        nextHour_.stop();
    watch_inputs();
    // Files first, then the destinations, which never hold up a pass.
    if (result.onAir)
        sending_.offer(destinations_of(result.destinations, options_.folder, result.inputs),
                       *result.onAir);
    lastPass_ = current_stamps();
    // An input that changed while the pass ran may have been read in its
    // old version: one more pass, right away. The copy written over the
    // document is the pass's own change.
    for (auto it = lastPass_.constBegin(); it != lastPass_.constEnd(); ++it) {
        if (it.key() != ownCopy_ && before.value(it.key()) != it.value()) {
            waitingSince_ = options_.clock();
            quiet_.start(0);
            break;
        }
    }
}

// The site's letters, splitters and destinations as its settings give them
// now, and a follower for the studio its FOLLOW names.
void Watcher::follow()
{
    const FollowSource source = follow_source(settings_->follow, options_.folder);
    if (!source.error.isEmpty()) {
        follower_.reset();
        const QString line =
            QStringLiteral("FOLLOW %1: not used: %2").arg(source.shown, source.error);
        if (followLogged_ != line) {
            options_.log(line);
            // Shown failing in the status, not as a station with nothing to do.
            SourceStatus unusable;
            unusable.address = source.shown;
            unusable.since = QDateTime::currentDateTime();
            unusable.brokerError = QStringLiteral("not used: ") + source.error;
            if (options_.monitor)
                options_.monitor->source(options_.station, unusable);
        }
        followLogged_ = line;
        return;
    }
    followLogged_.clear();
    site_.latin = site_romanization(*settings_, options_.folder);
    site_.metaSplitter = site_splitter(settings_->metaSplitter);
    site_.rdsSplitter = site_splitter(settings_->rdsSplitter);
    site_.destinations = destinations_of(settings_->destinations, options_.folder,
                                         station_inputs(options_.folder, *settings_));
    refuse_followed_topic(site_.destinations, source);
    if (follower_ && site_.follow == settings_->follow) {
        // A destination added, or the Latin changed: what is on air now is
        // sent with them rather than at the studio's next track. The others
        // already have it and are not sent it again.
        send_latest();
        return;
    }
    site_.follow = settings_->follow;
    site_.latest.reset();
    options_.log(
        QStringLiteral("FOLLOW %1: following the studio; no passes here").arg(source.shown));
    follower_ = std::make_unique<Follower>(source, options_.log);
    connect(follower_.get(), &Follower::nowPlaying, this, &Watcher::offer_followed);
    connect(follower_.get(), &Follower::sourceChanged, this, [this](const SourceStatus &status) {
        if (options_.monitor)
            options_.monitor->source(options_.station, status);
    });
    connect(follower_.get(), &Follower::studioGone, this, [this]() {
        OnAirText nothing;
        nothing.time = QDateTime::currentDateTime();
        offer_followed(nothing);
    });
}

void Watcher::offer_followed(const OnAirText &onAir)
{
    if (options_.monitor)
        options_.monitor->followed(options_.station, onAir);
    site_.latest = onAir;
    send_latest();
}

void Watcher::send_latest()
{
    if (site_.latest)
        sending_.offer(site_.destinations, site_text(*site_.latest, site_.latin, site_.metaSplitter,
                                                     site_.rdsSplitter));
}
