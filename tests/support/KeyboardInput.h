#pragma once

#include <QCoreApplication>
#include <QInputMethodEvent>
#include <QTest>
#include <QWidget>

// Types text into widget as a user would: '\n' is the Return key, ASCII goes key by
// key, and Japanese arrives as an input method commits it, one run at a time.
inline void typeText(QWidget *widget, const QString &text)
{
    QString japanese;
    const auto commitJapanese = [&] {
        if (japanese.isEmpty())
            return;
        QInputMethodEvent event;
        event.setCommitString(japanese);
        QCoreApplication::sendEvent(widget, &event);
        japanese.clear();
    };
    for (const QChar c : text) {
        if (c.unicode() >= 0x80) {
            japanese += c;
            continue;
        }
        commitJapanese();
        if (c == QLatin1Char('\n'))
            QTest::keyClick(widget, Qt::Key_Return);
        else
            QTest::keyClick(widget, c.toLatin1());
    }
    commitJapanese();
}

// Selects everything in the focused box and removes it.
inline void clearText(QWidget *widget)
{
    QTest::keyClick(widget, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(widget, Qt::Key_Delete);
}
