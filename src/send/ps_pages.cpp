// SPDX-License-Identifier: MIT
#include "ps_pages.h"

QStringList ps_pages(const QString &text)
{
    QStringList pages;
    QString page;
    const auto close_page = [&]() {
        if (!page.isEmpty())
            pages << page.leftJustified(psLength, QLatin1Char(' '));
        page.clear();
    };
    for (QString word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (!page.isEmpty() && page.size() + 1 + word.size() <= psLength) {
            page += QLatin1Char(' ') + word;
            continue;
        }
        close_page();
        while (word.size() > psLength) {
            pages << word.left(psLength);
            word.remove(0, psLength);
        }
        page = word;
    }
    close_page();
    return pages;
}
