// SPDX-License-Identifier: MIT
#pragma once

#include "on_air_text.h"
#include "settings.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>
#include <vector>

class QTextCodec;

// How a pass ends. Every value but Written and BlockedHour is a failure with
// its own message line.
enum class PassOutcome {
    Written,     // the copy, the META file and the RDS file were written
    BlockedHour, // the hour is one of the day's bad hours: nothing read or written
    CantReadSettings,
    CantReadLetters,
    CantOpenDocument,
    CantCreateCopy,
    CantWriteCopy,
    CantCreateMeta,
    CantWriteMeta,
    CantCreateRds,
    CantWriteRds,
    // The watcher's alone: the document ends before its root element is
    // closed, and a pass asked to wait for a whole one wrote nothing.
    DocumentUnfinished,
};

// The configuration files a pass reads in its folder.
constexpr const char *settingsFileName = "settings.txt";
constexpr const char *lettersFileName = "rusletters.txt";

// A path from the settings as a pass in `folder` (the working folder when
// empty) opens it: relative paths name files in the folder, as they would
// for a pass started in it. An empty path stays empty, so that it still
// fails as unusable rather than naming the folder itself.
QString path_in_folder(const QString &folder, const QString &path);

// The files a pass in `folder` reads under `settings`, as it opens them:
// settings.txt, the letters file, the document and the spellings file
// (when named). Nothing the station writes may replace one of them (but
// the copy, which may replace the document).
QStringList station_inputs(const QString &folder, const RunSettings &settings);

// The files a pass in `folder` writes under `settings`, as it opens them,
// in the order of allOutputs (a path the settings leave empty stays empty).
QStringList station_outputs(const QString &folder, const RunSettings &settings);

// The line a pass prints on standard error for `outcome`, without its line
// end; empty for Written and BlockedHour, which print nothing.
QString pass_message(PassOutcome outcome);

// The three files a pass writes, in the order it writes them.
enum class Output { Copy, Meta, Rds };
constexpr std::array<Output, 3> allOutputs = {Output::Copy, Output::Meta, Output::Rds};

// The setting that names an output: "NEWXML", "META" or "RDS".
QString output_tag(Output which);

// An output as a reader of a report calls it: "the copy", "the META file",
// "the RDS file".
QString output_name(Output which);

// How a pass ends when the output cannot be created, or was created but not
// completely written.
PassOutcome cant_create(Output which);
PassOutcome cant_write(Output which);

// One file a pass writes.
struct PlannedOutput {
    Output which = Output::Copy;
    QString path;                // as the pass opens it (relative to the working folder)
    QTextCodec *codec = nullptr; // null: the locale encoding
    QString text;                // what is written, encoded by `codec`, without byte-order mark
    // The inputs this output must not be (by path, symbolic or hard link):
    // writing it would destroy them. The copy may replace the document.
    QStringList inputs;
    // The file already holds exactly these bytes (the copy written over the
    // document by an earlier pass): writing it again would only wake whoever
    // watches it, and that would start another pass.
    bool alreadyInPlace = false;
};

// The input that `output` would overwrite, or an empty string.
QString overwritten_input(const PlannedOutput &output);

// Everything a pass decides before it writes anything.
struct PassPlan {
    // Written when the pass goes on to write `outputs`; otherwise how it ends
    // before writing (bad hour, or an input that cannot be read).
    PassOutcome stop = PassOutcome::Written;
    QString documentPath;                  // as the pass opens it, once the settings are read
    std::vector<SendSetting> destinations; // as the settings name them, once they are read
    QStringList inputs;                    // station_inputs, once the settings are read
    QStringList outputPaths;               // station_outputs, once the settings are read
    std::vector<PlannedOutput> outputs;    // one of each Output, in the order of allOutputs
    OnAirText onAir;                       // when the pass goes on to write
    bool documentWhole = true;             // document_looks_whole of the document read

    // The planned output `which` (outputs must hold it).
    const PlannedOutput &output(Output which) const;
};

// Reads the configuration in `folder` (the working folder when empty), with
// paths in the settings relative to it, and decides what a pass at `now`
// (local time: its weekday and hour meet the bad hours) would write.
PassPlan plan_pass(const QDateTime &now, const QString &folder = QString());

// The same at an hour that no bad hours block: what any pass that runs
// would write.
PassPlan plan_pass_ignoring_hours(const QString &folder = QString());

// How writing the outputs ended: Written when all three were written;
// otherwise the outcome of the first that failed, with the system's reason.
struct OutputsWritten {
    PassOutcome outcome = PassOutcome::Written;
    QString reason;
};

// Writes the outputs in order (but those already in place) and stops at the
// first that fails or would overwrite one of its inputs (as cant_create,
// before opening it); each written output stays.
OutputsWritten write_outputs(const std::vector<PlannedOutput> &outputs);

// How one pass ended, and whether it failed on a file another program
// holds open (held_by_another_program), which a moment later may succeed.
struct PassResult {
    PassOutcome outcome = PassOutcome::Written;
    bool heldByAnother = false;
    // What the pass made of its inputs, when it read them all (even when a
    // file could not be written then).
    std::optional<OnAirText> onAir;
    QString failedPath;                    // the file it failed on, if any
    QString reason;                        // the system's words for a failed write, if any
    std::vector<SendSetting> destinations; // as the settings name them, once they were read
    QStringList inputs;                    // station_inputs, once the settings were read
};

// One whole pass: plan_pass, then write_outputs when the plan goes on, while
// holding the folder's PassLock (waiting for it at most passLockWaitMs).
constexpr int passLockWaitMs = 5000;
// With `whole`, a document that does not look whole (document_looks_whole)
// stops the pass before it writes anything, as DocumentUnfinished.
PassResult attempt_pass(const QDateTime &now, const QString &folder = QString(),
                        bool whole = false);

// attempt_pass, tried again every heldRetryMs while it fails on a file
// another program holds, for at most `retryForMs` (unless an interruption
// is requested): a playout program writing its document, or a reader
// reading an output, must not cost a track.
constexpr int heldRetryMs = 50;
PassOutcome run_pass(const QDateTime &now, const QString &folder = QString(), int retryForMs = 0);
