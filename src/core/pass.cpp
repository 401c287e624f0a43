// SPDX-License-Identifier: MIT
#include "pass.h"

#include "conversion.h"
#include "file_identity.h"
#include "pass_lock.h"
#include "settings_file.h"
#include "tag_extract.h"
#include "text_file.h"
#include "xml_text.h"

#include <QDateTime>
#include <QDir>
#include <QTextCodec>

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

// Relative paths in the settings name files in the configuration folder, as
// they would for a pass started in it. Empty paths stay empty, so that they
// still fail as unusable rather than naming the folder itself.
QString in_folder(const QString &folder, const QString &path)
{
    if (folder.isEmpty() || path.isEmpty() || QDir::isAbsolutePath(path))
        return path;
    return folder + QLatin1Char('/') + path;
}

PassPlan stopped(PassOutcome outcome)
{
    PassPlan plan;
    plan.stop = outcome;
    return plan;
}

} // namespace

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

PassPlan plan_pass(const QDateTime &now, const QString &folder)
{
    QTextCodec *const localeCodec = QTextCodec::codecForLocale();
    const QString settingsPath = in_folder(folder, QStringLiteral("settings.txt"));
    const std::optional<RunSettings> settings = load_settings(settingsPath, localeCodec);
    if (!settings)
        return stopped(PassOutcome::CantReadSettings);

    if (in_bad_hours(*settings, now.date().dayOfWeek(), now.time().hour()))
        return stopped(PassOutcome::BlockedHour);

    const QString lettersPath = in_folder(folder, QStringLiteral("rusletters.txt"));
    const std::optional<QString> letters = read_config_file(lettersPath, localeCodec);
    if (!letters)
        return stopped(PassOutcome::CantReadLetters);

    QTextCodec *const metaCodec = codec_for_name(settings->metaEncoding);
    QTextCodec *const documentCodec = codec_for_name(settings->documentEncoding);
    QTextCodec *const copyCodec = codec_for_name(settings->copyEncoding);

    const QString documentPath = in_folder(folder, settings->documentPath);
    std::optional<QString> document = read_text_file(documentPath, documentCodec);
    if (!document)
        return stopped(PassOutcome::CantOpenDocument);
    const QString title = decode_xml_text(extract(*document, QStringLiteral("NAME")));
    const QString artist = decode_xml_text(extract(*document, QStringLiteral("ARTIST")));

    const LatinForms latin = latin_forms(artist, title, *letters);
    // The document is not needed past this point: moving it lets the rewrite
    // work in place instead of on a copy. Without a usable OUTXMLENC the copy
    // is in the locale encoding, and its declaration says so.
    QString copy =
        rewrite_declaration(std::move(*document), copyCodec ? copyCodec : localeCodec,
                            copyCodec ? settings->copyEncoding.trimmed() : locale_encoding_name());

    const QStringList configuration = {settingsPath, lettersPath};
    PassPlan plan;
    plan.outputs.push_back({in_folder(folder, settings->copyPath), copyCodec, std::move(copy),
                            PassOutcome::CantCreateCopy, PassOutcome::CantWriteCopy,
                            configuration});
    plan.outputs.push_back({in_folder(folder, settings->metaPath), metaCodec,
                            meta_text(artist, settings->metaSplitter, title),
                            PassOutcome::CantCreateMeta, PassOutcome::CantWriteMeta,
                            configuration + QStringList{documentPath}});
    plan.outputs.push_back({in_folder(folder, settings->rdsPath), nullptr,
                            rds_text(latin, settings->rdsSplitter), PassOutcome::CantCreateRds,
                            PassOutcome::CantWriteRds, configuration + QStringList{documentPath}});
    return plan;
}

PassOutcome write_outputs(const std::vector<PlannedOutput> &outputs)
{
    for (const PlannedOutput &output : outputs) {
        if (!overwritten_input(output).isEmpty())
            return output.cantCreate;
        const WriteResult result = write_text_file(output.path, output.text, output.codec);
        if (result == WriteResult::NotCreated)
            return output.cantCreate;
        if (result == WriteResult::NotWritten)
            return output.cantWrite;
    }
    return PassOutcome::Written;
}

PassOutcome run_pass(const QDateTime &now, const QString &folder)
{
    const PassLock lock(in_folder(folder, QStringLiteral("settings.txt")),
                        std::chrono::milliseconds(passLockWaitMs));
    const PassPlan plan = plan_pass(now, folder);
    if (plan.stop != PassOutcome::Written)
        return plan.stop;
    return write_outputs(plan.outputs);
}
