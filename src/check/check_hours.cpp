// SPDX-License-Identifier: MIT
#include "check_parts.h"

#include "tag_extract.h"

#include <QDateTime>
#include <QRegularExpression>

namespace {

const char *const dayNames[] = {"Monday", "Tuesday",  "Wednesday", "Thursday",
                                "Friday", "Saturday", "Sunday"};

bool all_digits(QStringView text)
{
    return !text.isEmpty() &&
           std::all_of(text.begin(), text.end(), [](QChar c) { return c.isDigit(); });
}

QString why_never_matches(const QString &item)
{
    if (item.contains(QLatin1Char('\n')))
        return QStringLiteral("holds a line break");
    if (item.contains(QLatin1Char(' ')) || item.contains(QLatin1Char('\t')))
        return QStringLiteral("holds a blank");
    if ((item.startsWith(QLatin1Char('+')) || item.startsWith(QLatin1Char('-'))) &&
        all_digits(QStringView(item).mid(1)))
        return QStringLiteral("has a sign");
    if (all_digits(item) && item.size() > 1 && item.startsWith(QLatin1Char('0')))
        return QStringLiteral("has a leading zero");
    if (all_digits(item))
        return QStringLiteral("is not an hour from 0 to 23");
    return QStringLiteral("is not a number");
}

QString day_name(int day)
{
    return QStringLiteral("%1 (%2)").arg(bad_hours_tag(day), QLatin1String(dayNames[day - 1]));
}

void check_day(Findings &f, const RunSettings &settings, int day)
{
    const QString name = day_name(day);
    QStringList blocked;
    for (int hour = 0; hour < 24; ++hour)
        if (in_bad_hours(settings, day, hour))
            blocked << QString::number(hour);
    f.add(hoursSection, Level::Ok,
          blocked.isEmpty() ? name + QStringLiteral(": the pass always runs")
                            : name + QStringLiteral(": no pass in the hours ") +
                                  blocked.join(QStringLiteral(", ")));
    const TagState state = tag_state(settings.text, bad_hours_tag(day));
    if (state.opens > 0 && !state.closed)
        f.add(hoursSection, Level::Warning,
              QStringLiteral("%1: %2 is not closed (no %3 after it), so its hours never count")
                  .arg(name, opening_tag(bad_hours_tag(day)), closing_tag(bad_hours_tag(day))));
    if (state.inCommentOnly)
        f.add(hoursSection, Level::Note,
              QStringLiteral("%1: %2 stands only inside a comment (<!-- ... -->), which the pass "
                             "skips")
                  .arg(name, opening_tag(bad_hours_tag(day))));
    if (state.opens > 1)
        f.add(hoursSection, Level::Warning, repeated_tag(bad_hours_tag(day), state.opens));
    if (state.value.isEmpty())
        return;
    for (const QString &item : bad_hour_items(settings, day)) {
        bool blocks = false;
        for (int hour = 0; hour < 24 && !blocks; ++hour)
            blocks = item_blocks_hour(item, hour);
        if (blocks)
            continue;
        if (item.isEmpty())
            f.add(hoursSection, Level::Note,
                  name + QStringLiteral(": an empty item (a comma too many) matches nothing"));
        else
            f.add(hoursSection, Level::Warning,
                  QStringLiteral("%1: the item %2 %3, so it never matches")
                      .arg(name, visible(item), why_never_matches(item)));
    }
}

// Tags that look like a weekday's hours but are none of the seven.
void check_hour_look_alikes(Findings &f, const RunSettings &settings)
{
    QStringList tags;
    for (int day = 1; day <= 7; ++day)
        tags << opening_tag(bad_hours_tag(day));
    static const QRegularExpression lookAlike(
        QStringLiteral("<[ \\t\\n]*time[ \\t\\n]*[0-9]*[ \\t\\n]*>"),
        QRegularExpression::CaseInsensitiveOption);
    for (auto it = lookAlike.globalMatch(settings.text); it.hasNext();) {
        const QString tag = it.next().captured();
        if (!tags.contains(tag))
            f.add(hoursSection, Level::Warning,
                  QStringLiteral("%1 is not one of %2 to %3 (capitals, no blanks, days 1 to 7), "
                                 "so it never counts")
                      .arg(visible(tag), tags.first(), tags.last()));
    }
}

} // namespace

void check_bad_hours(Findings &f, const RunSettings &settings, const QDateTime &now)
{
    for (int day = 1; day <= 7; ++day)
        check_day(f, settings, day);
    check_hour_look_alikes(f, settings);
    const int today = now.date().dayOfWeek();
    const int hour = now.time().hour();
    const QString when = QStringLiteral("now (%1, hour %2)")
                             .arg(QLatin1String(dayNames[today - 1]), QString::number(hour));
    if (in_bad_hours(settings, today, hour))
        f.add(hoursSection, Level::Note,
              when + QStringLiteral(": the pass would end at once, reading and writing nothing"));
    else
        f.add(hoursSection, Level::Ok, when + QStringLiteral(": the pass would run"));
}
