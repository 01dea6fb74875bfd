#pragma once

#include "diary/DateStrings.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

class QPlainTextEdit;

namespace Kakiva {

// Keeps the entry box's text in the day's draft while it is written: a few seconds after
// the typing pauses, and at the latest a little later while it goes on, so a crash loses
// only the last moments. A text back to what the entry holds needs no draft.
class DraftAutosave : public QObject
{
    Q_OBJECT

public:
    explicit DraftAutosave(QPlainTextEdit *box);

    // Starts keeping drafts of day; saved is the text of its entry, as the box shows it.
    void start(const DateFields &day, const QString &saved);
    // The entry now holds saved, so its draft is no longer needed.
    void entrySaved(const QString &saved);
    // The dialog closes: the draft goes with it, unless the day could not be read and its
    // draft was never offered.
    void finish();

private:
    void textChanged();
    void keep();

    QPlainTextEdit *m_box;
    QTimer m_timer;
    QElapsedTimer m_unkeptSince;
    DateFields m_day;
    QString m_saved;
    bool m_active = false;
    bool m_failureTold = false;
};

} // namespace Kakiva
