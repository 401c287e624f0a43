// SPDX-License-Identifier: MIT
#include "check_parts.h"

#include "destination.h"
#include "encoding.h"
#include "file_judgement.h"
#include "file_probe.h"
#include "link_guard.h"
#include "mqtt_client.h"
#include "now_playing_message.h"
#include "paths.h"
#include "plain_letters.h"
#include "send_once.h"
#include "send_request.h"
#include "sent_text.h"
#include "serial_probe.h"
#include "shown_address.h"

#include <QEventLoop>
#include <QTextCodec>
#include <QTimer>

#include <algorithm>

namespace {

QString named(const Destination &destination)
{
    return destination.tag + QLatin1Char(' ') + shown_url(destination);
}

// The request as it may be shown: the bytes of an encoder's commands, the
// file a file destination writes, the method and address of an HTTP
// request (by shown_address's rule, as the log shows it).
QString shown_request(const Destination &d, const SendRequest &request)
{
    if (!request.commands.isEmpty()) {
        QStringList commands;
        for (const QByteArray &command : request.commands)
            commands << (d.dialect && d.dialect->uecp
                             ? QStringLiteral("frame ") +
                                   QString::fromLatin1(command.toHex(' ').toUpper())
                             : visible(QString::fromLatin1(command)));
        return commands.join(QStringLiteral(" then "));
    }
    if (!request.topic.isEmpty())
        return QStringLiteral("%1 bytes of JSON published to %2, retained")
            .arg(QString::number(request.body.size()), visible(request.topic));
    if (!request.path.isEmpty())
        return QStringLiteral("%1 bytes written to %2")
            .arg(QString::number(request.fileBytes.size()), visible(request.path));
    return QString::fromLatin1(request.method) + QLatin1Char(' ') +
           shown_address(request.url, true);
}

QString encoding_of(const Destination &d)
{
    if (gets_whole_now_playing(d))
        return QStringLiteral("JSON (UTF-8)");
    if (d.dialect && d.dialect->uecp)
        return QStringLiteral("the RDS character set");
    return codec_name(d.charset);
}

// What the cut takes away: the text as it would be without the limit.
void check_length(Findings &f, const Destination &d, const OnAirText &onAir)
{
    if (d.maxCharacters <= 0)
        return;
    Destination uncut = d;
    uncut.maxCharacters = 0;
    const int length = character_count(sent_text(uncut, onAir).text);
    if (length <= d.maxCharacters)
        return;
    const QString where = d.kind == DestinationKind::Dls ? QStringLiteral("a DAB+ label carries")
                          : d.dialect                    ? QStringLiteral("RadioText carries")
                                                         : QStringLiteral("max= lets through");
    f.add(sendingSection, Level::Warning,
          QStringLiteral("%1: the text has %2 characters; %3 %4, so it is cut at the last blank "
                         "that fits")
              .arg(named(d), QString::number(length), where, QString::number(d.maxCharacters)));
}

// The label a DAB+ encoder shows, with its DL Plus tags.
void check_label(Findings &f, const Destination &d, const SentText &sent)
{
    QStringList tags;
    for (const RtPlusTag &tag : rt_plus_tags(sent))
        tags << QStringLiteral("%1 from %2, %3 characters")
                    .arg(tag.type == 4 ? QStringLiteral("ITEM.ARTIST")
                                       : QStringLiteral("ITEM.TITLE"),
                         QString::number(tag.start), QString::number(tag.length));
    f.add(sendingSection, Level::Ok,
          QStringLiteral("%1: the DAB+ label is %2%3")
              .arg(named(d), visible(sent.text),
                   !d.dlPlus ? QString()
                   : tags.isEmpty()
                       ? QStringLiteral(", without DL Plus tags (no artist or title)")
                       : QStringLiteral(", DL Plus: ") + tags.join(QStringLiteral("; "))));
}

// A port the watcher holds is the port in use, not a fault; one that
// another program has open too gets what both write, mixed.
void check_serial_port(Findings &f, const Destination &d)
{
    const SerialPortState port = serial_port_state(d.path);
    const QString holders = port.holders.join(QStringLiteral(", "));
    if (!port.holders.isEmpty() &&
        std::all_of(port.holders.begin(), port.holders.end(), held_by_a_watcher))
        f.add(sendingSection, Level::Ok,
              QStringLiteral("%1: the port %2 is there, held by %3, the watcher sending to it")
                  .arg(named(d), visible(d.path), holders));
    else if (!port.problem.isEmpty())
        f.add(sendingSection, Level::Error, QStringLiteral("%1: %2").arg(named(d), port.problem));
    else if (!port.holders.isEmpty())
        f.add(sendingSection, Level::Warning,
              QStringLiteral("%1: the port %2 can be opened, but %3 has it open too: what both "
                             "write goes out mixed, and the encoder's answers may go to either")
                  .arg(named(d), visible(d.path), holders));
    else
        f.add(sendingSection, Level::Ok,
              QStringLiteral("%1: the port %2 is there and can be opened now")
                  .arg(named(d), visible(d.path)));
}

// The characters of `text` the destination's character set lacks: those
// sent as their plain letter, and those sent as "?".
void check_characters(Findings &f, const Destination &d, const QString &text)
{
    QStringList lost, plain;
    for (const QString &c : characters_of(text)) {
        const QChar instead = c.size() == 1 ? plain_letter(c.at(0)) : QChar();
        if (destination_holds(d, c))
            continue;
        if (!instead.isNull() && destination_holds(d, instead))
            plain << c + QStringLiteral(" as ") + instead;
        else
            lost << c;
    }
    if (!plain.isEmpty())
        f.add(sendingSection, Level::Note,
              QStringLiteral("%1: %2 lacks some letters, which are sent plain: %3")
                  .arg(named(d), encoding_of(d), plain.join(QStringLiteral(", "))));
    if (!lost.isEmpty())
        f.add(sendingSection, Level::Warning,
              QStringLiteral("%1: %2 cannot hold %3, which are sent as \"?\"")
                  .arg(named(d), encoding_of(d), listed(lost)));
}

// When a destination's texts go out, where it holds them back.
void check_timing(Findings &f, const Destination &d)
{
    QStringList rules;
    if (d.delayMs > 0)
        rules << QStringLiteral("each text goes out %1 s after its pass").arg(d.delayMs / 1000.0);
    if (d.minIntervalMs > 0)
        rules << QStringLiteral("at most one send every %1 s").arg(d.minIntervalMs / 1000.0);
    if (!rules.isEmpty())
        f.add(sendingSection, Level::Note,
              QStringLiteral("%1: %2").arg(named(d), rules.join(QStringLiteral(", "))));
}

} // namespace

void check_sending(Findings &f, const PassPlan &plan)
{
    const std::vector<Destination> destinations =
        destinations_of(plan.destinations, QString(), plan.inputs);
    bool password = false;
    for (const Destination &d : destinations) {
        // One peer named twice: an encoder, or a broker's topic.
        const auto same_peer = [&d](const Destination &e) {
            return e.error.isEmpty() && e.kind == d.kind && e.url.port() == d.url.port() &&
                   e.url.host().compare(d.url.host(), Qt::CaseInsensitive) == 0 &&
                   (d.kind != DestinationKind::Mqtt || e.url.path() == d.url.path());
        };
        const auto first = std::find_if(destinations.data(), &d, same_peer);
        const bool network = d.kind == DestinationKind::RdsTcp ||
                             d.kind == DestinationKind::RdsUdp || d.kind == DestinationKind::Mqtt;
        if (d.error.isEmpty() && network && first != &d)
            f.add(sendingSection, Level::Warning,
                  d.kind == DestinationKind::Mqtt
                      ? QStringLiteral("%1 publishes to the topic %2 publishes to: the retained "
                                       "text there is whichever of the two came last")
                            .arg(named(d), first->tag)
                      : QStringLiteral("%1 sends to the encoder %2 sends to: it gets each text "
                                       "twice, and many encoders take one connection at a time")
                            .arg(named(d), first->tag));
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
        check_templates(f, d, plan.onAir);
        const SentText sent = sent_text(d, plan.onAir);
        if (sent.text.isEmpty() && !gets_whole_now_playing(d)) {
            f.add(sendingSection, Level::Warning,
                  named(d) + QStringLiteral(": the text comes out empty (the document has neither "
                                            "artist nor title) and there is no idle text, so "
                                            "nothing is sent"));
            continue;
        }
        const SendRequest request = with_first_page(d, sent, send_request(d, sent, plan.onAir));
        f.add(sendingSection, Level::Ok,
              QStringLiteral("%1 gets %2%3 in %4: %5")
                  .arg(named(d), sent.idle ? QStringLiteral("the idle text ") : QString(),
                       visible(request.shown), encoding_of(d), shown_request(d, request)));
        if (d.ps.paging) {
            QStringList pages;
            for (const QString &page : ps_pages_of(sent))
                pages << visible(page);
            f.add(sendingSection, Level::Ok,
                  QStringLiteral("%1: the programme service name shows %2, one every %3 s")
                      .arg(named(d), listed(pages), QString::number(d.ps.pageMs / 1000.0)));
        }
        if (d.kind == DestinationKind::RdsSerial)
            check_serial_port(f, d);
        if (d.kind == DestinationKind::Dls)
            check_label(f, d, sent);
        const QString planted = d.path.isEmpty() ? QString() : planted_link(d.path);
        if (!planted.isEmpty())
            f.add(sendingSection, Level::Error,
                  QStringLiteral("%1: %2. The watcher does not write through such a link "
                                 "(another user could point it at any file): nothing is written "
                                 "there")
                      .arg(named(d), planted));
        const bool writesFile = writes_a_file(d);
        for (const Output which : allOutputs)
            if (writesFile && !d.path.isEmpty() && plan.outputPaths.value(int(which)).size() > 0 &&
                one_file(d.path, plan.outputPaths.value(int(which))))
                f.add(sendingSection, Level::Note,
                      QStringLiteral("%1 writes the file the pass writes as %2: its text "
                                     "replaces the pass's there after each pass")
                          .arg(named(d), output_tag(which)));
        const QString problem =
            writesFile && !d.path.isEmpty() ? output_problem(d.path) : QString();
        if (planted.isEmpty() && !problem.isEmpty())
            f.add(sendingSection, Level::Error,
                  QStringLiteral("%1: %2 %3: each send fails, and is tried again")
                      .arg(named(d), visible(d.path), problem));
        check_length(f, d, plan.onAir);
        if (!gets_whole_now_playing(d))
            check_characters(f, d, sent.text);
        check_timing(f, d);
    }
    if (password && readable_by_others(QLatin1String(settingsFileName)))
        f.add(sendingSection, Level::Warning,
              QStringLiteral("%1 holds a password, and other users may read it: chmod o-r %1")
                  .arg(QLatin1String(settingsFileName)));
}

namespace {

// `onAir` sent once to each usable destination, each answer a finding.
void send_each(Findings &f, const std::vector<Destination> &destinations, const OnAirText &onAir)
{
    std::vector<OneSend> sends;
    for (const Destination &d : destinations) {
        const SentText sent = sent_text(d, onAir);
        if (!d.error.isEmpty() || (sent.text.isEmpty() && !gets_whole_now_playing(d)))
            continue;
        // A port a running watcher holds cannot be opened a second time;
        // the watcher's own sends are the test.
        const QStringList holders = d.kind == DestinationKind::RdsSerial
                                        ? serial_port_state(d.path).holders
                                        : QStringList();
        if (!holders.isEmpty() && std::all_of(holders.begin(), holders.end(), held_by_a_watcher)) {
            f.add(sendTestSection, Level::Note,
                  QStringLiteral("%1: not sent: the port is held by %2, the watcher sending to "
                                 "it (its log and status say how its sends go)")
                      .arg(named(d), holders.join(QStringLiteral(", "))));
            continue;
        }
        sends.push_back({d, with_first_page(d, sent, send_request(d, sent, onAir))});
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

// The message the broker keeps on `source`'s topic (its retained one), or
// why there is none within `waitMs`.
struct Retained {
    QByteArray message;
    QString missing; // empty when `message` came
};
Retained retained_message(const FollowSource &source, int waitMs)
{
    MqttClient::Options options = client_options(source.broker);
    options.maxPayloadBytes = longestFollowedMessage;
    MqttClient client(options);
    Retained got{{}, QStringLiteral("the topic gave no message within %1 s").arg(waitMs / 1000)};
    QEventLoop loop;
    // What ends the wait may come within open(), before the loop runs.
    bool ended = false;
    const auto end = [&](const Retained &retained) {
        got = retained;
        ended = true;
        loop.quit();
    };
    QTimer::singleShot(waitMs, &loop, &QEventLoop::quit);
    QObject::connect(&client, &MqttClient::connected,
                     [&]() { client.subscribe(source.broker.topic); });
    QObject::connect(&client, &MqttClient::message, [&](const QString &, const QByteArray &bytes) {
        end({bytes, QString()});
    });
    QObject::connect(&client, &MqttClient::oversized, [&](const QString &, qint64 bytes) {
        end({{},
             QStringLiteral("its message of %1 bytes is more than a site takes")
                 .arg(QString::number(bytes))});
    });
    QObject::connect(&client, &MqttClient::failed, [&](const QString &reason, bool) {
        end({{}, reason});
    });
    client.open();
    if (!ended)
        loop.exec();
    return got;
}

} // namespace

void send_test(Findings &f, const PassPlan &plan)
{
    if (plan.stop == PassOutcome::Written)
        send_each(f, destinations_of(plan.destinations, QString(), plan.inputs), plan.onAir);
}

void site_send_test(Findings &f, const RunSettings &settings, const Romanization &latin)
{
    const FollowSource source = follow_source(settings.follow);
    if (!source.error.isEmpty())
        return; // said with the source
    const Retained retained = retained_message(source, 5000);
    const FollowedMessage read =
        retained.missing.isEmpty() ? read_now_playing(retained.message) : FollowedMessage{};
    if (!read.onAir) {
        f.add(sendTestSection, Level::Error,
              QStringLiteral("FOLLOW %1: nothing sent, since there is no studio's text to send: %2")
                  .arg(source.shown, retained.missing.isEmpty() ? read.refusal : retained.missing));
        return;
    }
    std::vector<Destination> destinations =
        destinations_of(settings.destinations, QString(), station_inputs(QString(), settings));
    refuse_followed_topic(destinations, source);
    send_each(f, destinations,
              site_text(*read.onAir, latin, site_splitter(settings.metaSplitter),
                        site_splitter(settings.rdsSplitter)));
}
