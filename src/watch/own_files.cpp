// SPDX-License-Identifier: MIT
#include "own_files.h"

#include "destination.h"
#include "pass.h"
#include "paths.h"

#include <QDir>
#include <QHash>
#include <QTextCodec>

#include <algorithm>

std::vector<StationFile> station_files(const QString &folder)
{
    const QString settingsPath = path_in_folder(folder, QLatin1String(settingsFileName));
    std::vector<StationFile> files{
        {QStringLiteral("the settings file (settings.txt)"), settingsPath},
        {QStringLiteral("the letters file (rusletters.txt)"),
         path_in_folder(folder, QLatin1String(lettersFileName))}};
    const std::optional<RunSettings> settings =
        load_settings(settingsPath, QTextCodec::codecForLocale());
    if (!settings)
        return files;
    const struct {
        const char *role;
        const QString &path;
        bool written;
    } named[] = {{"the document (XML)", settings->documentPath, false},
                 {"the spellings file (SPELLINGS)", settings->spellingsPath, false},
                 {"the copy (NEWXML)", settings->copyPath, true},
                 {"the META file", settings->metaPath, true},
                 {"the RDS file", settings->rdsPath, true}};
    for (const auto &file : named)
        if (!file.path.isEmpty())
            files.push_back(
                {QLatin1String(file.role), path_in_folder(folder, file.path), file.written});
    for (const Destination &d : destinations_of(settings->destinations, folder))
        if (writes_a_file(d) && !d.path.isEmpty() && !is_device_name(d.path))
            files.push_back({d.tag + QStringLiteral("'s file"), d.path, true});
    return files;
}

QStringList shared_station_files(const QStringList &folders, const QStringList &names)
{
    // By key rather than pair by pair: a group of a thousand stations
    // would otherwise compare millions of pairs at its start.
    struct Seen {
        int station;
        StationFile file;
    };
    QHash<QString, QVector<Seen>> bySpelling;
    QHash<QPair<quint64, quint64>, QVector<Seen>> byIdentity;
    QStringList shared;
    constexpr int longestTold = 20;
    int count = 0;
    for (int b = 0; b < folders.size(); ++b) {
        const std::vector<StationFile> files = station_files(folders[b]);
        std::vector<std::pair<QString, FileIdentity>> keys;
        for (const StationFile &theirs : files) {
            keys.emplace_back(spelled_path(theirs.path), file_identity(theirs.path));
            const FileIdentity &id = keys.back().second;
            QVector<Seen> earlier = bySpelling.value(keys.back().first);
            if (id.known)
                earlier += byIdentity.value({id.volume, id.index});
            // The first station it shares the file with is enough to tell.
            for (const Seen &mine : earlier) {
                if (!mine.file.written && !theirs.written)
                    continue;
                ++count;
                if (shared.size() < longestTold)
                    shared << QStringLiteral("%1 of %2 (%3) is also %4 of %5: what one station "
                                             "writes there replaces the other's")
                                  .arg(mine.file.role, names.value(mine.station),
                                       QDir::toNativeSeparators(QDir::cleanPath(mine.file.path)),
                                       theirs.role, names.value(b));
                break;
            }
        }
        // A station's own files are not compared with each other here.
        for (size_t i = 0; i < files.size(); ++i) {
            if (!usable_path(files[i].path))
                continue;
            bySpelling[keys[i].first].push_back({b, files[i]});
            if (keys[i].second.known)
                byIdentity[{keys[i].second.volume, keys[i].second.index}].push_back({b, files[i]});
        }
    }
    if (count > longestTold)
        shared << QStringLiteral("and %1 more files that stations share").arg(count - longestTold);
    return shared;
}

QString repeated_folder(const QStringList &folders)
{
    for (int i = 0; i < folders.size(); ++i)
        for (int j = i + 1; j < folders.size(); ++j)
            if (one_file(folders[i], folders[j]))
                return QStringLiteral("one folder is named twice (as %1 and %2)")
                    .arg(QDir::toNativeSeparators(folders[i]),
                         QDir::toNativeSeparators(folders[j]));
    return QString();
}

QString own_files_clash(const std::vector<OwnFile> &own, const QStringList &folders)
{
    if (std::all_of(own.begin(), own.end(), [](const OwnFile &f) { return f.path.isEmpty(); }))
        return QString();
    for (size_t i = 0; i < own.size(); ++i)
        for (size_t j = i + 1; j < own.size(); ++j)
            if (!own[i].path.isEmpty() && !own[j].path.isEmpty() &&
                one_file(own[i].path, own[j].path))
                return QStringLiteral("%1 and %2 name one file, %3: name two")
                    .arg(own[i].option, own[j].option, QDir::toNativeSeparators(own[i].path));
    for (const QString &folder : folders)
        for (const StationFile &file : station_files(folder))
            for (const OwnFile &mine : own)
                if (!mine.path.isEmpty() && one_file(mine.path, file.path))
                    return QStringLiteral(
                               "%1 %2 is %3 of the station in %4: name another file for it")
                        .arg(mine.option, QDir::toNativeSeparators(mine.path), file.role,
                             QDir::toNativeSeparators(folder));
    return QString();
}
