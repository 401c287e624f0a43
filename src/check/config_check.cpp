// SPDX-License-Identifier: MIT
#include "config_check.h"

#include "conversion.h"
#include "pass.h"
#include "settings_file.h"
#include "tag_extract.h"
#include "text_file.h"
#include "transliteration.h"
#include "xml_text.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStringList>
#include <QTextCodec>

namespace {

const QString settingsSection = QStringLiteral("settings.txt");
const QString encodingsSection = QStringLiteral("encodings");
const QString hoursSection = QStringLiteral("bad hours");
const QString lettersSection = QStringLiteral("rusletters.txt");
const QString documentSection = QStringLiteral("document");
const QString outputsSection = QStringLiteral("outputs");
const QString previewSection = QStringLiteral("preview");

// How many items a finding lists before it only counts the rest.
constexpr int maxListed = 6;
// RadioText carries at most this many characters.
constexpr int radioTextLength = 64;

struct Findings {
    QList<Finding> list;
    void add(const QString &section, Level level, const QString &text)
    {
        list.append({section, level, text});
    }
};

// A value in quotes, with line breaks, tabs and other control characters
// spelled out, so that a blank or a line break inside a tag can be seen.
QString visible(const QString &value)
{
    QString out = QStringLiteral("\"");
    for (const QChar c : value) {
        if (c == QLatin1Char('\n'))
            out += QLatin1String("\\n");
        else if (c == QLatin1Char('\t'))
            out += QLatin1String("\\t");
        else if (c == QLatin1Char('"'))
            out += QLatin1String("\\\"");
        else if (c == QLatin1Char('\\'))
            out += QLatin1String("\\\\");
        else if (c.unicode() < 0x20 || c.category() == QChar::Other_Format || c.isSurrogate())
            out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out + QLatin1Char('"');
}

QString stops_with(PassOutcome outcome)
{
    return QStringLiteral("the pass stops with \"%1\"").arg(pass_message(outcome));
}

QString locale_codec_name()
{
    return QString::fromLatin1(QTextCodec::codecForLocale()->name());
}

// What an empty value of each setting leads to, and how bad that is.
struct Consequence {
    Level level;
    QString text;
};

Consequence empty_value_consequence(const QString &tag)
{
    if (tag == QLatin1String("XML"))
        return {Level::Error, stops_with(PassOutcome::CantOpenDocument)};
    if (tag == QLatin1String("NEWXML"))
        return {Level::Error, stops_with(PassOutcome::CantCreateCopy)};
    if (tag == QLatin1String("META"))
        return {Level::Error, stops_with(PassOutcome::CantCreateMeta)};
    if (tag == QLatin1String("RDS"))
        return {Level::Error, stops_with(PassOutcome::CantCreateRds)};
    if (tag.endsWith(QLatin1String("SPLITTER")))
        return {Level::Note, QStringLiteral("artist and title are written back to back")};
    return {Level::Warning,
            QStringLiteral("the locale encoding (%1) is used").arg(locale_codec_name())};
}

void check_settings(Findings &f, const RunSettings &s)
{
    for (const SettingTag &setting : settingTags) {
        const QString tag = QLatin1String(setting.tag);
        const QString value = s.*setting.field;
        const QString openTag = QLatin1Char('<') + tag + QLatin1Char('>');
        const int opens = s.text.count(openTag);
        const Consequence empty = empty_value_consequence(tag);
        if (opens == 0) {
            f.add(settingsSection, empty.level, tag + QStringLiteral(" is missing: ") + empty.text);
            continue;
        }
        if (value.isEmpty()) {
            const bool closed = s.text.indexOf(QStringLiteral("</") + tag + QLatin1Char('>'),
                                               s.text.indexOf(openTag)) >= 0;
            f.add(settingsSection, empty.level,
                  tag +
                      (closed ? QStringLiteral(" is empty: ")
                              : QStringLiteral(" is not closed, so its value is empty: ")) +
                      empty.text);
        } else {
            f.add(settingsSection, Level::Ok, tag + QStringLiteral(" = ") + visible(value));
        }
        if (opens > 1)
            f.add(settingsSection, Level::Warning,
                  QStringLiteral("%1 appears %2 times: only the first one counts")
                      .arg(tag)
                      .arg(opens));
        const bool splitter = tag.endsWith(QLatin1String("SPLITTER"));
        if (!splitter && !value.isEmpty() && value != value.trimmed())
            f.add(
                settingsSection, Level::Warning,
                tag +
                    QStringLiteral(" has blanks or line breaks at its ends, which are part of the "
                                   "value: ") +
                    (tag.endsWith(QLatin1String("ENC")) ? QStringLiteral("the name is not found")
                                                        : QStringLiteral("it names another file")));
        if (splitter && value.contains(QLatin1Char('\n')))
            f.add(settingsSection, Level::Note,
                  tag + QStringLiteral(" holds a line break, which is written as it is"));
    }
}

void check_encodings(Findings &f, const RunSettings &s)
{
    const QList<QPair<QString, QString>> names = {{QStringLiteral("METAENC"), s.metaEncoding},
                                                  {QStringLiteral("INXMLENC"), s.documentEncoding},
                                                  {QStringLiteral("OUTXMLENC"), s.copyEncoding}};
    for (const auto &name : names) {
        if (QTextCodec *codec = codec_for_name(name.second))
            f.add(encodingsSection, Level::Ok,
                  QStringLiteral("%1 %2 is %3")
                      .arg(name.first, visible(name.second), QString::fromLatin1(codec->name())));
        else if (name.second.isEmpty())
            f.add(encodingsSection, Level::Note,
                  QStringLiteral("%1 is empty: the locale encoding (%2) is used")
                      .arg(name.first, locale_codec_name()));
        else
            f.add(encodingsSection, Level::Warning,
                  QStringLiteral("%1 %2 is not a known encoding: the locale encoding (%3) is used "
                                 "instead")
                      .arg(name.first, visible(name.second), locale_codec_name()));
    }
    f.add(encodingsSection, Level::Note,
          QStringLiteral("the RDS file is written in the locale encoding (%1)")
              .arg(locale_codec_name()));
}

QString why_never_matches(const QString &item)
{
    bool number = false;
    const int hour = item.toInt(&number);
    if (item.contains(QLatin1Char(' ')) || item.contains(QLatin1Char('\t')) ||
        item.contains(QLatin1Char('\n')))
        return QStringLiteral("holds a blank");
    if (number && item.startsWith(QLatin1Char('0')))
        return QStringLiteral("has a leading zero");
    if (number && (hour < 0 || hour > 23))
        return QStringLiteral("is not an hour from 0 to 23");
    return QStringLiteral("is not a number");
}

const char *const dayNames[] = {"Monday", "Tuesday",  "Wednesday", "Thursday",
                                "Friday", "Saturday", "Sunday"};

void check_bad_hours(Findings &f, const RunSettings &s, int today, int currentHour)
{
    QStringList hourNames;
    for (int hour = 0; hour < 24; ++hour)
        hourNames << QString::number(hour);
    for (int day = 1; day <= 7; ++day) {
        const QString tag = QStringLiteral("TIME%1").arg(day);
        const QString name = QStringLiteral("%1 (%2)").arg(tag, QLatin1String(dayNames[day - 1]));
        QStringList blocked;
        for (int hour = 0; hour < 24; ++hour)
            if (in_bad_hours(s, day, hour))
                blocked << QString::number(hour);
        f.add(hoursSection, Level::Ok,
              blocked.isEmpty() ? name + QStringLiteral(": the pass always runs")
                                : name + QStringLiteral(": no pass in the hours ") +
                                      blocked.join(QStringLiteral(", ")));
        const QString value = extract(s.text, tag);
        if (value.isEmpty())
            continue;
        for (const QString &item : value.split(QLatin1Char(','))) {
            if (hourNames.contains(item))
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
    const QString when = QStringLiteral("now (%1, hour %2)")
                             .arg(QLatin1String(dayNames[(today - 1) % 7]))
                             .arg(currentHour);
    if (in_bad_hours(s, today, currentHour))
        f.add(hoursSection, Level::Note,
              when + QStringLiteral(": the pass would end at once, reading and writing nothing"));
    else
        f.add(hoursSection, Level::Ok, when + QStringLiteral(": the pass would run"));
}

QString listed(QStringList items)
{
    const int more = items.size() - maxListed;
    if (more > 0) {
        items = items.mid(0, maxListed);
        items << QStringLiteral("and %1 more").arg(more);
    }
    return items.join(QStringLiteral(", "));
}

void check_letters(Findings &f, const QString &letters)
{
    const QString usual = usual_russian_letters();
    const int size = letters.size();
    bool inTableOrder = true;
    if (size == letterCount)
        f.add(lettersSection, Level::Ok, QStringLiteral("%1 characters").arg(size));
    else if (size == letterCount + 1 && letters.endsWith(QLatin1Char('\n')))
        f.add(lettersSection, Level::Ok,
              QStringLiteral("%1 letters and a line end, which is never used").arg(letterCount));
    else if (size < letterCount)
        f.add(lettersSection, Level::Warning,
              QStringLiteral("only %1 characters: table positions %1 to %2 have no letter")
                  .arg(size)
                  .arg(letterCount - 1));
    else
        f.add(lettersSection, Level::Note,
              QStringLiteral("%1 characters: those after the first %2 are never used")
                  .arg(size)
                  .arg(letterCount));

    const QString table = letters.left(letterCount);
    for (int k = table.indexOf(QLatin1Char('\n')); k >= 0;
         k = table.indexOf(QLatin1Char('\n'), k + 1)) {
        inTableOrder = false;
        f.add(
            lettersSection, Level::Warning,
            QStringLiteral("a line break at position %1 shifts every later letter by one").arg(k));
    }
    QSet<QChar> seen;
    for (int k = 0; k < table.size(); ++k) {
        if (seen.contains(table[k]))
            f.add(lettersSection, Level::Warning,
                  QStringLiteral("%1 stands at positions %2 and %3: it gives both outputs")
                      .arg(visible(table[k]))
                      .arg(table.indexOf(table[k]))
                      .arg(k));
        seen.insert(table[k]);
    }
    QStringList differing, wrong;
    for (int k = 0; k < letterCount; ++k) {
        const QString found = k < size ? visible(letters[k]) : QStringLiteral("nothing");
        if (k >= size || letters[k] != usual[k])
            differing << QStringLiteral("%1 (%2 instead of %3)").arg(k).arg(found, usual[k]);
        const QString got = transliterate(usual[k], letters);
        const QString want = transliterate(usual[k], usual);
        if (got != want)
            wrong
                << QStringLiteral("%1 gives %2, not %3").arg(usual[k], visible(got), visible(want));
    }
    if (!differing.isEmpty())
        f.add(lettersSection, Level::Warning,
              QStringLiteral("%1 positions differ from the usual letters: ").arg(differing.size()) +
                  listed(differing));
    if (!wrong.isEmpty())
        f.add(lettersSection, Level::Warning,
              QStringLiteral("%1 letters come out wrong: ").arg(wrong.size()) + listed(wrong));
    if (inTableOrder && differing.isEmpty() && wrong.isEmpty())
        f.add(lettersSection, Level::Ok, QStringLiteral("the usual letters, in the table's order"));
}

// The raw bytes, for the size and the byte-order mark; the pass reads the
// text itself through read_text_file.
QByteArray first_bytes(const QString &path)
{
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.read(maxInputBytes + 1);
}

void check_document(Findings &f, const RunSettings &s, const std::optional<QString> &text)
{
    const QString section = documentSection + QLatin1Char(' ') + visible(s.documentPath);
    if (!text) {
        f.add(section, Level::Error,
              QStringLiteral("cannot be read (missing, a folder, unreadable or over 16 MiB): ") +
                  stops_with(PassOutcome::CantOpenDocument));
        return;
    }
    const QByteArray bytes = first_bytes(s.documentPath);
    f.add(section, Level::Ok,
          QStringLiteral("%1 bytes (at most %2 are read)").arg(bytes.size()).arg(maxInputBytes));
    QTextCodec *const documentCodec = codec_for_name(s.documentEncoding);
    if (QTextCodec *bom = QTextCodec::codecForUtfText(bytes, nullptr)) {
        const bool same = documentCodec && documentCodec->mibEnum() == bom->mibEnum();
        f.add(section, same ? Level::Ok : Level::Warning,
              QStringLiteral("starts with a %1 byte-order mark, so it is read as %1%2")
                  .arg(QString::fromLatin1(bom->name()),
                       same ? QString() : QStringLiteral(", not as INXMLENC says")));
    }

    const NameSpan span = declared_encoding(*text);
    const QString declared = text->mid(span.start, span.length);
    QTextCodec *const declaredCodec = codec_for_name(declared);
    if (span.start < 0)
        f.add(section, Level::Note, QStringLiteral("no quoted encoding= declaration"));
    else if (declared == s.documentEncoding)
        f.add(section, Level::Ok,
              QStringLiteral("declares %1, as INXMLENC").arg(visible(declared)));
    else if (declaredCodec && declaredCodec == documentCodec)
        f.add(section, Level::Note,
              QStringLiteral("declares %1, the same encoding as INXMLENC %2")
                  .arg(visible(declared), visible(s.documentEncoding)));
    else
        f.add(section, Level::Warning,
              QStringLiteral("declares %1, but is read as INXMLENC %2 says")
                  .arg(visible(declared), visible(s.documentEncoding)));

    for (const char *tag : {"NAME", "ARTIST"}) {
        const QString value = extract(*text, QLatin1String(tag));
        if (value.isEmpty())
            f.add(section, Level::Warning,
                  QStringLiteral("no %1 value: the RDS file gets \"-\" for artist and title")
                      .arg(QLatin1String(tag)));
        else
            f.add(section, Level::Ok,
                  QStringLiteral("%1 = %2").arg(QLatin1String(tag), visible(value)));
    }

    if (s.documentEncoding == s.copyEncoding)
        f.add(section, Level::Note,
              QStringLiteral("INXMLENC and OUTXMLENC are equal: the copy keeps the declaration"));
    else if (span.start < 0)
        f.add(section, Level::Warning,
              QStringLiteral("the copy is written in %1 but keeps its text unchanged: there is no "
                             "quoted encoding= to rewrite")
                  .arg(visible(s.copyEncoding)));
    else
        f.add(section, Level::Ok,
              QStringLiteral("the copy declares %1 instead of %2")
                  .arg(visible(s.copyEncoding), visible(declared)));
}

QString absolute(const QString &path)
{
    return QDir::cleanPath(QDir::current().absoluteFilePath(path));
}

void check_outputs(Findings &f, const RunSettings &s)
{
    const struct {
        const char *tag;
        QString path;
        PassOutcome cantCreate;
    } outputs[] = {{"NEWXML", s.copyPath, PassOutcome::CantCreateCopy},
                   {"META", s.metaPath, PassOutcome::CantCreateMeta},
                   {"RDS", s.rdsPath, PassOutcome::CantCreateRds}};
    for (const auto &output : outputs) {
        const QString name = QLatin1String(output.tag) + QLatin1Char(' ') + visible(output.path);
        const QFileInfo info(output.path);
        const QFileInfo folder(info.absolutePath());
        QString problem;
        if (output.path.isEmpty() || output.path.contains(QChar(0)))
            problem = QStringLiteral("is not a usable path");
        else if (info.isDir())
            problem = QStringLiteral("is a folder");
        else if (!folder.isDir())
            problem = QStringLiteral("is in a folder that does not exist");
        else if (info.exists() ? !info.isWritable() : !folder.isWritable())
            problem = QStringLiteral("cannot be written (permissions)");
        if (!problem.isEmpty())
            f.add(outputsSection, Level::Error,
                  name + QLatin1Char(' ') + problem + QStringLiteral(": ") +
                      stops_with(output.cantCreate));
        else
            f.add(outputsSection, Level::Ok,
                  name + (info.exists() ? QStringLiteral(" will be replaced")
                                        : QStringLiteral(" will be created")));
    }
    if (!s.metaPath.isEmpty() && absolute(s.metaPath) == absolute(s.rdsPath))
        f.add(outputsSection, Level::Warning,
              QStringLiteral("META and RDS name the same file: it ends up holding the RDS text"));
    if (!s.copyPath.isEmpty() && absolute(s.copyPath) == absolute(s.documentPath))
        f.add(outputsSection, Level::Warning,
              QStringLiteral("NEWXML names the document itself: the copy replaces it"));
}

void check_preview(Findings &f, const RunSettings &s, const QString &letters, const QString &text)
{
    const QString title = decode_xml_text(extract(text, QStringLiteral("NAME")));
    const QString artist = decode_xml_text(extract(text, QStringLiteral("ARTIST")));
    const QString meta = meta_text(artist, s.metaSplitter, title);
    const QString rds = rds_text(latin_forms(artist, title, letters), s.rdsSplitter);
    QTextCodec *const metaCodec = codec_for_name(s.metaEncoding);
    QTextCodec *const locale = QTextCodec::codecForLocale();
    f.add(previewSection, Level::Ok, QStringLiteral("META file: ") + visible(meta));
    f.add(previewSection, Level::Ok, QStringLiteral("RDS file: ") + visible(rds));
    if (!(metaCodec ? metaCodec : locale)->canEncode(meta))
        f.add(previewSection, Level::Warning,
              QStringLiteral("the META text has characters its encoding cannot hold"));
    if (!locale->canEncode(rds))
        f.add(previewSection, Level::Warning,
              QStringLiteral("the RDS text has characters the locale encoding cannot hold"));
    if (rds.size() > radioTextLength)
        f.add(previewSection, Level::Warning,
              QStringLiteral("the RDS text has %1 characters; RadioText shows %2 (the pass still "
                             "writes them all)")
                  .arg(rds.size())
                  .arg(radioTextLength));
}

} // namespace

QList<Finding> check_configuration(int day, int hour)
{
    Findings f;
    QTextCodec *const localeCodec = QTextCodec::codecForLocale();
    const std::optional<RunSettings> settings =
        load_settings(QStringLiteral("settings.txt"), localeCodec);
    const std::optional<QString> letters =
        read_config_file(QStringLiteral("rusletters.txt"), localeCodec);
    if (settings) {
        check_settings(f, *settings);
        check_encodings(f, *settings);
        check_bad_hours(f, *settings, day, hour);
    } else {
        f.add(settingsSection, Level::Error,
              QStringLiteral("cannot be read (missing, unreadable or over 16 MiB): ") +
                  stops_with(PassOutcome::CantReadSettings));
    }
    if (letters)
        check_letters(f, *letters);
    else
        f.add(lettersSection, Level::Error,
              QStringLiteral("cannot be read (missing, unreadable or over 16 MiB): ") +
                  stops_with(PassOutcome::CantReadLetters));
    if (!settings)
        return f.list;

    const std::optional<QString> text =
        read_text_file(settings->documentPath, codec_for_name(settings->documentEncoding));
    check_document(f, *settings, text);
    check_outputs(f, *settings);
    if (letters && text)
        check_preview(f, *settings, *letters, *text);
    return f.list;
}
