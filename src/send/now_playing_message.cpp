// SPDX-License-Identifier: MIT
#include "now_playing_message.h"

#include "document_fields.h"
#include "pass.h"
#include "paths.h"
#include "station_romanization.h"
#include "text_file.h"
#include "transliteration.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTextCodec>

#include <algorithm>

namespace {

QString escaped(QString value)
{
    return value.replace(QLatin1Char('&'), QLatin1String("&amp;"))
        .replace(QLatin1Char('<'), QLatin1String("&lt;"))
        .replace(QLatin1Char('>'), QLatin1String("&gt;"));
}

} // namespace

QByteArray now_playing_json(const OnAirText &onAir, const SentText &sent, const QString &id,
                            int limit)
{
    QJsonObject fields;
    for (const QString &name : text_elements(onAir.document))
        fields.insert(name, field_value(onAir.document, name));
    const QDateTime time = onAir.time.toOffsetFromUtc(onAir.time.offsetFromUtc());
    QJsonObject object{{QStringLiteral("artist"), onAir.artist},
                       {QStringLiteral("title"), onAir.title},
                       {QStringLiteral("meta"), onAir.meta},
                       {QStringLiteral("rds"), onAir.rds},
                       {QStringLiteral("text"), sent.text},
                       {QStringLiteral("fields"), fields},
                       {QStringLiteral("time"), time.toString(Qt::ISODateWithMs)},
                       {QStringLiteral("id"), id}};
    QByteArray json = QJsonDocument(object).toJson(QJsonDocument::Compact);
    // A field that is no on-air text (a cover picture in base64) would make
    // the message one that every site leaves aside: the longest go first.
    while (limit > 0 && json.size() > limit && !fields.isEmpty()) {
        auto longest = fields.begin();
        for (auto it = fields.begin(); it != fields.end(); ++it)
            if (it.value().toString().size() > longest.value().toString().size())
                longest = it;
        fields.erase(longest);
        object.insert(QStringLiteral("fields"), fields);
        json = QJsonDocument(object).toJson(QJsonDocument::Compact);
    }
    return json;
}

namespace {

bool is_element_name(const QString &name)
{
    if (name.isEmpty() || !(name.at(0).isLetter() || name.at(0) == QLatin1Char('_')))
        return false;
    return std::all_of(name.begin(), name.end(), [](QChar c) {
        return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('-') ||
               c == QLatin1Char('.') || c == QLatin1Char(':');
    });
}

QString type_name(const QJsonValue &value)
{
    switch (value.type()) {
    case QJsonValue::Null:
        return QStringLiteral("null");
    case QJsonValue::Bool:
        return QStringLiteral("true or false");
    case QJsonValue::Double:
        return QStringLiteral("a number");
    case QJsonValue::Array:
        return QStringLiteral("a list");
    case QJsonValue::Object:
        return QStringLiteral("an object");
    default:
        return QStringLiteral("missing");
    }
}

// Why `object` is not the shape the studio publishes; empty when it is.
QString shape_problem(const QJsonObject &object)
{
    for (const char *key : {"artist", "title"})
        if (!object.value(QLatin1String(key)).isString())
            return QStringLiteral("\"%1\" is %2, not text")
                .arg(QLatin1String(key), type_name(object.value(QLatin1String(key))));
    for (const char *key : {"meta", "rds", "text", "time", "id"}) {
        const QJsonValue value = object.value(QLatin1String(key));
        if (!value.isUndefined() && !value.isString())
            return QStringLiteral("\"%1\" is %2, not text")
                .arg(QLatin1String(key), type_name(value));
    }
    const QJsonValue fields = object.value(QStringLiteral("fields"));
    if (fields.isUndefined())
        return QString();
    if (!fields.isObject())
        return QStringLiteral("\"fields\" is %1, not an object").arg(type_name(fields));
    const QJsonObject named = fields.toObject();
    if (named.size() > 64)
        return QStringLiteral("\"fields\" has more than 64 entries");
    for (auto it = named.constBegin(); it != named.constEnd(); ++it) {
        if (!is_element_name(it.key()))
            return QStringLiteral("\"fields\" has an entry whose name is not an element's");
        if (!it.value().isString())
            return QStringLiteral("\"fields\" has an entry that is %1, not text")
                .arg(type_name(it.value()));
    }
    return QString();
}

QString clean(const QJsonObject &object, const char *key)
{
    return on_air_value(object.value(QLatin1String(key)).toString());
}

} // namespace

FollowedMessage read_now_playing(const QByteArray &message)
{
    if (message.size() > longestFollowedMessage)
        return {std::nullopt, QStringLiteral("it has %1 bytes, more than %2 KiB")
                                  .arg(QString::number(message.size()),
                                       QString::number(longestFollowedMessage / 1024))};
    QJsonParseError error;
    const QJsonDocument json = QJsonDocument::fromJson(message, &error);
    if (error.error != QJsonParseError::NoError)
        return {std::nullopt, QStringLiteral("it is not JSON (%1 at byte %2)")
                                  .arg(error.errorString(), QString::number(error.offset))};
    if (!json.isObject())
        return {std::nullopt, QStringLiteral("it is not a JSON object")};
    const QJsonObject object = json.object();
    const QString problem = shape_problem(object);
    if (!problem.isEmpty())
        return {std::nullopt, problem};
    OnAirText onAir;
    onAir.artist = clean(object, "artist");
    onAir.title = clean(object, "title");
    onAir.meta = clean(object, "meta");
    onAir.rds = clean(object, "rds");
    onAir.time =
        QDateTime::fromString(object.value(QStringLiteral("time")).toString(), Qt::ISODateWithMs);
    const QJsonObject fields = object.value(QStringLiteral("fields")).toObject();
    for (auto it = fields.constBegin(); it != fields.constEnd(); ++it)
        onAir.document += QLatin1Char('<') + it.key() + QLatin1Char('>') +
                          escaped(on_air_value(it.value().toString())) + QLatin1String("</") +
                          it.key() + QLatin1Char('>');
    return {onAir, QString()};
}

Romanization site_romanization(const RunSettings &settings, const QString &folder)
{
    const std::optional<QString> letters = read_config_file(
        path_in_folder(folder, QLatin1String(lettersFileName)), QTextCodec::codecForLocale());
    return station_romanization(settings, letters.value_or(usual_russian_letters()),
                                path_in_folder(folder, settings.spellingsPath));
}

QString site_splitter(const QString &setting)
{
    return setting.isEmpty() ? QStringLiteral(" - ") : setting;
}

OnAirText site_text(OnAirText studio, const Romanization &latin, const QString &metaSplitter,
                    const QString &rdsSplitter)
{
    studio.latin = latin;
    studio.latinArtist = to_latin_name(latin, studio.artist);
    studio.latinTitle = latin_title(studio.title, latin);
    studio.metaSplitter = metaSplitter;
    studio.rdsSplitter = rdsSplitter;
    return studio;
}
