// SPDX-License-Identifier: MIT
#include "pass.h"

#include "conversion.h"
#include "document_reading.h"
#include "file_identity.h"
#include "file_sharing.h"
#include "interruption.h"
#include "pass_lock.h"
#include "settings_file.h"
#include "tag_extract.h"
#include "text_file.h"
#include "transliteration.h"
#include "xml_text.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
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
};

} // namespace

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

QString overwritten_input(const PlannedOutput &output)
{
    for (const QString &input : output.inputs)
        if (same_file(output.path, input))
            return input;
    return QString();
}

namespace {

// The run sequence up to writing; `now` is null when no hour is blocked.
PassPlan plan(const QDateTime *now, const QString &folder)
{
    PassPlan plan;
    QTextCodec *const localeCodec = QTextCodec::codecForLocale();
    const QString settingsPath = path_in_folder(folder, QLatin1String(settingsFileName));
    const std::optional<RunSettings> settings = load_settings(settingsPath, localeCodec);
    if (!settings) {
        plan.stop = PassOutcome::CantReadSettings;
        return plan;
    }
    plan.documentPath = path_in_folder(folder, settings->documentPath);

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
    // On air as one clean line, whatever white space and control characters
    // the document has around and inside the values.
    const QString title = on_air_value(decode_xml_text(extract(*document, QStringLiteral("NAME"))));
    const QString artist =
        on_air_value(decode_xml_text(extract(*document, QStringLiteral("ARTIST"))));

    const LatinForms latin = latin_forms(artist, title, *letters);
    plan.onAir = {artist,
                  title,
                  transliterate(artist, *letters),
                  latin_title(title, *letters),
                  settings->metaSplitter,
                  settings->rdsSplitter,
                  meta_text(artist, settings->metaSplitter, title),
                  rds_text(latin, settings->rdsSplitter),
                  now ? *now : QDateTime::currentDateTime()};
    // The document is not needed past this point: moving it lets the rewrite
    // work in place instead of on a copy.
    QString copy = rewrite_declaration(std::move(*document), copyEncoding.codec, copyEncoding.name);

    // The copy may replace the document (re-encoding in place); nothing may
    // replace the configuration.
    const QStringList configuration = {settingsPath, lettersPath};
    const QStringList allInputs = configuration + QStringList{plan.documentPath};
    const bool copyInPlace =
        same_file(copyPath, plan.documentPath) &&
        read_file_bytes(plan.documentPath) == encode_text(copy, copyEncoding.codec);
    plan.outputs.push_back({copyPath, copyEncoding.codec, std::move(copy),
                            PassOutcome::CantCreateCopy, PassOutcome::CantWriteCopy, configuration,
                            copyInPlace});
    plan.outputs.push_back({path_in_folder(folder, settings->metaPath), metaCodec, plan.onAir.meta,
                            PassOutcome::CantCreateMeta, PassOutcome::CantWriteMeta, allInputs});
    plan.outputs.push_back({path_in_folder(folder, settings->rdsPath), nullptr, plan.onAir.rds,
                            PassOutcome::CantCreateRds, PassOutcome::CantWriteRds, allInputs});
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

PassOutcome write_outputs(const std::vector<PlannedOutput> &outputs)
{
    for (const PlannedOutput &output : outputs) {
        if (!overwritten_input(output).isEmpty())
            return output.cantCreate;
        if (output.alreadyInPlace)
            continue;
        const WriteResult result = write_text_file(output.path, output.text, output.codec);
        if (result == WriteResult::NotCreated)
            return output.cantCreate;
        if (result == WriteResult::NotWritten)
            return output.cantWrite;
    }
    return PassOutcome::Written;
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
        if (outcome == output.cantCreate || outcome == output.cantWrite)
            return {output.path, true};
    return {};
}

} // namespace

PassResult attempt_pass(const QDateTime &now, const QString &folder)
{
    const PassLock lock(path_in_folder(folder, QLatin1String(settingsFileName)),
                        std::chrono::milliseconds(passLockWaitMs));
    const PassPlan plan = plan_pass(now, folder);
    const PassOutcome outcome =
        plan.stop != PassOutcome::Written ? plan.stop : write_outputs(plan.outputs);
    if (outcome == PassOutcome::Written)
        return {outcome, false, plan.onAir};
    if (outcome == PassOutcome::BlockedHour)
        return {outcome, false, std::nullopt};
    const FailedFile failed = failed_file(plan, outcome, folder);
    return {outcome, held_by_another_program(failed.path, failed.forWriting), std::nullopt};
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
