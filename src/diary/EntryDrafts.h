#pragma once

#include "diary/DateStrings.h"

#include <QDate>
#include <QList>
#include <QString>

#include <optional>

namespace Kakiva {

// While a day is being written its text is kept in a draft, so a crash or a power cut
// loses at most the last few seconds of typing. Drafts lie in a hidden folder beside the
// entries (Diary/.drafts/YYYYMMDD.txt), which the lists of days, the pages and the search
// never look into. They hold UTF-8, so every character the entry box can hold comes back
// as typed, whatever the code page of the entries can store.

QString draftFilePath(const DateFields &day);

// Replaces the draft of day with text (lines separated by '\n', as the box holds them).
bool writeDraft(const DateFields &day, const QString &text, QString *error = nullptr);

// The draft of day when it was written after the day's entry was last saved, or the day
// has no entry: what was being typed when the program ended without closing the dialog.
// Nothing for an older draft, which a later save made obsolete, or for none at all.
std::optional<QString> pendingDraft(const DateFields &day);

// True when day has no draft afterwards.
bool removeDraft(const DateFields &day, QString *error = nullptr);

// Every day with a pending draft, ascending.
QList<QDate> pendingDraftDays();

} // namespace Kakiva
