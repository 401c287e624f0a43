// SPDX-License-Identifier: MIT
#include "program_setup.h"

#include <QTextCodec>
#include <QtGlobal>

#include <clocale>

#ifdef Q_OS_WIN
#include <windows.h>
#endif
#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {

void drop_qt_message(QtMsgType, const QMessageLogContext &, const QString &)
{
}

#ifdef Q_OS_WIN
// Qt's own codec for the ANSI code page. Windows' conversion, which Qt's
// "System" codec uses, writes a character the code page lacks as a "best
// fit" look-alike (the note sign as "d"); Qt's codecs write "?", as the same
// code page does on Linux.
QTextCodec *ansi_code_page_codec()
{
    const UINT codePage = GetACP();
    if (codePage == CP_UTF8)
        return QTextCodec::codecForMib(106);
    for (const char *form : {"windows-%1", "CP%1", "IBM%1"})
        if (QTextCodec *codec =
                QTextCodec::codecForName(QString::fromLatin1(form).arg(codePage).toLatin1()))
            return codec;
    return nullptr;
}
#endif

} // namespace

void set_up_program()
{
    qInstallMessageHandler(drop_qt_message);
    std::setlocale(LC_CTYPE, "");
#ifdef __GLIBC__
    // A large block (a peer's long reply, a big message read and left
    // aside) goes back to the system when it is freed. Left to itself,
    // glibc raises this bound to the largest block freed so far and keeps
    // later ones of that size in the heap, where a watcher running for
    // months would hold them.
    mallopt(M_MMAP_THRESHOLD, 256 * 1024);
#endif
#ifdef Q_OS_WIN
    if (QTextCodec *codec = ansi_code_page_codec())
        QTextCodec::setCodecForLocale(codec);
#endif
}

QString locale_encoding_name()
{
#ifdef Q_OS_WIN
    // Qt calls the ANSI code page's codec "System", which no XML reader
    // knows.
    const UINT codePage = GetACP();
    if (codePage == CP_UTF8)
        return QStringLiteral("UTF-8");
    return QStringLiteral("windows-%1").arg(codePage);
#else
    return QString::fromLatin1(QTextCodec::codecForLocale()->name());
#endif
}
