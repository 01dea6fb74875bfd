#pragma once

#include <QImage>
#include <QPlainTextEdit>
#include <QStringList>

namespace Kakiva {

// The entry's text box, which also takes pictures: files dropped on it and an image pasted
// from the clipboard are handed on instead of becoming text. Text dropped or pasted is text
// as ever.
class EntryTextEdit : public QPlainTextEdit
{
    Q_OBJECT

public:
    explicit EntryTextEdit(QWidget *parent = nullptr);

signals:
    void filesDropped(const QStringList &paths);
    void imagePasted(const QImage &image);

protected:
    bool canInsertFromMimeData(const QMimeData *source) const override;
    void insertFromMimeData(const QMimeData *source) override;
};

} // namespace Kakiva
