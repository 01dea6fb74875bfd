#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// A small site over two years: lists, day pages, the user's own style sheet and root page,
// as paths below HTML/ and below the remote directory.
inline const QStringList SmallSitePages{"year.html",       "index.html",         "kakiva.css",
                                        "2004/index.html", "2004/08/index.html", "2004/08/03.html",
                                        "2004/08/17.html", "2004/09/index.html", "2004/09/01.html",
                                        "2005/index.html", "2005/01/index.html", "2005/01/02.html"};

// The content of one page of the small site: bytes a text-mode transfer would change, and a
// size of its own per page.
inline QByteArray smallSiteContentOf(const QString &page)
{
    return page.toUtf8() + QByteArray("\r\n\x82\xa0\r\x1a\n\0", 9).repeated(page.size());
}
