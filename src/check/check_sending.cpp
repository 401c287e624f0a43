// SPDX-License-Identifier: MIT
#include "check_parts.h"

#include "destination.h"
#include "file_probe.h"
#include "send_once.h"
#include "send_request.h"
#include "sent_text.h"

#include <QRegularExpression>
#include <QTextCodec>

namespace {

QString named(const Destination &destination)
{
    return destination.tag + QLatin1Char(' ') + shown_url(destination);
}

// The request as it may be shown: the bytes of an encoder's commands, the
// method and address of an HTTP request (without a password).
QString shown_request(const Destination &destination, const SendRequest &request)
{
    if (!request.commands.isEmpty()) {
        QStringList commands;
        for (const QByteArray &command : request.commands)
            commands << visible(QString::fromLatin1(command));
        return commands.join(QStringLiteral(" then "));
    }
    QUrl url = request.url;
    url.setPassword(QString());
    QString address = url.toString(QUrl::FullyEncoded);
    if (destination.kind == DestinationKind::Shoutcast)
        address.replace(QRegularExpression(QStringLiteral("pass=[^&]*")),
                        QStringLiteral("pass=..."));
    return QString::fromLatin1(request.method) + QLatin1Char(' ') + address;
}

} // namespace

void check_sending(Findings &f, const PassPlan &plan)
{
    const std::vector<Destination> destinations = destinations_of(plan.destinations);
    bool password = false;
    for (const Destination &d : destinations) {
        if (!d.error.isEmpty()) {
            f.add(sendingSection, Level::Error,
                  named(d) + QLatin1Char(' ') + d.error +
                      QStringLiteral(": nothing is sent there"));
            continue;
        }
        password = password || !d.url.password().isEmpty();
        if (plan.stop != PassOutcome::Written) {
            f.add(sendingSection, Level::Note,
                  named(d) + QStringLiteral(": nothing to show, ") + stops_with(plan.stop));
            continue;
        }
        const SentText sent = sent_text(d, plan.onAir);
        if (sent.text.isEmpty() && d.kind != DestinationKind::WebHook) {
            f.add(sendingSection, Level::Warning,
                  named(d) + QStringLiteral(": the document has neither artist nor title, so "
                                            "nothing is sent"));
            continue;
        }
        const SendRequest request = send_request(d, sent, plan.onAir);
        f.add(sendingSection, Level::Ok,
              QStringLiteral("%1 gets %2 in %3: %4")
                  .arg(named(d), visible(request.shown),
                       d.kind == DestinationKind::WebHook ? QStringLiteral("JSON (UTF-8)")
                                                          : codec_name(d.charset),
                       shown_request(d, request)));
        const bool encoder = d.kind == DestinationKind::RdsTcp || d.kind == DestinationKind::RdsUdp;
        const QString whole = sent.artist + sent.splitter + sent.title;
        if (encoder && character_count(whole) > radioTextLength)
            f.add(sendingSection, Level::Warning,
                  QStringLiteral("%1: the text has %2 characters; RadioText carries %3, so the "
                                 "encoder gets it cut at the last blank that fits")
                      .arg(named(d))
                      .arg(character_count(whole))
                      .arg(radioTextLength));
        QStringList lost;
        if (d.kind != DestinationKind::WebHook)
            for (const QString &c : characters_of(sent.text))
                if (!d.charset->canEncode(c))
                    lost << c;
        if (!lost.isEmpty())
            f.add(sendingSection, Level::Warning,
                  QStringLiteral("%1: %2 cannot hold %3, which are sent as \"?\"")
                      .arg(named(d), codec_name(d.charset), listed(lost)));
    }
    if (password && readable_by_others(QLatin1String(settingsFileName)))
        f.add(sendingSection, Level::Warning,
              QStringLiteral("%1 holds a password, and other users may read it: chmod o-r %1")
                  .arg(QLatin1String(settingsFileName)));
}

void send_test(Findings &f, const PassPlan &plan)
{
    if (plan.stop != PassOutcome::Written)
        return;
    std::vector<OneSend> sends;
    for (const Destination &d : destinations_of(plan.destinations)) {
        const SentText sent = sent_text(d, plan.onAir);
        if (!d.error.isEmpty() || (sent.text.isEmpty() && d.kind != DestinationKind::WebHook))
            continue;
        sends.push_back({d, send_request(d, sent, plan.onAir)});
    }
    const std::vector<Verdict> verdicts = send_each_once(sends);
    for (size_t i = 0; i < sends.size(); ++i) {
        const Verdict &verdict = verdicts[i];
        f.add(sendTestSection, verdict.delivered ? Level::Ok : Level::Error,
              named(sends[i].destination) +
                  (verdict.delivered ? QStringLiteral(": delivered, ")
                                     : QStringLiteral(": not delivered, ")) +
                  verdict.answer);
    }
}
