// SPDX-License-Identifier: MIT
#include "http_reply.h"

#include "outside_text.h"

#include <QList>

namespace {

// The end of the head that starts at `from`: the blank line after it, in
// either line end.
int head_end(const QByteArray &bytes, int from, int &separator)
{
    // Line end by line end, so that only this head is read, never the rest.
    for (int at = int(bytes.indexOf('\n', from)); at >= 0 && at + 1 < bytes.size();
         at = int(bytes.indexOf('\n', at + 1))) {
        if (at > from && bytes.at(at - 1) == '\r' && bytes.mid(at + 1, 2) == "\r\n") {
            separator = 4;
            return at - 1;
        }
        if (bytes.at(at + 1) == '\n') {
            separator = 2;
            return at;
        }
    }
    return -1;
}

// How long a line of a chunked body (a size, a trailer) may be.
constexpr int longestChunkLine = 1024;

} // namespace

HttpReplyReader::State HttpReplyReader::fail(const QString &why)
{
    state_ = State::Failed;
    error_ = why;
    pending_.clear();
    return state_;
}

HttpReplyReader::State HttpReplyReader::take(const QByteArray &bytes)
{
    if (state_ != State::Reading)
        return state_;
    pending_ += bytes;
    if (!headRead_ && read_head() != State::Reading)
        return state_;
    return headRead_ ? read_body() : state_;
}

HttpReplyReader::State HttpReplyReader::read_head()
{
    // Interim replies (100 Continue) are passed over one after another and
    // taken out of what came at once: a peer that sends thousands of them
    // in one read costs neither stack nor copies.
    int at = 0;
    while (read_one_head(at)) {
    }
    pending_.remove(0, at);
    return state_;
}

bool HttpReplyReader::read_one_head(int &at)
{
    int separator = 0;
    const int end = head_end(pending_, at, separator);
    if (end < 0) {
        if (pending_.size() - at > longestHead)
            fail(QStringLiteral("a reply head of more than %1 KiB: \"%2\"")
                     .arg(QString::number(longestHead / 1024), quoted_reply(pending_.mid(at))));
        return false;
    }
    const QList<QByteArray> lines = pending_.mid(at, end - at).split('\n');
    const QList<QByteArray> status = lines.first().trimmed().split(' ');
    bool number = false;
    status_ = status.value(1).toInt(&number);
    if (!(status.first().startsWith("HTTP/1.") || status.first() == "ICY") || !number ||
        status_ < 100 || status_ > 999) {
        fail(QStringLiteral("not an HTTP reply: \"%1\"").arg(quoted_reply(lines.first())));
        return false;
    }
    at = end + separator;
    if (status_ >= 100 && status_ < 200) // 100 Continue and the like: the reply follows
        return true;
    headRead_ = true;
    framing_ = status_ == 204 || status_ == 304 ? Framing::None : Framing::UntilClose;
    for (const QByteArray &line : lines.mid(1)) {
        const int colon = int(line.indexOf(':'));
        const QByteArray name = line.left(colon).trimmed().toLower();
        const QByteArray value = line.mid(colon + 1).trimmed().toLower();
        if (colon > 0 && name == "location")
            location_ = line.mid(colon + 1).trimmed();
        if (framing_ == Framing::None || colon < 0)
            continue;
        if (name == "transfer-encoding" && value.contains("chunked")) {
            framing_ = Framing::Chunked;
        } else if (name == "content-length" && framing_ != Framing::Chunked) {
            bool ok = false;
            left_ = value.toLongLong(&ok);
            if (!ok || left_ < 0) {
                fail(QStringLiteral("a reply with a Content-Length that is no length"));
                return false;
            }
            framing_ = Framing::Length;
        }
    }
    return false;
}

void HttpReplyReader::add_body(const QByteArray &bytes)
{
    body_ += bytes.left(longestBody + 1 - body_.size());
}

HttpReplyReader::State HttpReplyReader::read_body()
{
    const auto too_long = [this]() {
        return fail(QStringLiteral("HTTP %1 with a body of more than %2 KiB: \"%3\"")
                        .arg(QString::number(status_), QString::number(longestBody / 1024),
                             quoted_reply(body_)));
    };
    switch (framing_) {
    case Framing::None:
        state_ = State::Done;
        break;
    case Framing::UntilClose:
        add_body(pending_);
        pending_.clear();
        if (body_.size() > longestBody)
            return too_long();
        break;
    case Framing::Length: {
        const QByteArray part = pending_.left(int(qMin<qint64>(left_, pending_.size())));
        add_body(part);
        left_ -= part.size();
        pending_.clear(); // anything past the length is not ours to read
        if (body_.size() > longestBody)
            return too_long();
        if (left_ == 0)
            state_ = State::Done;
        break;
    }
    case Framing::Chunked:
        while (state_ == State::Reading) {
            if (inChunk_) {
                const QByteArray part = pending_.left(int(qMin<qint64>(left_, pending_.size())));
                add_body(part);
                left_ -= part.size();
                pending_.remove(0, part.size());
                if (body_.size() > longestBody)
                    return too_long();
                if (left_ > 0)
                    break;
                inChunk_ = false;
            }
            const int lineEnd = int(pending_.indexOf('\n'));
            if (lineEnd < 0) {
                if (pending_.size() > longestChunkLine)
                    return fail(QStringLiteral("a chunked reply with a size line of more than "
                                               "%1 bytes")
                                    .arg(QString::number(longestChunkLine)));
                break;
            }
            const QByteArray line = pending_.left(lineEnd).trimmed();
            pending_.remove(0, lineEnd + 1);
            if (line.isEmpty())
                continue; // the line end after a chunk's data
            bool ok = false;
            left_ = line.split(';').first().trimmed().toLongLong(&ok, 16);
            if (!ok || left_ < 0)
                return fail(QStringLiteral("a chunked reply with a size that is no number"));
            if (left_ == 0)
                state_ = State::Done; // trailers, if any, are not read
            inChunk_ = left_ > 0;
        }
        break;
    }
    return state_;
}

HttpReplyReader::State HttpReplyReader::closed()
{
    if (state_ != State::Reading)
        return state_;
    if (headRead_ && framing_ == Framing::UntilClose) {
        state_ = State::Done;
        return state_;
    }
    return fail(headRead_
                    ? QStringLiteral("HTTP %1, closed in mid-body").arg(QString::number(status_))
                : pending_.isEmpty()
                    ? QStringLiteral("closed without a reply")
                    : QStringLiteral("closed in mid-reply: \"%1\"").arg(quoted_reply(pending_)));
}
