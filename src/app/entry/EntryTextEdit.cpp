#include "app/entry/EntryTextEdit.h"

#include <QMimeData>
#include <QUrl>

namespace Kakiva {

namespace {

QStringList localFiles(const QMimeData *source)
{
    QStringList paths;
    if (!source->hasUrls())
        return paths;
    for (const QUrl &url : source->urls()) {
        if (!url.isLocalFile())
            return {}; // a link dragged from a page is text
        paths.append(url.toLocalFile());
    }
    return paths;
}

// A screenshot on the clipboard is an image alone; a picture copied from a page comes with
// its markup or address as text, and the text is what the user meant to paste there.
bool isImageAlone(const QMimeData *source)
{
    return source->hasImage() && !source->hasText();
}

} // namespace

EntryTextEdit::EntryTextEdit(QWidget *parent) : QPlainTextEdit(parent) {}

bool EntryTextEdit::canInsertFromMimeData(const QMimeData *source) const
{
    return !localFiles(source).isEmpty() || isImageAlone(source) ||
           QPlainTextEdit::canInsertFromMimeData(source);
}

void EntryTextEdit::insertFromMimeData(const QMimeData *source)
{
    if (const QStringList files = localFiles(source); !files.isEmpty())
        emit filesDropped(files);
    else if (isImageAlone(source))
        emit imagePasted(qvariant_cast<QImage>(source->imageData()));
    else
        QPlainTextEdit::insertFromMimeData(source);
}

} // namespace Kakiva
