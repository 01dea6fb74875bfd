#include "app/entry/DraftAutosave.h"

#include "app/kit/ErrorMessage.h"
#include "diary/EntryDrafts.h"

#include <QPlainTextEdit>

#include <algorithm>

namespace Kakiva {

namespace {

// Long enough that a draft is not written at every keystroke, short enough that little
// is lost; steady typing is kept at least every MaxDelay.
constexpr int QuietDelay = 3000;
constexpr qint64 MaxDelay = 10000;

} // namespace

DraftAutosave::DraftAutosave(QPlainTextEdit *box) : QObject(box), m_box(box)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &DraftAutosave::keep);
    connect(box, &QPlainTextEdit::textChanged, this, &DraftAutosave::textChanged);
}

void DraftAutosave::start(const DateFields &day, const QString &saved)
{
    m_day = day;
    m_saved = saved;
    m_active = true;
    m_failureTold = false;
}

void DraftAutosave::entrySaved(const QString &saved)
{
    m_saved = saved;
    m_timer.stop();
    removeDraft(m_day);
}

void DraftAutosave::finish()
{
    m_timer.stop();
    if (m_active)
        removeDraft(m_day);
    m_active = false;
}

void DraftAutosave::textChanged()
{
    if (!m_active)
        return;
    if (!m_timer.isActive())
        m_unkeptSince.start();
    m_timer.start(
        int(std::clamp(MaxDelay - m_unkeptSince.elapsed(), qint64(0), qint64(QuietDelay))));
}

void DraftAutosave::keep()
{
    const QString text = m_box->toPlainText();
    QString error;
    const bool kept =
        text == m_saved ? removeDraft(m_day, &error) : writeDraft(m_day, text, &error);
    // Told once per showing: a box at every pause in the typing would be worse than none.
    if (!kept && !m_failureTold) {
        m_failureTold = true;
        showErrorMessage(m_box->window(),
                         QStringLiteral("下書きを保存できませんでした。\n") + error);
    }
}

} // namespace Kakiva
