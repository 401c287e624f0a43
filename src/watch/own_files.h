// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>
#include <vector>

// A file the watcher writes for itself, as the command line names it.
struct OwnFile {
    QString option; // "--log", "--status", "--metrics", "--status-page"
    QString path;   // absolute; empty when not asked for
};

// A file a station reads or writes, and what it is to the station.
struct StationFile {
    QString role; // "the settings file (settings.txt)", "the document (XML)", "SEND1's file", ...
    QString path; // absolute
    bool written = false; // the copy, META, RDS, a destination's file; not what it reads
};

// The files the station in `folder` (absolute) reads and writes as its
// settings name them now: settings.txt, rusletters.txt, the document, the
// spellings, the copy, the META and RDS files, and each file: and dls:
// destination's file. Only settings.txt and rusletters.txt when the
// settings cannot be read.
std::vector<StationFile> station_files(const QString &folder);

// For a group: each file one station writes that another station reads or
// writes too (two stations on one RDS file would put each other's titles
// on air), as "the RDS file of a (/air/rds.txt) is also the RDS file of b:
// ..." (the first 20, then how many more); `names` are the stations'
// names, in the order of `folders`.
QStringList shared_station_files(const QStringList &folders, const QStringList &names);

// The folder named twice in `folders` (absolute), however it is spelled or
// reached (a link): "FOLDER is named twice (as A and B)"; empty when none
// is. A station served twice would send every text twice.
QString repeated_folder(const QStringList &folders);

// Why the watcher cannot write its own files where the command line puts
// them: two of them are one file, or one is a file a station in `folders`
// reads or writes (a log that is a station's settings would start a pass
// with every line it logs; a status file that is its RDS file would put
// JSON on air). Empty when nothing clashes.
QString own_files_clash(const std::vector<OwnFile> &own, const QStringList &folders);
