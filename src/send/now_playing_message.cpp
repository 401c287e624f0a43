// SPDX-License-Identifier: MIT
#include "now_playing_message.h"

#include "document_fields.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace {

QString escaped(QString value)
{
    return value.replace(QLatin1Char('&'), QLatin1String("&amp;"))
        .replace(QLatin1Char('<'), QLatin1String("&lt;"))
        .replace(QLatin1Char('>'), QLatin1String("&gt;"));
}

} // namespace

QByteArray now_playing_json(const OnAirText &onAir, const SentText &sent, const QString &id)
{
    QJsonObject fields;
    for (const QString &name : text_elements(onAir.document))
        fields.insert(name, field_value(onAir.document, name));
    const QDateTime time = onAir.time.toOffsetFromUtc(onAir.time.offsetFromUtc());
    const QJsonObject object{{QStringLiteral("artist"), onAir.artist},
                             {QStringLiteral("title"), onAir.title},
                             {QStringLiteral("meta"), onAir.meta},
                             {QStringLiteral("rds"), onAir.rds},
                             {QStringLiteral("text"), sent.text},
                             {QStringLiteral("fields"), fields},
                             {QStringLiteral("time"), time.toString(Qt::ISODateWithMs)},
                             {QStringLiteral("id"), id}};
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

std::optional<OnAirText> now_playing_from_json(const QByteArray &message)
{
    QJsonParseError error;
    const QJsonDocument json = QJsonDocument::fromJson(message, &error);
    if (error.error != QJsonParseError::NoError || !json.isObject())
        return std::nullopt;
    const QJsonObject object = json.object();
    OnAirText onAir;
    onAir.artist = object.value(QStringLiteral("artist")).toString();
    onAir.title = object.value(QStringLiteral("title")).toString();
    onAir.meta = object.value(QStringLiteral("meta")).toString();
    onAir.rds = object.value(QStringLiteral("rds")).toString();
    onAir.time =
        QDateTime::fromString(object.value(QStringLiteral("time")).toString(), Qt::ISODateWithMs);
    const QJsonObject fields = object.value(QStringLiteral("fields")).toObject();
    for (auto it = fields.constBegin(); it != fields.constEnd(); ++it)
        onAir.document += QLatin1Char('<') + it.key() + QLatin1Char('>') +
                          escaped(it.value().toString()) + QLatin1String("</") + it.key() +
                          QLatin1Char('>');
    return onAir;
}
