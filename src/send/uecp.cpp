// SPDX-License-Identifier: MIT
#include "uecp.h"

#include "plain_letters.h"

#include <initializer_list>
#include <iterator>

namespace {

constexpr char start = char(0xFE), stop = char(0xFF), escape = char(0xFD);

QByteArray bytes_of(std::initializer_list<int> values)
{
    QByteArray bytes;
    for (const int v : values)
        bytes += char(v & 0xFF);
    return bytes;
}

QByteArray stuffed(const QByteArray &bytes)
{
    QByteArray out;
    out.reserve(bytes.size() + 8);
    for (const char b : bytes) {
        if (uchar(b) >= 0xFD) {
            out += escape;
            out += char(uchar(b) - 0xFD);
        } else {
            out += b;
        }
    }
    return out;
}

// The frame between start and stop as it was before stuffing; empty when
// an escape is followed by anything but 00, 01 or 02.
QByteArray unstuffed(const QByteArray &bytes)
{
    QByteArray out;
    for (int i = 0; i < bytes.size(); ++i) {
        if (bytes.at(i) != escape) {
            out += bytes.at(i);
            continue;
        }
        if (i + 1 >= bytes.size() || uchar(bytes.at(i + 1)) > 2)
            return {};
        out += char(0xFD + bytes.at(++i));
    }
    return out;
}

QByteArray data_set_header(int element, int dsn, int psn)
{
    return bytes_of({element, dsn, psn});
}

} // namespace

quint16 uecp_crc(const QByteArray &bytes)
{
    quint16 crc = 0xFFFF;
    for (const char b : bytes) {
        crc ^= quint16(uchar(b)) << 8;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 0x8000) ? quint16((crc << 1) ^ 0x1021) : quint16(crc << 1);
    }
    return crc;
}

QByteArray uecp_frame(const UecpAddress &address, const QByteArray &elements)
{
    const int addr = ((address.site & 0x3FF) << 6) | (address.encoder & 0x3F);
    QByteArray body = bytes_of({addr >> 8, addr, 0, int(elements.left(255).size())});
    body += elements.left(255);
    const quint16 check = quint16(~uecp_crc(body));
    body += char(check >> 8);
    body += char(check & 0xFF);
    return start + stuffed(body) + stop;
}

QByteArray uecp_radiotext(int dsn, int psn, const QByteArray &text)
{
    const QByteArray cut = text.left(64);
    // Number of transmissions 0 (until replaced), bit 0: toggle A/B.
    const char first = char(0x01);
    return data_set_header(0x0A, dsn, psn) + char(cut.size() + 1) + first + cut;
}

QByteArray uecp_ps(int dsn, int psn, const QByteArray &text)
{
    return data_set_header(0x02, dsn, psn) + text.left(8).leftJustified(8, ' ');
}

int rds_code(QChar c)
{
    // The basic table from 80 on, where receivers show the accented letters
    // of the Latin languages (a Serbian station's "š", a "Beyoncé"); a blank
    // marks a code this program does not send (the blank itself is ASCII's).
    static const QString upper = QStringLiteral("áàéèíìóòúùÑÇŞß¡Ĳ"
                                                "âäêëîïôöûüñçşğıĳ"
                                                "  ©  ěňő €£$    "
                                                "    ±İńű ¿ °   §"
                                                "ÁÀÉÈÍÌÓÒÚÙŘČŠŽĐĿ"
                                                "ÂÄÊËÎÏÔÖÛÜřčšžđŀ"
                                                "ÃÅÆŒŷÝÕØÞŊŔĆŚŹŦð"
                                                "ãåæœŵýõøþŋŕćśźŧ");
    const ushort u = c.unicode();
    // The basic table differs from ASCII at 24 (a currency sign), 5E, 60
    // and 7E (bars and an overline).
    if (u >= 0x20 && u <= 0x7D && u != 0x24 && u != 0x5E && u != 0x60)
        return int(u);
    const int at = c == QLatin1Char(' ') ? -1 : int(upper.indexOf(c));
    return at >= 0 ? 0x80 + at : -1;
}

QByteArray rds_characters(const QString &text)
{
    const QString plain = with_plain_letters(text, [](QChar c) { return rds_code(c) >= 0; });
    QByteArray out;
    out.reserve(plain.size());
    for (const QChar c : plain) {
        if (c.isLowSurrogate())
            continue; // the high one already stood for the character
        const int code = rds_code(c);
        out += code >= 0 ? char(code) : '?';
    }
    return out;
}

std::optional<UecpFrame> uecp_decode(const QByteArray &frame)
{
    if (frame.size() < 2 || frame.front() != start || frame.back() != stop)
        return std::nullopt;
    const QByteArray inside = frame.mid(1, frame.size() - 2);
    if (inside.contains(start) || inside.contains(stop))
        return std::nullopt;
    const QByteArray body = unstuffed(inside);
    // Address (2), sequence (1), length (1), the field, the check (2).
    if (body.size() < 6 || uchar(body.at(3)) != body.size() - 6)
        return std::nullopt;
    const QByteArray checked = body.left(body.size() - 2);
    const quint16 check = quint16(uchar(body.at(body.size() - 2)) << 8 | uchar(body.back()));
    if (quint16(~uecp_crc(checked)) != check)
        return std::nullopt;
    const int address = uchar(body.at(0)) << 8 | uchar(body.at(1));
    return UecpFrame{
        {address >> 6, address & 0x3F}, uchar(body.at(2)), body.mid(4, uchar(body.at(3)))};
}

std::optional<int> uecp_acknowledgement(const QByteArray &frame)
{
    const std::optional<UecpFrame> decoded = uecp_decode(frame);
    if (!decoded || decoded->elements.size() < 2 || uchar(decoded->elements.at(0)) != 0x18)
        return std::nullopt;
    return uchar(decoded->elements.at(1));
}

QString uecp_code_meaning(int code)
{
    static const char *const meanings[] = {
        "done",
        "a check (CRC) error",
        "a message not received",
        "an unknown message",
        "a wrong data set number",
        "a wrong programme service number",
        "a parameter out of range",
        "a wrong message element length",
        "a wrong message field length",
        "a message not acceptable",
        "no end of message",
        "the encoder's buffer overflowing",
        "bad stuffing",
        "an unexpected end of message",
    };
    if (code >= 0 && code < int(std::size(meanings)))
        return QString::fromLatin1(meanings[code]);
    return QStringLiteral("code %1, which the protocol does not name").arg(code);
}
