// SPDX-License-Identifier: MIT
#include "check_parts.h"

#include "conversion.h"
#include "send_attempt.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QRegularExpression>
#include <QTextCodec>
#include <QTimer>

#include <memory>

#ifndef Q_OS_WIN
#include <sys/stat.h>
#endif

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

// Whether someone other than the owner may read the file (Unix modes;
// Windows keeps this in access lists, which are not judged here).
bool readable_by_others(const QString &path)
{
#ifdef Q_OS_WIN
    Q_UNUSED(path)
    return false;
#else
    struct stat st;
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 && (st.st_mode & S_IROTH);
#endif
}

} // namespace

void check_sending(Findings &f, const RunSettings &settings, const PassPlan &plan)
{
    const std::vector<Destination> destinations = destinations_in(settings.text);
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

void send_test(Findings &f, const RunSettings &settings, const PassPlan &plan)
{
    if (plan.stop != PassOutcome::Written)
        return;
    QNetworkAccessManager network;
    std::vector<std::unique_ptr<SendAttempt>> attempts;
    QEventLoop loop;
    int running = 0;
    QList<Finding> results;
    for (const Destination &d : destinations_in(settings.text)) {
        const SentText sent = sent_text(d, plan.onAir);
        if (!d.error.isEmpty() || (sent.text.isEmpty() && d.kind != DestinationKind::WebHook))
            continue;
        attempts.push_back(std::make_unique<SendAttempt>(network));
        const int index = int(results.size());
        results.append({sendTestSection, Level::Error, QString()});
        QObject::connect(attempts.back().get(), &SendAttempt::finished, &loop,
                         [&, index, d](const Verdict &verdict) {
                             results[index] = {
                                 sendTestSection, verdict.delivered ? Level::Ok : Level::Error,
                                 named(d) +
                                     (verdict.delivered ? QStringLiteral(": delivered, ")
                                                        : QStringLiteral(": not delivered, ")) +
                                     verdict.answer};
                             if (--running == 0)
                                 loop.quit();
                         });
        ++running;
        attempts.back()->start(d, send_request(d, sent, plan.onAir));
    }
    if (running > 0)
        loop.exec();
    for (const Finding &result : results)
        f.list.append(result);
}
