// SPDX-License-Identifier: MIT
#include "shown_address.h"

#include "outside_text.h"

#include <QRegularExpression>
#include <QStringList>
#include <QUrlQuery>

#include <algorithm>

namespace {

const QString hidden = QStringLiteral("...");

} // namespace

bool is_secret_name(const QString &name)
{
    static const char *const words[] = {"key",  "token", "secret",  "pass",      "pwd",
                                        "auth", "sig",   "session", "credential"};
    const QString lower = name.toLower();
    return std::any_of(std::begin(words), std::end(words),
                       [&lower](const char *word) { return lower.contains(QLatin1String(word)); });
}

bool is_secret_segment(const QString &segment)
{
    if (segment.size() < 16)
        return false;
    const bool letter =
        std::any_of(segment.begin(), segment.end(), [](QChar c) { return c.isLetter(); });
    const bool digit =
        std::any_of(segment.begin(), segment.end(), [](QChar c) { return c.isDigit(); });
    return letter && digit;
}

QString shown_address(const QUrl &url, bool encoded)
{
    QUrl shown = url;
    shown.setPassword(QString());
    if (shown.userName().isEmpty())
        shown.setUserInfo(QString());
    // A fragment is never sent, but may hold a token; that there is one
    // is worth seeing ("studio/#" is no topic "studio/").
    if (shown.hasFragment())
        shown.setFragment(hidden);
    QStringList segments = shown.path(QUrl::FullyDecoded).split(QLatin1Char('/'));
    if (std::any_of(segments.begin(), segments.end(), is_secret_segment)) {
        for (QString &segment : segments)
            if (is_secret_segment(segment))
                segment = hidden;
        shown.setPath(segments.join(QLatin1Char('/')), QUrl::DecodedMode);
    }
    if (shown.hasQuery()) {
        QUrlQuery query(shown);
        QList<QPair<QString, QString>> items = query.queryItems();
        for (auto &item : items)
            if (is_secret_name(QUrl::fromPercentEncoding(item.first.toUtf8())))
                item.second = hidden;
        query.setQueryItems(items);
        shown.setQuery(query);
    }
    return within_utf8_bytes(encoded ? shown.toString(QUrl::FullyEncoded) : shown.toString(),
                             longestShownAddressBytes);
}

QString without_secrets(const QString &text)
{
    static const QRegularExpression address(
        QStringLiteral("[A-Za-z][A-Za-z0-9+.-]*://[^\\s\"'<>]+"));
    QString out;
    int at = 0;
    for (auto it = address.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        out += text.mid(at, match.capturedStart() - at);
        const QUrl url(match.captured(), QUrl::TolerantMode);
        // An address Qt cannot read is shown by its scheme alone: any other
        // part of it may be the secret.
        out += url.isValid() && !url.host().isEmpty()
                   ? shown_address(url)
                   : match.captured().left(match.captured().indexOf(QLatin1String("://")) + 3) +
                         hidden;
        at = match.capturedEnd();
    }
    return out + text.mid(at);
}
