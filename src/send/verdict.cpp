// SPDX-License-Identifier: MIT
#include "verdict.h"

#include "outside_text.h"

#include <QRegularExpression>

Verdict judge_http_reply(const Destination &destination, int status, const QByteArray &body,
                         const QByteArray &location)
{
    if (status == 0)
        return {false, QStringLiteral("no HTTP reply")};
    QString answer =
        QStringLiteral("HTTP %1 \"%2\"").arg(QString::number(status), quoted_reply(body));
    if (status >= 300 && status < 400 && !location.isEmpty())
        answer += QStringLiteral(": it has moved to \"%1\", the address to set instead")
                      .arg(quoted_reply(location));
    if (status == 401)
        return {false, QStringLiteral("the password is refused (%1)").arg(answer), true};
    if (destination.kind == DestinationKind::Icecast) {
        static const QRegularExpression message(QStringLiteral("<message>([^<]*)</message>"));
        const QString said = message.match(QString::fromUtf8(body)).captured(1);
        return {status == 200 && said == QLatin1String("Metadata update successful"), answer,
                false};
    }
    if (destination.kind == DestinationKind::WebHook)
        return {status >= 200 && status < 300, answer, false};
    return {status == 200, answer, false};
}

Verdict judge_rds_reply(const RdsDialect &dialect, const QByteArray &line)
{
    const QByteArray reply = line.trimmed().toUpper();
    const QString answer = QStringLiteral("\"%1\"").arg(quoted_reply(line));
    if (QByteArray(dialect.done).split(' ').contains(reply))
        return {true, answer};
    if (QByteArray(dialect.refused).split(' ').contains(reply))
        return {false, QStringLiteral("refused: ") + answer};
    return {false, QStringLiteral("unexpected reply: ") + answer};
}
