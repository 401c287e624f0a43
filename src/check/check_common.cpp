// SPDX-License-Identifier: MIT
#include "check_common.h"

#include "conversion.h"
#include "file_identity.h"
#include "file_sharing.h"
#include "output_file.h"
#include "tag_extract.h"
#include "text_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTextCodec>

#include <vector>

#ifndef Q_OS_WIN
#include <sys/stat.h>
#include <unistd.h>
#endif

const QString settingsSection = QLatin1String(settingsFileName);
const QString encodingsSection = QStringLiteral("encodings");
const QString hoursSection = QStringLiteral("bad hours");
const QString lettersSection = QLatin1String(lettersFileName);
const QString outputsSection = QStringLiteral("outputs");
const QString watchingSection = QStringLiteral("watching");
const QString previewSection = QStringLiteral("preview");
const QString sendingSection = QStringLiteral("sending");
const QString sendTestSection = QStringLiteral("send test");

namespace {

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

} // namespace

QString visible(const QString &value)
{
    QString out = QStringLiteral("\"");
    for (int i = 0; i < value.size(); ++i) {
        const QChar c = value.at(i);
        const bool pair =
            c.isHighSurrogate() && i + 1 < value.size() && value.at(i + 1).isLowSurrogate();
        if (pair) {
            out += c;
            out += value.at(++i);
        } else if (c == QLatin1Char('\n')) {
            out += QLatin1String("\\n");
        } else if (c == QLatin1Char('\t')) {
            out += QLatin1String("\\t");
        } else if (c == QLatin1Char('\r')) {
            out += QLatin1String("\\r");
        } else if (c == QLatin1Char('"')) {
            out += QLatin1String("\\\"");
        } else if (is_control(c)) {
            out += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        } else if (c.category() == QChar::Other_Format || c.isSurrogate() ||
                   c.category() == QChar::Separator_Line ||
                   c.category() == QChar::Separator_Paragraph) {
            // Invisible, or (a lone half of a pair) not a character at all.
            out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        } else {
            out += c;
        }
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

bool same_encoding(QTextCodec *a, QTextCodec *b)
{
    return a && b && (a == b || encoding_family(a) == encoding_family(b));
}

// The distinct characters (surrogate pairs kept whole) of `text`.
QStringList characters_of(const QString &text)
{
    QStringList characters;
    std::vector<bool> seen(0x110000); // one bit per code point: a large copy is read fast
    for (int i = 0; i < text.size(); ++i) {
        const bool pair =
            text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate();
        const char32_t c = pair ? QChar::surrogateToUcs4(text.at(i), text.at(i + 1))
                                : char32_t(text.at(i).unicode());
        if (!seen[c]) {
            seen[c] = true;
            characters << text.mid(i, pair ? 2 : 1);
        }
        i += pair ? 1 : 0;
    }
    return characters;
}

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
namespace {

// The folder part of `path` as written ("." for a bare name), its last
// separator kept, so that the system resolves it as the pass's own open
// does: on Linux "sub/../" needs "sub" to exist.
QString written_folder(const QString &path)
{
    int slash = int(path.lastIndexOf(QLatin1Char('/')));
#ifdef Q_OS_WIN
    slash = std::max(slash, int(path.lastIndexOf(QLatin1Char('\\'))));
#endif
    return slash < 0 ? QStringLiteral(".") : path.left(slash + 1);
}

// What the system says of a path as written, never cleaned up first.
struct PathState {
    bool exists = false;
    bool folder = false;
    bool writable = false; // for a folder: files can be made in it
};

PathState path_state(const QString &path)
{
    PathState state;
#ifdef Q_OS_WIN
    // Windows itself resolves "." and ".." by the name alone, as QFileInfo
    // does.
    const QFileInfo info(path);
    state.exists = info.exists();
    state.folder = info.isDir();
    state.writable = info.isWritable();
#else
    const QByteArray native = QFile::encodeName(path);
    struct stat st;
    state.exists = ::stat(native.constData(), &st) == 0;
    state.folder = state.exists && S_ISDIR(st.st_mode);
    state.writable =
        state.exists && ::access(native.constData(), state.folder ? W_OK | X_OK : W_OK) == 0;
#endif
    return state;
}

} // namespace

QString output_problem(const QString &path)
{
#ifdef Q_OS_WIN
    if (is_windows_device_path(path))
        return QString(); // written as a device, which it is
#endif
    if (!usable_path(path))
        return QStringLiteral("is not a usable path");
    const PathState output = path_state(path);
    const PathState folder = path_state(written_folder(path));
    if (output.folder)
        return QStringLiteral("is a folder");
    if (!folder.folder)
        return QStringLiteral("is in a folder that does not exist");
    if (output.exists ? !output.writable : !folder.writable)
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

TagState tag_state(const QString &text, const QString &tag)
{
    TagState state;
    const QString openTag = opening_tag(tag);
    state.opens = positions_outside_comments(text, openTag).size();
    state.inCommentOnly = state.opens == 0 && text.contains(openTag);
    state.closed =
        state.opens > 0 &&
        index_outside_comments(text, closing_tag(tag), index_outside_comments(text, openTag)) >= 0;
    state.value = extract(text, tag);
    return state;
}
