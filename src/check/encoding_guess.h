// SPDX-License-Identifier: MIT
#pragma once

// Telling a file's encoding from its bytes, where a setting names another.

#include <QByteArray>
#include <QString>

class QTextCodec;

// Whether `codec` reads one byte as one character (windows-1251, KOI8-R and
// the like), so that any bytes decode without an error.
bool is_single_byte(QTextCodec *codec);

// Whether `bytes` are valid UTF-8 holding at least one letter beyond ASCII:
// text in a single-byte encoding almost never is.
bool looks_like_utf8(const QByteArray &bytes);

// How many bytes a UTF-8 reader replaces with U+FFFD: those that are not
// part of a valid sequence.
int invalid_utf8_bytes(const QByteArray &bytes);

// For a configuration file (`name`) of these `bytes`, read without a
// byte-order mark in the locale encoding: where that is UTF-8 and the
// bytes are not, what is lost and how to mend it; empty otherwise.
QString config_not_utf8(const QString &name, const QByteArray &bytes, QTextCodec *locale);

// Of windows-1251, KOI8-R, IBM866 and ISO-8859-5, the one that reads
// `bytes` as the most Cyrillic letters standing in words (all small, all
// capitals or one capital first) among the letters Russian uses most; the
// first of them on a tie, and none (an empty name) when none gives one.
QString likely_cyrillic_encoding(const QByteArray &bytes);
