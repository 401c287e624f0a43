// SPDX-License-Identifier: MIT
#include "pass.h"

#include "declaration.h"
#include "document.h"
#include "encoding.h"
#include "file_sharing.h"
#include "input_file.h"
#include "pass_lock.h"
#include "paths.h"
#include "settings.h"
#include "station_romanization.h"
#include "stop_request.h"
#include "tag_extract.h"
#include "text_file.h"
#include "transliteration.h"
#include "xml_text.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QMap>
#include <QTextCodec>
#include <QThread>

namespace {

const struct {
    PassOutcome outcome;
    const char *line;
} messageLines[] = {
    {PassOutcome::Written, ""},
    {PassOutcome::BlockedHour, ""},
    {PassOutcome::CantReadSettings, "cant read settings"},
    {PassOutcome::CantReadLetters, "cant read russian letters"},
    {PassOutcome::CantOpenDocument, "cant open XML"},
    {PassOutcome::CantCreateCopy, "cant create XML"},
    {PassOutcome::CantWriteCopy, "cant write XML"},
    {PassOutcome::CantCreateMeta, "cant create META file"},
    {PassOutcome::CantWriteMeta, "cant write META file"},
    {PassOutcome::CantCreateRds, "cant create RDS"},
    {PassOutcome::CantWriteRds, "cant write RDS"},
    {PassOutcome::DocumentUnfinished, ""},
};

const struct {
    Output which;
    const char *tag;
    const char *name;
    PassOutcome cantCreate;
    PassOutcome cantWrite;
} outputRows[] = {
    {Output::Copy, "NEWXML", "the copy", PassOutcome::CantCreateCopy, PassOutcome::CantWriteCopy},
    {Output::Meta, "META", "the META file", PassOutcome::CantCreateMeta,
     PassOutcome::CantWriteMeta},
    {Output::Rds, "RDS", "the RDS file", PassOutcome::CantCreateRds, PassOutcome::CantWriteRds},
};

const auto &row_of(Output which)
{
    return outputRows[size_t(which)];
}

} // namespace

QString output_tag(Output which)
{
    return QLatin1String(row_of(which).tag);
}

QString output_name(Output which)
{
    return QLatin1String(row_of(which).name);
}

PassOutcome cant_create(Output which)
{
    return row_of(which).cantCreate;
}

PassOutcome cant_write(Output which)
{
    return row_of(which).cantWrite;
}

const PlannedOutput &PassPlan::output(Output which) const
{
    return outputs.at(size_t(which));
}

QString path_in_folder(const QString &folder, const QString &path)
{
    if (folder.isEmpty() || path.isEmpty() || QDir::isAbsolutePath(path))
        return path;
    return folder + QLatin1Char('/') + path;
}

QString pass_message(PassOutcome outcome)
{
    for (const auto &entry : messageLines)
        if (entry.outcome == outcome)
            return QLatin1String(entry.line);
    return QString();
}

QStringList station_inputs(const QString &folder, const RunSettings &settings)
{
    QStringList inputs = {path_in_folder(folder, QLatin1String(settingsFileName)),
                          path_in_folder(folder, QLatin1String(lettersFileName)),
                          path_in_folder(folder, settings.documentPath)};
    if (!settings.spellingsPath.isEmpty())
        inputs << path_in_folder(folder, settings.spellingsPath);
    inputs.removeAll(QString());
    return inputs;
}

QStringList station_outputs(const QString &folder, const RunSettings &settings)
{
    return {path_in_folder(folder, settings.copyPath), path_in_folder(folder, settings.metaPath),
            path_in_folder(folder, settings.rdsPath)};
}

QString overwritten_input(const PlannedOutput &output)
{
    for (const QString &input : output.inputs)
        if (same_file(output.path, input))
            return input;
    return QString();
}

namespace {

// The run sequence up to writing; `now` is null when no hour is blocked.
// `settingsBytes`: the settings as the pass's lock read them (nothing:
// read by their path).
PassPlan plan(const QDateTime *now, const QString &folder,
              const std::optional<QByteArray> &settingsBytes = std::nullopt)
{
    PassPlan plan;
    QTextCodec *const localeCodec = QTextCodec::codecForLocale();
    const QString settingsPath = path_in_folder(folder, QLatin1String(settingsFileName));
    const std::optional<RunSettings> settings =
        settingsBytes ? std::optional<RunSettings>(
                            settings_from_text(config_text(*settingsBytes, localeCodec)))
                      : load_settings(settingsPath, localeCodec);
    if (!settings) {
        plan.stop = PassOutcome::CantReadSettings;
        return plan;
    }
    plan.documentPath = path_in_folder(folder, settings->documentPath);
    plan.destinations = settings->destinations;
    plan.inputs = station_inputs(folder, *settings);
    plan.outputPaths = station_outputs(folder, *settings);

    if (now && in_bad_hours(*settings, now->date().dayOfWeek(), now->time().hour())) {
        plan.stop = PassOutcome::BlockedHour;
        return plan;
    }

    const QString lettersPath = path_in_folder(folder, QLatin1String(lettersFileName));
    const std::optional<QString> letters = read_config_file(lettersPath, localeCodec);
    if (!letters) {
        plan.stop = PassOutcome::CantReadLetters;
        return plan;
    }

    QTextCodec *const metaCodec = codec_for_name(settings->metaEncoding);
    QTextCodec *const documentCodec = codec_for_name(settings->documentEncoding);
    const CopyEncoding copyEncoding = copy_encoding(settings->copyEncoding);

    const QString copyPath = path_in_folder(folder, settings->copyPath);
    DocumentText read =
        read_document(plan.documentPath, documentCodec, copyPath, copyEncoding.codec);
    std::optional<QString> &document = read.text;
    if (!document) {
        plan.stop = PassOutcome::CantOpenDocument;
        return plan;
    }
    plan.documentWhole = document_looks_whole(*document);
    // On air as one clean line, whatever white space and control characters
    // the document has around and inside the values.
    const QString title = on_air_value(decode_xml_text(extract(*document, QStringLiteral("NAME"))));
    const QString artist =
        on_air_value(decode_xml_text(extract(*document, QStringLiteral("ARTIST"))));

    // The station's spellings are read for what can match this artist and
    // title alone: a file of thousands of names costs a pass little.
    const QString names = artist + QLatin1Char(' ') + title;
    const Romanization romanization = station_romanization(
        *settings, *letters, path_in_folder(folder, settings->spellingsPath), &names);
    const LatinForms latin = latin_forms(artist, title, romanization);
    plan.onAir = {artist,
                  title,
                  to_latin_name(romanization, artist),
                  latin_title(title, romanization),
                  settings->metaSplitter,
                  settings->rdsSplitter,
                  meta_text(artist, settings->metaSplitter, title),
                  rds_text(latin, settings->rdsSplitter),
                  now ? *now : QDateTime::currentDateTime(),
                  QString(),
                  romanization};
    // The document is not needed past this point: moving it lets the rewrite
    // work in place instead of on a copy.
    QString copy = rewrite_declaration(std::move(*document), copyEncoding.codec, copyEncoding.name);
    // The copy's elements are the document's (only the declaration differs),
    // and sharing it costs no second copy of a large document.
    plan.onAir.document = copy;

    // The copy may replace the document (re-encoding in place); nothing may
    // replace the configuration.
    const QStringList &allInputs = plan.inputs;
    QStringList configuration = allInputs;
    // Once: a document that is also the settings file stays configuration.
    configuration.removeOne(plan.documentPath);
    const bool copyInPlace =
        same_file(copyPath, plan.documentPath) &&
        read_file_bytes(plan.documentPath) == encode_text(copy, copyEncoding.codec);
    plan.outputs.push_back(
        {Output::Copy, copyPath, copyEncoding.codec, std::move(copy), configuration, copyInPlace});
    plan.outputs.push_back({Output::Meta, path_in_folder(folder, settings->metaPath), metaCodec,
                            plan.onAir.meta, allInputs, false});
    plan.outputs.push_back({Output::Rds, path_in_folder(folder, settings->rdsPath), nullptr,
                            plan.onAir.rds, allInputs, false});
    return plan;
}

} // namespace

PassPlan plan_pass(const QDateTime &now, const QString &folder)
{
    return plan(&now, folder);
}

PassPlan plan_pass_ignoring_hours(const QString &folder)
{
    return plan(nullptr, folder);
}

OutputsWritten write_outputs(const std::vector<PlannedOutput> &outputs)
{
    // Each input looked at once, however many outputs are compared with it.
    QMap<QString, FileIdentity> inputs;
    for (const PlannedOutput &output : outputs)
        for (const QString &input : output.inputs)
            if (!inputs.contains(input))
                inputs.insert(input, file_identity(input));
    for (const PlannedOutput &output : outputs) {
        const FileIdentity written = file_identity(output.path);
        for (const QString &input : output.inputs)
            if (same_identity(written, inputs.value(input)))
                return {cant_create(output.which), QStringLiteral("it is an input of the pass")};
        if (output.alreadyInPlace)
            continue;
        const WriteResult result = write_text_file(output.path, output.text, output.codec);
        if (result.status == WriteStatus::NotCreated)
            return {cant_create(output.which), result.reason};
        if (result.status == WriteStatus::NotWritten)
            return {cant_write(output.which), result.reason};
    }
    return {};
}

namespace {

// The file a failed pass could not open, and whether it wanted to write it.
struct FailedFile {
    QString path;
    bool forWriting = false;
};

FailedFile failed_file(const PassPlan &plan, PassOutcome outcome, const QString &folder)
{
    switch (outcome) {
    case PassOutcome::CantReadSettings:
        return {path_in_folder(folder, QLatin1String(settingsFileName)), false};
    case PassOutcome::CantReadLetters:
        return {path_in_folder(folder, QLatin1String(lettersFileName)), false};
    case PassOutcome::CantOpenDocument:
        return {plan.documentPath, false};
    default:
        break;
    }
    for (const PlannedOutput &output : plan.outputs)
        if (outcome == cant_create(output.which) || outcome == cant_write(output.which))
            return {output.path, true};
    return {};
}

} // namespace

PassResult attempt_pass(const QDateTime &now, const QString &folder, bool whole)
{
    const PassLock lock(path_in_folder(folder, QLatin1String(settingsFileName)),
                        std::chrono::milliseconds(passLockWaitMs));
    // The settings read through the lock's own handle: opened once.
    const PassPlan plan = ::plan(&now, folder, lock.read_all());
    if (whole && plan.stop == PassOutcome::Written && !plan.documentWhole)
        return {PassOutcome::DocumentUnfinished,
                false,
                std::nullopt,
                plan.documentPath,
                {},
                plan.destinations,
                plan.inputs};
    const OutputsWritten written = plan.stop != PassOutcome::Written ? OutputsWritten{plan.stop, {}}
                                                                     : write_outputs(plan.outputs);
    const PassOutcome outcome = written.outcome;
    if (outcome == PassOutcome::Written)
        return {outcome, false, plan.onAir, {}, {}, plan.destinations, plan.inputs};
    if (outcome == PassOutcome::BlockedHour)
        return {outcome, false, std::nullopt, {}, {}, plan.destinations, plan.inputs};
    // What the pass made is on air for whoever carries it on, even when its
    // files could not all be written (a full disk costs no broadcast).
    const std::optional<OnAirText> made =
        plan.stop == PassOutcome::Written ? std::optional<OnAirText>(plan.onAir) : std::nullopt;
    const FailedFile failed = failed_file(plan, outcome, folder);
    return {outcome,        held_by_another_program(failed.path, failed.forWriting),
            made,           failed.path,
            written.reason, plan.destinations,
            plan.inputs};
}

PassOutcome run_pass(const QDateTime &now, const QString &folder, int retryForMs)
{
    QElapsedTimer trying;
    trying.start();
    for (;;) {
        const PassResult result = attempt_pass(now, folder);
        if (!result.heldByAnother || trying.elapsed() + heldRetryMs > retryForMs ||
            interruption_requested())
            return result.outcome;
        QThread::msleep(heldRetryMs);
    }
}
