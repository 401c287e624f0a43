// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// The RDS encoders' binary protocol (the Universal Encoder Communication
// Protocol): frames, the elements this program sends, and the encoder's
// acknowledgement. Bytes in, bytes out; no I/O.

// Where a frame goes: a site (10 bits) and an encoder there (6 bits); 0 for
// both is every encoder.
struct UecpAddress {
    int site = 0;
    int encoder = 0;
};

// CRC-16 with the CCITT polynomial (x^16 + x^12 + x^5 + 1) from FFFF, as a
// frame's check is computed before its ones' complement.
quint16 uecp_crc(const QByteArray &bytes);

// A whole frame for `elements` (one or more message elements, at most 255
// bytes together): FE, the address, sequence counter 0, the length, the
// elements, the complemented CRC high byte first, FF; every FD, FE or FF
// between start and stop sent as FD 00, FD 01, FD 02.
QByteArray uecp_frame(const UecpAddress &address, const QByteArray &elements);

// RadioText (element 0A) for data set `dsn` and programme service `psn`:
// transmitted until replaced, the A/B flag toggled so that receivers clear
// their display; `text` in the RDS character set, at most 64 bytes.
QByteArray uecp_radiotext(int dsn, int psn, const QByteArray &text);

// The programme service name (element 02): `text` padded with blanks to, or
// cut at, 8 bytes in the RDS character set.
QByteArray uecp_ps(int dsn, int psn, const QByteArray &text);

// The code of `c` in the RDS character set's basic table (below), or -1
// when the table does not have it.
int rds_code(QChar c);

// `text` in the RDS character set's basic table: letters, digits, the
// blank and common punctuation as in ASCII, the accented Latin letters
// and a few signs ("$", "€", "£", "©", "°", "§") from 80 on; every other
// character its plain letter (plain_letter) where the table has that, and
// "?" otherwise.
QByteArray rds_characters(const QString &text);

// What one frame as received (FE to FF, stuffed) holds: its address and
// message elements, if its stuffing, length and check are right.
struct UecpFrame {
    UecpAddress address;
    int sequence = 0;
    QByteArray elements;
};
std::optional<UecpFrame> uecp_decode(const QByteArray &frame);

// The code of an acknowledgement (element 18) in one frame as received
// (FE to FF, stuffed), if it is one and its check is right.
std::optional<int> uecp_acknowledgement(const QByteArray &frame);

// What an acknowledgement's code means, for the log.
QString uecp_code_meaning(int code);
