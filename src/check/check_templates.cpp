// SPDX-License-Identifier: MIT
#include "check_parts.h"

#include "document_fields.h"
#include "on_air_text.h"
#include "sent_text.h"
#include "tag_extract.h"

#include <QRegularExpression>

namespace {

QString named(const Destination &destination)
{
    return destination.tag + QLatin1Char(' ') + shown_url(destination);
}

// The elements the document has, by name, as a template can name them.
QStringList element_names(const QString &document)
{
    QStringList names;
    // Playout programs name elements in their own language too (<АЛЬБОМ>).
    static const QRegularExpression start(QStringLiteral("<([\\p{L}_][\\w.:-]*)[\\s/>]"),
                                          QRegularExpression::UseUnicodePropertiesOption);
    for (auto it = start.globalMatch(document); it.hasNext() && names.size() < 1000;) {
        const QString name = it.next().captured(1);
        if (!names.contains(name))
            names << name;
    }
    return names;
}

} // namespace

void check_templates(Findings &f, const Destination &d, const OnAirText &onAir)
{
    const struct {
        const TextTemplate &parsed;
        QString name;
    } templates[] = {{d.textTemplate, d.tag + QStringLiteral("TEXT")},
                     {d.idleTemplate, QStringLiteral("the idle text")},
                     {d.queryTemplate, QStringLiteral("the query")}};
    QStringList names;
    for (const auto &t : templates) {
        if (t.parsed.parts.isEmpty())
            continue;
        if (&t.parsed == &d.textTemplate) {
            f.add(sendingSection, Level::Ok,
                  QStringLiteral("%1: its text is the template %2")
                      .arg(named(d), visible(d.textTemplate.written)));
            // As it reads for a jingle or an ad, with one of the two missing.
            OnAirText noArtist = onAir, noTitle = onAir;
            noArtist.artist = noArtist.latinArtist = QString();
            noTitle.title = noTitle.latinTitle = QString();
            f.add(sendingSection, Level::Ok,
                  QStringLiteral("%1: with no artist it gives %2, with no title %3")
                      .arg(named(d), visible(sent_text(d, noArtist).text),
                           visible(sent_text(d, noTitle).text)));
        }
        QStringList controls;
        for (const QString &c : characters_of(t.parsed.written))
            if (is_control(c.at(0)) && c != QLatin1String("\n") && c != QLatin1String("\r") &&
                c != QLatin1String("\t"))
                controls << visible(c);
        if (!controls.isEmpty())
            f.add(sendingSection, Level::Note,
                  QStringLiteral("%1: %2 holds the control characters %3, which are dropped: a "
                                 "text goes out as one clean line")
                      .arg(named(d), t.name, listed(controls)));
        if (&t.parsed != &d.queryTemplate && !can_be_nonempty(t.parsed))
            f.add(sendingSection, Level::Warning,
                  QStringLiteral("%1: %2 names no tag and holds no letter or digit outside "
                                 "optional parts, so it never gives a text")
                      .arg(named(d), t.name));
        for (const QString &tag : template_tags(t.parsed)) {
            if (tag == QLatin1String("ARTIST") || tag == QLatin1String("NAME") ||
                index_outside_comments(onAir.document, opening_tag(tag)) >= 0)
                continue;
            if (names.isEmpty())
                names = element_names(onAir.document);
            QStringList near;
            for (const QString &name : std::as_const(names))
                if (name.compare(tag, Qt::CaseInsensitive) == 0)
                    near << QLatin1Char('<') + name + QLatin1Char('>');
            f.add(sendingSection, Level::Warning,
                  QStringLiteral("%1: %2 names {%3}, which the document does not have%4, so it "
                                 "is empty")
                      .arg(named(d), t.name, tag,
                           near.isEmpty() ? QString()
                                          : QStringLiteral(" (it has %1: tags are matched "
                                                           "exactly, case included)")
                                                .arg(near.join(QStringLiteral(", ")))));
        }
    }
}

void check_destination_tags(Findings &f, const RunSettings &settings)
{
    const QString &text = settings.text;
    static const QRegularExpression nearMiss(
        QStringLiteral("<\\s*/?\\s*send[\\s_-]*(\\d*)\\s*(text|idle)?\\s*>"),
        QRegularExpression::CaseInsensitiveOption);
    QStringList reported;
    for (auto it = nearMiss.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        const QString written = match.captured();
        // <SEND> without a number, or <SEND_1>, is a destination the
        // station believes it set.
        const int n = match.captured(1).toInt();
        const QString suffix = match.captured(2).toUpper();
        const QString exact = QStringLiteral("SEND%1%2").arg(QString::number(n), suffix);
        const bool sound = n >= 1 && n <= maxDestinations &&
                           (written == opening_tag(exact) || written == closing_tag(exact));
        // Its closing tag is the same mistake, said once.
        const QString opening = QString(written).remove(QLatin1Char('/'));
        if (sound || reported.contains(opening) || index_outside_comments(text, written) < 0)
            continue;
        reported << opening;
        f.add(sendingSection, Level::Warning,
              QStringLiteral("%1 is not a destination tag, and is ignored: they are <SEND1> to "
                             "<SEND%2> (with TEXT or IDLE after the number), in capitals, "
                             "without blanks")
                  .arg(written, QString::number(maxDestinations)));
    }
    for (int n = 1; n <= maxDestinations; ++n) {
        const QString send = QStringLiteral("SEND%1").arg(n);
        const bool destination = !tag_state(text, send).value.trimmed().isEmpty();
        for (const QString &suffix : {QString(), QStringLiteral("TEXT"), QStringLiteral("IDLE")}) {
            const QString tag = send + suffix;
            const TagState state = tag_state(text, tag);
            if (state.opens > 0 && !state.closed)
                f.add(sendingSection, Level::Warning,
                      QStringLiteral("<%1> is never closed with </%1>, so it is ignored").arg(tag));
            if (state.opens > 1)
                f.add(sendingSection, Level::Warning, repeated_tag(tag, state.opens));
            // A template left behind when its destination was renumbered
            // or removed: the station believes it is in use.
            if (!suffix.isEmpty() && !destination && !state.value.isEmpty())
                f.add(sendingSection, Level::Warning,
                      QStringLiteral("%1 is set, but there is no %2, so it is not used")
                          .arg(tag, send));
        }
    }
}

void check_follow(Findings &f, const RunSettings &settings)
{
    const FollowSource source = follow_source(settings.follow);
    if (!source.error.isEmpty()) {
        f.add(
            sendingSection, Level::Error,
            QStringLiteral("FOLLOW %1 %2: this site gets nothing").arg(source.shown, source.error));
    } else {
        f.add(sendingSection, Level::Ok,
              QStringLiteral("FOLLOW %1: this site takes the now-playing from the topic %2 and "
                             "makes no passes of its own, each text cleaned as a pass cleans "
                             "the document's (one line, no control characters; a message of "
                             "more than 256 KiB or not shaped as a studio publishes it is left "
                             "aside)%3")
                  .arg(source.shown, visible(source.broker.topic),
                       source.idleAfterMs > 0
                           ? QStringLiteral("; %1 s after the studio goes offline, its "
                                            "destinations get their idle text")
                                 .arg(source.idleAfterMs / 1000.0)
                           : QString()));
    }
    std::vector<Destination> destinations =
        destinations_of(settings.destinations, QString(), station_inputs(QString(), settings));
    if (source.error.isEmpty())
        refuse_followed_topic(destinations, source);
    for (const Destination &d : destinations) {
        if (!d.error.isEmpty()) {
            f.add(sendingSection, Level::Error,
                  named(d) + QLatin1Char(' ') + d.error +
                      QStringLiteral(": nothing is sent there"));
            continue;
        }
        f.add(sendingSection, Level::Ok,
              QStringLiteral("%1 gets what the studio publishes%2")
                  .arg(named(d), d.textTemplate.parts.isEmpty()
                                     ? QString()
                                     : QStringLiteral(", as the template %1")
                                           .arg(visible(d.textTemplate.written))));
    }
    if (settings.destinations.empty())
        f.add(sendingSection, Level::Warning,
              QStringLiteral("FOLLOW names a studio, but no destination (SEND1 to SEND%1) gets "
                             "its text")
                  .arg(maxDestinations));
}
