// SPDX-License-Identifier: MIT
#include "config_check.h"

#include "conversion.h"
#include "document_reading.h"
#include "file_identity.h"
#include "file_sharing.h"
#include "file_system_kind.h"
#include "output_file.h"
#include "pass.h"
#include "settings_file.h"
#include "tag_extract.h"
#include "text_file.h"
#include "transliteration.h"
#include "xml_text.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QStringList>
#include <QTextCodec>

namespace {

const QString settingsSection = QLatin1String(settingsFileName);
const QString encodingsSection = QStringLiteral("encodings");
const QString hoursSection = QStringLiteral("bad hours");
const QString lettersSection = QLatin1String(lettersFileName);
const QString outputsSection = QStringLiteral("outputs");
const QString watchingSection = QStringLiteral("watching");
const QString previewSection = QStringLiteral("preview");

// How many items a finding lists before it only counts the rest.
constexpr int maxListed = 6;
// RadioText carries at most this many characters.
constexpr int radioTextLength = 64;

const char *const outputTags[] = {"NEWXML", "META", "RDS"};
const char *const outputNames[] = {"the copy", "the META file", "the RDS file"};

struct Findings {
    QList<Finding> list;
    void add(const QString &section, Level level, const QString &text)
    {
        list.append({section, level, text});
    }
};

// A value in quotes, with line breaks, tabs and other control characters
// spelled out, so that a blank or a line break inside a tag can be seen. A
// backslash stands as it is, so that a Windows path copied from the report
// (C:\Playout) works as it is.
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
        else if (c.unicode() < 0x20 || c.category() == QChar::Other_Format || c.isSurrogate())
            out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out + QLatin1Char('"');
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

QString stops_with(PassOutcome outcome)
{
    return QStringLiteral("the pass stops with \"%1\"").arg(pass_message(outcome));
}

QString codec_name(QTextCodec *codec)
{
    return codec ? QString::fromLatin1(codec->name()) : locale_encoding_name();
}

// UTF-16 with or without a stated byte order is one encoding to a reader:
// the byte-order mark or the order tells which.
int encoding_family(QTextCodec *codec)
{
    const int mib = codec ? codec->mibEnum() : 0;
    if (mib == 1013 || mib == 1014 || mib == 1015)
        return 1015;
    if (mib == 1017 || mib == 1018 || mib == 1019)
        return 1017;
    return mib;
}

bool same_encoding(QTextCodec *a, QTextCodec *b)
{
    return a && b && (a == b || encoding_family(a) == encoding_family(b));
}

// The distinct characters (surrogate pairs kept whole) of `text`.
QStringList characters_of(const QString &text)
{
    QStringList characters;
    for (int i = 0; i < text.size(); ++i) {
        const int n = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QString c = text.mid(i, n);
        if (!characters.contains(c))
            characters << c;
        i += n - 1;
    }
    return characters;
}

// Whether two settings name one file: the same path, or (when the files
// exist) one file reached by links.
bool same_target(const QString &a, const QString &b)
{
    if (a.isEmpty() || b.isEmpty())
        return false;
    return QDir::cleanPath(QDir::current().absoluteFilePath(a)) ==
               QDir::cleanPath(QDir::current().absoluteFilePath(b)) ||
           same_file(a, b);
}

// Why an input cannot be read by the pass, as far as can be told without
// reading it.
QString input_problem(const QString &path)
{
    const QFileInfo info(path);
    if (!usable_path(path))
        return QStringLiteral("is not a usable path");
    if (!info.exists())
        return QStringLiteral("does not exist");
    if (info.isDir())
        return QStringLiteral("is a folder");
    if (is_fifo_or_socket(path))
        return QStringLiteral("is a FIFO or socket, which the pass refuses (it would wait for a "
                              "writer for ever)");
    if (info.size() > maxInputBytes)
        return QStringLiteral("is larger than %1 bytes").arg(maxInputBytes);
    if (held_by_another_program(path, false))
        return QStringLiteral("is in use by another program, which keeps it from being read now "
                              "(nowplaying-convert tries again for up to a second, "
                              "nowplaying-watch until it can)");
    return QStringLiteral("cannot be read (permissions)");
}

// Why an output cannot be created, or an empty string.
QString output_problem(const QString &path)
{
#ifdef Q_OS_WIN
    if (is_windows_device_path(path))
        return QString(); // written as a device, which it is
#endif
    const QFileInfo info(path);
    const QFileInfo folder(info.absolutePath());
    if (!usable_path(path))
        return QStringLiteral("is not a usable path");
    if (info.isDir())
        return QStringLiteral("is a folder");
    if (!folder.isDir())
        return QStringLiteral("is in a folder that does not exist");
    if (info.exists() ? !info.isWritable() : !folder.isWritable())
        return QStringLiteral("cannot be written (permissions)");
    return QString();
}

// The raw bytes, for the byte-order mark and the letters' encoding; the text
// itself is read through the pass's own functions.
QByteArray first_bytes(const QString &path)
{
    QFile file(path);
    if (!usable_path(path) || is_fifo_or_socket(path) || !file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.read(maxInputBytes + 1);
}

// How a tag stands in a text: how often it opens, whether the first opening
// is closed, and its value as the pass reads it.
struct TagState {
    int opens = 0;
    bool closed = false;
    QString value;
};

TagState tag_state(const QString &text, const QString &tag)
{
    TagState state;
    const QString openTag = opening_tag(tag);
    state.opens = text.count(openTag);
    state.closed = state.opens > 0 && text.indexOf(closing_tag(tag), text.indexOf(openTag)) >= 0;
    state.value = extract(text, tag);
    return state;
}

bool is_encoding_tag(const QString &tag)
{
    return tag.endsWith(QLatin1String("ENC"));
}

bool is_splitter_tag(const QString &tag)
{
    return tag.endsWith(QLatin1String("SPLITTER"));
}

// What an empty value of a path or splitter setting leads to.
Finding empty_value_consequence(const QString &tag)
{
    const struct {
        const char *tag;
        PassOutcome outcome;
    } paths[] = {{"XML", PassOutcome::CantOpenDocument},
                 {"NEWXML", PassOutcome::CantCreateCopy},
                 {"META", PassOutcome::CantCreateMeta},
                 {"RDS", PassOutcome::CantCreateRds}};
    for (const auto &path : paths)
        if (tag == QLatin1String(path.tag))
            return {settingsSection, Level::Error, stops_with(path.outcome)};
    return {settingsSection, Level::Note,
            QStringLiteral("artist and title are written back to back")};
}

void check_settings(Findings &f, const RunSettings &settings)
{
    for (const SettingTag &setting : settingTags) {
        const QString tag = QLatin1String(setting.tag);
        const TagState state = tag_state(settings.text, tag);
        if (state.opens > 0 && !state.closed) {
            const Finding empty = empty_value_consequence(tag);
            f.add(settingsSection, is_encoding_tag(tag) ? Level::Warning : empty.level,
                  tag + QStringLiteral(" is not closed, so its value is empty") +
                      (is_encoding_tag(tag) ? QString() : QStringLiteral(": ") + empty.text));
        } else if (state.value.isEmpty()) {
            // An empty encoding name is reported once, with the encodings.
            if (!is_encoding_tag(tag)) {
                const Finding empty = empty_value_consequence(tag);
                f.add(settingsSection, empty.level,
                      tag +
                          (state.opens ? QStringLiteral(" is empty: ")
                                       : QStringLiteral(" is missing: ")) +
                          empty.text);
            }
        } else {
            f.add(settingsSection, Level::Ok, tag + QStringLiteral(" = ") + visible(state.value));
        }
        if (state.opens > 1)
            f.add(settingsSection, Level::Warning,
                  QStringLiteral("%1 appears %2 times: only the first one counts")
                      .arg(tag)
                      .arg(state.opens));
        const QString value = state.value;
        if (!is_encoding_tag(tag) && !is_splitter_tag(tag) && value != value.trimmed())
            f.add(settingsSection, Level::Warning,
                  tag + QStringLiteral(" has blanks or line breaks at its ends, which are part of "
                                       "the value: it names another file"));
        const bool pathTag = !is_encoding_tag(tag) && !is_splitter_tag(tag);
        if (pathTag && without_quotes(value) != value)
#ifdef Q_OS_WIN
            f.add(settingsSection, Level::Note,
                  tag + QStringLiteral(" is in double quotes (as Explorer's \"Copy as path\" "
                                       "gives it): the pass drops them"));
#else
            f.add(settingsSection, Level::Warning,
                  tag + QStringLiteral(" is in double quotes, which are part of the name here: "
                                       "remove them"));
#endif
        if (is_splitter_tag(tag) && value.contains(QLatin1Char('\n')))
            f.add(settingsSection, Level::Note,
                  tag + QStringLiteral(" holds a line break, which is written as it is"));
    }
}

void check_encodings(Findings &f, const RunSettings &settings)
{
    const QString locale = locale_encoding_name();
    const QList<QPair<QString, QString>> names = {
        {QStringLiteral("METAENC"), settings.metaEncoding},
        {QStringLiteral("INXMLENC"), settings.documentEncoding},
        {QStringLiteral("OUTXMLENC"), settings.copyEncoding}};
    for (const auto &name : names) {
        QTextCodec *const codec = codec_for_name(name.second);
        if (name.second.isEmpty())
            f.add(encodingsSection, Level::Warning,
                  QStringLiteral("%1 is empty or missing: the locale encoding (%2) is used")
                      .arg(name.first, locale));
        else if (!codec)
            f.add(encodingsSection, Level::Warning,
                  QStringLiteral("%1 %2 is not a known encoding: the locale encoding (%3) is used "
                                 "instead")
                      .arg(name.first, visible(name.second), locale));
        else if (name.second != name.second.trimmed())
            f.add(encodingsSection, Level::Note,
                  QStringLiteral("%1 %2 has blanks or line breaks at its ends, which Qt ignores: "
                                 "it is %3")
                      .arg(name.first, visible(name.second), codec_name(codec)));
        else
            f.add(encodingsSection, Level::Ok,
                  QStringLiteral("%1 %2 is %3")
                      .arg(name.first, visible(name.second), codec_name(codec)));
    }
    f.add(encodingsSection, Level::Note,
          QStringLiteral("the RDS file is written in the locale encoding (%1)").arg(locale));
}

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

const char *const dayNames[] = {"Monday", "Tuesday",  "Wednesday", "Thursday",
                                "Friday", "Saturday", "Sunday"};

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
    if (state.opens > 1)
        f.add(hoursSection, Level::Warning,
              QStringLiteral("%1 appears %2 times: only the first one counts")
                  .arg(bad_hours_tag(day))
                  .arg(state.opens));
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

void check_bad_hours(Findings &f, const RunSettings &settings, const QDateTime &now)
{
    for (int day = 1; day <= 7; ++day)
        check_day(f, settings, day);
    check_hour_look_alikes(f, settings);
    const int today = now.date().dayOfWeek();
    const int hour = now.time().hour();
    const QString when =
        QStringLiteral("now (%1, hour %2)").arg(QLatin1String(dayNames[today - 1])).arg(hour);
    if (in_bad_hours(settings, today, hour))
        f.add(hoursSection, Level::Note,
              when + QStringLiteral(": the pass would end at once, reading and writing nothing"));
    else
        f.add(hoursSection, Level::Ok, when + QStringLiteral(": the pass would run"));
}

int usual_positions(const QString &letters)
{
    const QString usual = usual_russian_letters();
    int count = 0;
    for (int k = 0; k < letterCount && k < letters.size(); ++k)
        count += letters.at(k) == usual.at(k);
    return count;
}

// A letters file saved in another encoding than it is read in makes every
// position wrong at once: that is one fact, with one remedy.
bool check_letters_encoding(Findings &f, const QString &letters, const QByteArray &bytes)
{
    if (usual_positions(letters) >= letterCount / 2)
        return false;
    QTextCodec *const readIn = config_file_codec(bytes, QTextCodec::codecForLocale());
    for (const char *name : {"UTF-8", "windows-1251", "KOI8-R", "IBM866", "ISO-8859-5", "UTF-16LE",
                             "UTF-16BE", "macintosh-cyrillic"}) {
        QTextCodec *const codec = QTextCodec::codecForName(name);
        if (!codec || codec == readIn)
            continue;
        QTextCodec::ConverterState state;
        if (usual_positions(codec->toUnicode(bytes.constData(), bytes.size(), &state)) >=
            letterCount - 4) {
            f.add(lettersSection, Level::Warning,
                  QStringLiteral("is saved in %1 but read as %2, so no letter is where it belongs: "
                                 "save it as UTF-8 (Notepad: Save as, Encoding UTF-8)")
                      .arg(codec_name(codec), codec_name(readIn)));
            return true;
        }
    }
    const QString usual = usual_russian_letters();
    if (std::none_of(letters.begin(), letters.end(),
                     [&usual](QChar c) { return usual.contains(c); })) {
        f.add(lettersSection, Level::Warning,
              QStringLiteral("holds none of the usual letters as read (in %1): it is probably "
                             "saved in another encoding; save the 64 letters as UTF-8")
                  .arg(codec_name(readIn)));
        return true;
    }
    return false;
}

void check_letters(Findings &f, const QString &letters, const QByteArray &bytes)
{
    const QString usual = usual_russian_letters();
    const int size = letters.size();
    if (check_letters_encoding(f, letters, bytes))
        return;
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
    bool inTableOrder = true;
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

// The declaration as the copy's readers will take it.
void check_declaration(Findings &f, const QString &section, const RunSettings &settings,
                       const QString &text, QTextCodec *readIn, const QString &readAs)
{
    const CopyEncoding copy = copy_encoding(settings.copyEncoding);
    const NameSpan declaration = xml_declaration(text);
    const NameSpan span = declared_encoding(text);
    if (span.start < 0) {
        const QString what = declaration.start < 0
                                 ? QStringLiteral("has no XML declaration")
                                 : QStringLiteral("has an XML declaration without an encoding");
        if (copy.codec->mibEnum() == 106)
            f.add(section, Level::Ok,
                  what + QStringLiteral(": readers take the copy for UTF-8, which it is"));
        else
            f.add(section, Level::Warning,
                  what + QStringLiteral(": readers take the copy for UTF-8, but it is written in "
                                        "%1 (the pass adds no declaration)")
                             .arg(copy.name));
        return;
    }
    const QString declared = text.mid(span.start, span.length);
    if (same_encoding(codec_for_name(declared), readIn))
        f.add(section, Level::Ok,
              QStringLiteral("declares %1, as it is read").arg(visible(declared)));
    else
        f.add(section, Level::Warning,
              QStringLiteral("declares %1, but is read as %2").arg(visible(declared), readAs));
    const QString rewritten =
        rewrite_declaration(text.mid(declaration.start, declaration.length), copy.codec, copy.name);
    const NameSpan copySpan = declared_encoding(rewritten);
    const QString copyName = rewritten.mid(copySpan.start, copySpan.length);
    if (copyName == declared)
        f.add(section, Level::Ok,
              QStringLiteral("the copy keeps the declared %1, the name of its encoding (%2)")
                  .arg(visible(declared), codec_name(copy.codec)));
    else
        f.add(section, Level::Ok,
              QStringLiteral("the copy declares %1 instead of %2")
                  .arg(visible(copyName), visible(declared)));
}

void check_document(Findings &f, const RunSettings &settings, const QString &path)
{
    const QString section = QStringLiteral("document ") + visible(settings.documentPath);
    QTextCodec *const setting = codec_for_name(settings.documentEncoding);
    const CopyEncoding copy = copy_encoding(settings.copyEncoding);
    const DocumentText document = read_document(path, setting, settings.copyPath, copy.codec);
    const std::optional<QString> &text = document.text;
    if (!text) {
        f.add(section, Level::Error,
              input_problem(path) + QStringLiteral(": ") +
                  stops_with(PassOutcome::CantOpenDocument));
        return;
    }
    const QByteArray bytes = first_bytes(path);
    f.add(section, Level::Ok,
          QStringLiteral("%1 bytes (at most %2 are read)").arg(bytes.size()).arg(maxInputBytes));
    QTextCodec *readIn = codec_or_locale(document.codec);
    QString readAs = setting ? QStringLiteral("%1 (INXMLENC)").arg(codec_name(setting))
                             : QStringLiteral("%1 (the locale encoding)").arg(codec_name(nullptr));
    if (document.earlierCopy) {
        readAs = QStringLiteral("%1 (OUTXMLENC)").arg(codec_name(copy.codec));
        f.add(
            section, Level::Note,
            QStringLiteral("is an earlier pass's copy (NEWXML names the document, and it declares "
                           "the copy's encoding): it is read as %1, not as INXMLENC")
                .arg(codec_name(copy.codec)));
    }
    if (QTextCodec *mark = QTextCodec::codecForUtfText(bytes, nullptr)) {
        readIn = mark;
        readAs = QStringLiteral("%1 (its byte-order mark)").arg(codec_name(mark));
        if (same_encoding(mark, setting))
            f.add(section, Level::Ok,
                  QStringLiteral("starts with a %1 byte-order mark, as INXMLENC says")
                      .arg(codec_name(mark)));
        else
            f.add(section, Level::Note,
                  QStringLiteral("starts with a %1 byte-order mark, which wins over INXMLENC %2: "
                                 "it is read as %1")
                      .arg(codec_name(mark), visible(settings.documentEncoding)));
    }
    check_declaration(f, section, settings, *text, readIn, readAs);

    for (const char *tag : {"NAME", "ARTIST"}) {
        const QString name = QLatin1String(tag);
        const QString written = extract(*text, name);
        const QString value = decode_xml_text(written);
        if (value.isEmpty())
            f.add(section, Level::Warning,
                  QStringLiteral("no %1 value: the RDS file gets \"-\" for artist and title")
                      .arg(name));
        else
            f.add(section, Level::Ok, QStringLiteral("%1 = %2").arg(name, visible(value)));
        if (written != value)
            f.add(section, Level::Note,
                  QStringLiteral("%1 is written %2 in the document: the pass decodes it")
                      .arg(name, visible(written)));
    }
}

void check_outputs(Findings &f, const PassPlan &plan)
{
    const std::vector<PlannedOutput> &outputs = plan.outputs;
    for (size_t i = 0; i < outputs.size(); ++i) {
        const PlannedOutput &output = outputs[i];
        const QString name = QLatin1String(outputTags[i]) + QLatin1Char(' ') + visible(output.path);
        const QString input = overwritten_input(output);
        const QString problem = output_problem(output.path);
#ifdef Q_OS_WIN
        if (is_windows_device_path(output.path)) {
            f.add(outputsSection, Level::Note,
                  name + QStringLiteral(" is a Windows device: each pass writes to it as it is"));
            continue;
        }
#endif
        if (!input.isEmpty())
            f.add(outputsSection, Level::Error,
                  QStringLiteral("%1 is the same file as %2, which the pass will not overwrite: "
                                 "%3")
                      .arg(name, visible(input), stops_with(output.cantCreate)));
        else if (held_by_another_program(output.path, true))
            // As the pass will find it: not for good, but right now.
            f.add(outputsSection, Level::Warning,
                  name + QStringLiteral(" is held open by another program, which keeps it from "
                                        "being written now: a pass tries again (nowplaying-convert "
                                        "for up to a second, then %1; nowplaying-watch until it "
                                        "can)")
                             .arg(stops_with(output.cantCreate)));
        else if (!problem.isEmpty())
            f.add(outputsSection, Level::Error,
                  name + QLatin1Char(' ') + problem + QStringLiteral(": ") +
                      stops_with(output.cantCreate));
        else if (is_fifo_or_socket(output.path))
            f.add(outputsSection, Level::Note,
                  name + QStringLiteral(" is a FIFO: each pass waits up to %1 seconds for "
                                        "something to read it")
                             .arg(fifoReaderWaitMs / 1000));
        else
            f.add(outputsSection, Level::Ok,
                  name + (QFileInfo::exists(output.path) ? QStringLiteral(" will be replaced")
                                                         : QStringLiteral(" will be created")));
    }
    const QString &copy = outputs[0].path, &meta = outputs[1].path, &rds = outputs[2].path;
    if (same_target(copy, plan.documentPath)) {
        if (xml_declaration(outputs[0].text).start < 0)
            f.add(outputsSection, Level::Warning,
                  QStringLiteral("NEWXML names the document itself, which has no XML declaration: "
                                 "a later pass cannot tell its own copy from a new document and "
                                 "reads the copy in INXMLENC again, which garbles the text when "
                                 "the encodings differ"));
        else
            f.add(outputsSection, Level::Note,
                  QStringLiteral("NEWXML names the document itself: the copy replaces it; later "
                                 "passes know the copy by its declaration, read it in its own "
                                 "encoding and do not write it again while it is unchanged"));
    }
    if (same_target(copy, meta) || same_target(copy, rds))
        f.add(outputsSection, Level::Warning,
              QStringLiteral("NEWXML names the same file as %1: the copy is lost under it")
                  .arg(same_target(copy, meta) ? QStringLiteral("META") : QStringLiteral("RDS")));
    if (same_target(meta, rds))
        f.add(outputsSection, Level::Warning,
              QStringLiteral("META and RDS name the same file: it ends up holding the RDS text"));
}

// Whether the two ways of making a pass on every change would see the
// document change: the systemd path unit as installed, and nowplaying-watch.
void check_watching(Findings &f, const QString &documentPath)
{
    if (!usable_path(documentPath))
        return;
    const QFileInfo document(QDir::current().absoluteFilePath(documentPath));
#ifdef Q_OS_WIN
    // No systemd here: the watcher, started at logon or by Task Scheduler,
    // or the playout program's own hook, makes the passes.
    f.add(watchingSection, Level::Note,
          QStringLiteral("on Windows, run nowplaying-watch (at logon, or as a Task Scheduler task "
                         "\"at startup\") for a pass on every change, or have the playout program "
                         "start nowplaying-convert after each track"));
#else
    const QString watched = QDir::current().absoluteFilePath(QStringLiteral("nowplaying.xml"));
    if (same_target(document.absoluteFilePath(), watched))
        f.add(watchingSection, Level::Ok,
              QStringLiteral("the systemd path unit as installed watches the document"));
    else
        f.add(watchingSection, Level::Note,
              QStringLiteral("the systemd path unit as installed watches %1, not the document: "
                             "give it PathChanged=%2 in a drop-in, or use nowplaying-watch")
                  .arg(visible(watched), document.absoluteFilePath()));
#endif
    // As the system writes paths (backslashes on Windows).
    const QString folder = QDir::toNativeSeparators(document.absolutePath());
    const QString network = network_file_system(folder);
    if (!QFileInfo(folder).isDir())
        f.add(watchingSection, Level::Warning,
              QStringLiteral("the document's folder %1 does not exist: nothing can be watched "
                             "there until it does (nowplaying-watch looks for it again every "
                             "quarter of a second)")
                  .arg(visible(folder)));
    else if (!network.isEmpty())
        f.add(watchingSection, Level::Warning,
              QStringLiteral("the document is on a network file system (%1): changes made on "
                             "another machine come without notification, so neither the path "
                             "unit nor nowplaying-watch sees them; run nowplaying-watch --poll 250")
                  .arg(network));
    else
        f.add(watchingSection, Level::Ok,
              QStringLiteral("nowplaying-watch is notified of every change of the document"));
}

// Characters an output's encoding cannot hold, which the pass writes as "?".
void check_encodable(Findings &f, const PlannedOutput &output, const QString &what)
{
    QTextCodec *const codec = codec_or_locale(output.codec);
    QStringList lost;
    for (const QString &c : characters_of(output.text))
        if (!codec->canEncode(c))
            lost << c;
    if (!lost.isEmpty())
        f.add(previewSection, Level::Warning,
              QStringLiteral("%1 is written in %2, which cannot hold %3: the pass writes \"?\" "
                             "instead")
                  .arg(what, codec_name(codec), listed(lost)));
}

bool is_latin(const QString &c)
{
    const QChar first = c.at(0);
    return (first.unicode() >= 0x20 && first.unicode() < 0x7F) || first == QLatin1Char('\n') ||
           (c.size() == 1 && first.script() == QChar::Script_Latin);
}

void check_preview(Findings &f, const PassPlan &plan)
{
    const PlannedOutput &meta = plan.outputs[1], &rds = plan.outputs[2];
    for (const PlannedOutput *output : {&meta, &rds}) {
        QTextCodec *const codec = codec_or_locale(output->codec);
        // What a reader of the file sees, "?" for what the encoding lost.
        const QString shown = codec->toUnicode(encode_text(output->text, output->codec));
        f.add(previewSection, Level::Ok,
              (output == &meta ? QStringLiteral("META file: ") : QStringLiteral("RDS file: ")) +
                  visible(shown));
    }
    for (size_t i = 0; i < plan.outputs.size(); ++i)
        check_encodable(f, plan.outputs[i], QLatin1String(outputNames[i]));
    QStringList foreign;
    for (const QString &c : characters_of(rds.text))
        if (!is_latin(c))
            foreign << c;
    if (!foreign.isEmpty())
        f.add(previewSection, Level::Warning,
              QStringLiteral("the RDS text keeps characters that are not Latin, which RadioText "
                             "receivers cannot show: ") +
                  listed(foreign));
    if (rds.text.size() > radioTextLength)
        f.add(previewSection, Level::Warning,
              QStringLiteral("the RDS text has %1 characters; RadioText shows %2 (the pass still "
                             "writes them all)")
                  .arg(rds.text.size())
                  .arg(radioTextLength));
}

// The outputs a pass at `now` writes, in order, until the first it would
// not (an input in its place, or a path it cannot create).
std::array<std::optional<PreviewOutput>, 3> preview_now(const QDateTime &now)
{
    std::array<std::optional<PreviewOutput>, 3> preview;
    const PassPlan plan = plan_pass(now);
    if (plan.stop != PassOutcome::Written)
        return preview;
    for (size_t i = 0; i < plan.outputs.size(); ++i) {
        const PlannedOutput &output = plan.outputs[i];
        if (!overwritten_input(output).isEmpty() || !output_problem(output.path).isEmpty())
            break;
        PreviewOutput entry{output.path, codec_name(output.codec),
                            encode_text(output.text, output.codec), std::nullopt};
        if (i == 0) {
            const NameSpan declaration = xml_declaration(output.text);
            if (declaration.start >= 0)
                entry.declaration = output.text.mid(declaration.start, declaration.length);
        }
        preview[i] = entry;
    }
    return preview;
}

QString unreadable(const QString &path)
{
    return QStringLiteral("%1 (looked for in %2): ")
        .arg(input_problem(path), QDir::toNativeSeparators(QDir::currentPath()));
}

} // namespace

CheckReport check_configuration(const QDateTime &now)
{
    Findings f;
    const QString settingsFile = QLatin1String(settingsFileName);
    const QString lettersFile = QLatin1String(lettersFileName);
    QTextCodec *const localeCodec = QTextCodec::codecForLocale();
    const std::optional<RunSettings> settings = load_settings(settingsFile, localeCodec);
    const std::optional<QString> letters = read_config_file(lettersFile, localeCodec);
    if (settings) {
        check_settings(f, *settings);
        check_encodings(f, *settings);
        check_bad_hours(f, *settings, now);
    } else {
        f.add(settingsSection, Level::Error,
              unreadable(settingsFile) + stops_with(PassOutcome::CantReadSettings));
    }
    if (letters)
        check_letters(f, *letters, first_bytes(lettersFile));
    else
        f.add(lettersSection, Level::Error,
              unreadable(lettersFile) + stops_with(PassOutcome::CantReadLetters));
    if (!settings)
        return {f.list, {}};

    check_document(f, *settings, settings->documentPath);
    check_watching(f, settings->documentPath);
    PassPlan plan = plan_pass_ignoring_hours();
    if (plan.stop == PassOutcome::Written) {
        check_outputs(f, plan);
        check_preview(f, plan);
    } else {
        // The pass would stop before writing; the paths can still be checked.
        plan.outputs = {{settings->copyPath, nullptr, {}, PassOutcome::CantCreateCopy, {}, {}},
                        {settings->metaPath, nullptr, {}, PassOutcome::CantCreateMeta, {}, {}},
                        {settings->rdsPath, nullptr, {}, PassOutcome::CantCreateRds, {}, {}}};
        check_outputs(f, plan);
    }
    return {f.list, preview_now(now)};
}
