// SPDX-License-Identifier: MIT
#include "watcher.h"

#include "file_identity.h"
#include "settings_file.h"
#include "text_file.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QTextCodec>

#include <cstdio>
#include <utility>

namespace {

// A stream of changes must not put off every pass for ever: after this long
// a pass runs even if the inputs are still changing.
constexpr int longestWaitMs = 1000;
// How often a missing folder is looked for again.
constexpr int missingFolderRetryMs = 250;

void log_line(const QString &line)
{
    if (line.isEmpty())
        return;
    std::fputs(line.toLocal8Bit().append('\n').constData(), stderr);
    std::fflush(stderr);
}

} // namespace

QString pass_log_line(const QDateTime &when, PassOutcome outcome, bool errorsOnly)
{
    const QString message = pass_message(outcome);
    if (message.isEmpty() && errorsOnly)
        return QString();
    QString what = message;
    if (outcome == PassOutcome::Written)
        what = QStringLiteral("written");
    else if (outcome == PassOutcome::BlockedHour)
        what = QStringLiteral("blocked hour");
    return when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz ")) + what;
}

Watcher::Watcher(const WatchOptions &options) : options_(options)
{
    quiet_.setSingleShot(true);
    connect(&quiet_, &QTimer::timeout, this, &Watcher::pass);
    connect(&poll_, &QTimer::timeout, this, &Watcher::notice);
    connect(&retry_, &QTimer::timeout, this, &Watcher::notice);
    connect(&watcher_, &QFileSystemWatcher::fileChanged, this, &Watcher::notice);
    connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, &Watcher::notice);
}

void Watcher::start()
{
    pass();
    if (options_.pollMs > 0)
        poll_.start(options_.pollMs);
}

// The inputs as the settings name them now, and notifications for each of
// them and its folder. Watching the folder as well catches a file that is
// replaced by rename or deleted and written anew.
void Watcher::watch_inputs()
{
    const QString &folder = options_.folder;
    inputs_ = QStringList{path_in_folder(folder, QLatin1String(settingsFileName)),
                          path_in_folder(folder, QLatin1String(lettersFileName))};
    ownCopy_.clear();
    if (const auto settings = load_settings(inputs_.first(), QTextCodec::codecForLocale())) {
        const QString document = path_in_folder(folder, settings->documentPath);
        if (usable_path(document)) {
            inputs_ << QDir::cleanPath(document);
            if (same_file(document, path_in_folder(folder, settings->copyPath)))
                ownCopy_ = inputs_.last();
        }
    }
    if (options_.pollMs > 0)
        return;

    QStringList wanted;
    for (const QString &input : std::as_const(inputs_))
        wanted << input << QFileInfo(input).absolutePath();
    wanted.removeDuplicates();
    const QStringList watched = watcher_.files() + watcher_.directories();
    for (const QString &path : watched)
        if (!wanted.contains(path))
            watcher_.removePath(path);
    bool folderMissing = false;
    for (const QString &path : std::as_const(wanted)) {
        if (watched.contains(path))
            continue;
        const QFileInfo info(path);
        if (info.exists())
            watcher_.addPath(path);
        else if (!inputs_.contains(path))
            folderMissing = true; // a missing input is seen through its folder
    }
    if (folderMissing && !retry_.isActive())
        retry_.start(missingFolderRetryMs);
    else if (!folderMissing)
        retry_.stop();
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
    if (!quiet_.isActive())
        waiting_.start();
    const int left = longestWaitMs - int(waiting_.elapsed());
    quiet_.start(qMax(0, qMin(options_.quietMs, left)));
}

void Watcher::pass()
{
    quiet_.stop();
    watch_inputs();
    const Stamps before = current_stamps();
    const PassOutcome outcome = run_pass(QDateTime::currentDateTime(), options_.folder);
    log_line(pass_log_line(QDateTime::currentDateTime(), outcome, options_.errorsOnly));
    watch_inputs();
    lastPass_ = current_stamps();
    // An input that changed while the pass ran may have been read in its
    // old version: one more pass, right away. The copy written over the
    // document is the pass's own change.
    for (auto it = lastPass_.constBegin(); it != lastPass_.constEnd(); ++it) {
        if (it.key() != ownCopy_ && before.value(it.key()) != it.value()) {
            waiting_.start();
            quiet_.start(0);
            break;
        }
    }
}
