// SPDX-License-Identifier: MIT
#include "check_parts.h"

#include "declaration.h"
#include "file_judgement.h"
#include "file_probe.h"
#include "file_sharing.h"
#include "link_guard.h"
#include "notification_limits.h"
#include "output_file.h"
#include "paths.h"

#include <QDir>
#include <QFileInfo>

void check_outputs(Findings &f, const PassPlan &plan)
{
    for (const PlannedOutput &output : plan.outputs) {
        const QString name = output_tag(output.which) + QLatin1Char(' ') + visible(output.path);
        const QString input = overwritten_input(output);
        const QString problem = output_problem(output.path);
        const QString planted = planted_link(output.path);
        if (!planted.isEmpty()) {
            f.add(outputsSection, Level::Error,
                  QStringLiteral("%1: %2. Passes do not write through such a link (another user "
                                 "could point it at any file); put the file itself there, or "
                                 "let only the folder's owner write to the folder: %3")
                      .arg(name, planted, stops_with(cant_create(output.which))));
            continue;
        }
        if (is_device_name(output.path)) {
            f.add(outputsSection, Level::Note,
                  name + QStringLiteral(" is a Windows device: each pass writes to it as it is"));
            continue;
        }
        if (!input.isEmpty())
            f.add(outputsSection, Level::Error,
                  QStringLiteral("%1 is the same file as %2, which the pass will not overwrite: "
                                 "%3")
                      .arg(name, visible(input), stops_with(cant_create(output.which))));
        else if (held_by_another_program(output.path, true))
            // As the pass will find it: not for good, but right now.
            f.add(outputsSection, Level::Warning,
                  name + QStringLiteral(" is held open by another program, which keeps it from "
                                        "being written now: a pass tries again (nowplaying-convert "
                                        "for up to a second, then %1; nowplaying-watch until it "
                                        "can)")
                             .arg(stops_with(cant_create(output.which))));
        else if (!problem.isEmpty())
            f.add(outputsSection, Level::Error,
                  name + QLatin1Char(' ') + problem + QStringLiteral(": ") +
                      stops_with(cant_create(output.which)));
        else if (is_fifo_or_socket(output.path))
            f.add(outputsSection, Level::Note,
                  name + QStringLiteral(" is a FIFO: each pass waits up to %1 seconds for "
                                        "something to read it")
                             .arg(fifoReaderWaitMs / 1000));
        else
            f.add(outputsSection, Level::Ok,
                  name + (QFileInfo::exists(output.path) ? QStringLiteral(" will be replaced")
                                                         : QStringLiteral(" will be created")));
    }
    const QString &copy = plan.output(Output::Copy).path;
    const QString &meta = plan.output(Output::Meta).path;
    const QString &rds = plan.output(Output::Rds).path;
    if (same_target(copy, plan.documentPath)) {
        if (xml_declaration(plan.output(Output::Copy).text).start < 0)
            f.add(outputsSection, Level::Warning,
                  QStringLiteral("NEWXML names the document itself, which has no XML declaration: "
                                 "a later pass cannot tell its own copy from a new document and "
                                 "reads the copy in INXMLENC again, which garbles the text when "
                                 "the encodings differ"));
        else
            f.add(outputsSection, Level::Note,
                  QStringLiteral("NEWXML names the document itself: the copy replaces it; later "
                                 "passes know the copy by its declaration, read it in its own "
                                 "encoding and do not write it again while it is unchanged"));
    }
    // Two outputs on one device (NUL, /dev/null) are not two files.
    const auto one_file = [](const QString &a, const QString &b) {
        return same_target(a, b) && !names_no_file(a);
    };
    if (one_file(copy, meta) || one_file(copy, rds))
        f.add(outputsSection, Level::Warning,
              QStringLiteral("NEWXML names the same file as %1: the copy is lost under it")
                  .arg(one_file(copy, meta) ? QStringLiteral("META") : QStringLiteral("RDS")));
    if (one_file(meta, rds))
        f.add(outputsSection, Level::Warning,
              QStringLiteral("META and RDS name the same file: it ends up holding the RDS text"));
}

// Whether the two ways of making a pass on every change would see the
// document change: the systemd path unit as installed, and nowplaying-watch.
void check_watching(Findings &f, const QString &documentPath)
{
    if (!usable_path(documentPath))
        return;
    const QFileInfo document(QDir::current().absoluteFilePath(documentPath));
    const QString watched = QDir::current().absoluteFilePath(QStringLiteral("nowplaying.xml"));
    if (on_windows())
        // No systemd here: the watcher, started at logon or by Task Scheduler,
        // or the playout program's own hook, makes the passes.
        f.add(watchingSection, Level::Note,
              QStringLiteral("on Windows, run nowplaying-watch (at logon, or as a Task Scheduler "
                             "task \"at startup\") for a pass on every change, or have the "
                             "playout program start nowplaying-convert after each track"));
    else if (same_target(document.absoluteFilePath(), watched))
        f.add(watchingSection, Level::Ok,
              QStringLiteral("the systemd path unit as installed watches the document"));
    else
        f.add(watchingSection, Level::Note,
              QStringLiteral("the systemd path unit as installed watches %1, not the document: "
                             "give it PathChanged=%2 in a drop-in, or use nowplaying-watch")
                  .arg(visible(watched), document.absoluteFilePath()));
    // As the system writes paths (backslashes on Windows).
    const QString folder = QDir::toNativeSeparators(document.absolutePath());
    const QString network = network_file_system(folder);
    if (!QFileInfo(folder).isDir())
        f.add(watchingSection, Level::Warning,
              QStringLiteral("the document's folder %1 does not exist: nothing can be watched "
                             "there until it does (nowplaying-watch looks for it again every "
                             "quarter of a second)")
                  .arg(visible(folder)));
    else if (!network.isEmpty())
        f.add(watchingSection, Level::Warning,
              QStringLiteral("the document is on a network file system (%1): changes made on "
                             "another machine come without notification, so neither the path "
                             "unit nor nowplaying-watch sees them; run nowplaying-watch --poll 250")
                  .arg(network));
    else
        f.add(watchingSection, Level::Ok,
              QStringLiteral("nowplaying-watch is notified of every change of the document"));
    // The user's share of the system's notifications: a watcher needs one
    // instance, and a few watches for each station.
    const NotificationUse use = notification_use();
    if (use.maxInstances > 0 && use.maxInstances - use.instances <= 4)
        f.add(watchingSection, Level::Warning,
              QStringLiteral("this user holds %1 of its %2 change notification instances "
                             "(fs.inotify.max_user_instances): a watcher started now may get "
                             "none and poll instead; raise it with sudo sysctl "
                             "fs.inotify.max_user_instances=512")
                  .arg(QString::number(use.instances), QString::number(use.maxInstances)));
    if (use.maxWatches > 0 && use.watches * 10 > use.maxWatches * 9)
        f.add(watchingSection, Level::Warning,
              QStringLiteral("this user holds %1 of its %2 watched files and folders "
                             "(fs.inotify.max_user_watches): a station may not be watched and "
                             "polls instead; raise it with sudo sysctl "
                             "fs.inotify.max_user_watches=524288")
                  .arg(QString::number(use.watches), QString::number(use.maxWatches)));
}
