// SPDX-License-Identifier: MIT
#include "program_setup.h"

#include <QtGlobal>

#include <clocale>

namespace {

void drop_qt_message(QtMsgType, const QMessageLogContext &, const QString &)
{
}

} // namespace

void set_up_program()
{
    qInstallMessageHandler(drop_qt_message);
    std::setlocale(LC_CTYPE, "");
}
