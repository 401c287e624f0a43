// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>

// An HTTP/1.x reply (a stream server's, a web hook's) read as its bytes
// come, and never more of it than is needed: a head (status line and
// headers) of at most longestHead bytes, a body of at most longestBody
// bytes, by Content-Length, chunk by chunk, or up to the peer's close.
// What goes past a bound fails the reply at once, keeping what it read for
// the message. No network here, so that every byte can be tried.
class HttpReplyReader {
public:
    static constexpr int longestHead = 16 * 1024;
    static constexpr int longestBody = 64 * 1024;

    enum class State { Reading, Done, Failed };

    // Takes the next bytes of the reply.
    State take(const QByteArray &bytes);
    // The peer closed the connection: the end of a body without a length,
    // otherwise a reply cut short.
    State closed();

    State state() const
    {
        return state_;
    }
    int status() const
    {
        return status_;
    }
    // The body as read (at most longestBody bytes).
    const QByteArray &body() const
    {
        return body_;
    }
    // Where a redirect points (its Location header, as it came); empty
    // when the reply names nothing.
    const QByteArray &location() const
    {
        return location_;
    }
    // Why it failed: said in the program's words, with at most
    // quotedReplyLength characters of what came.
    const QString &error() const
    {
        return error_;
    }

private:
    State fail(const QString &why);
    State read_head();
    // The head from `at` in what came, `at` moved past it; true when it was
    // an interim reply and another head follows.
    bool read_one_head(int &at);
    State read_body();
    void add_body(const QByteArray &bytes);

    enum class Framing { Length, Chunked, UntilClose, None };
    State state_ = State::Reading;
    QByteArray pending_; // what came and is not read yet (bounded)
    bool headRead_ = false;
    int status_ = 0;
    QByteArray location_;
    Framing framing_ = Framing::UntilClose;
    qint64 left_ = 0;      // of the body (Length) or of the chunk (Chunked)
    bool inChunk_ = false; // between a chunk's size line and its end
    QByteArray body_;
    QString error_;
};
