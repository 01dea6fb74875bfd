#pragma once

#include "ModalAnswerer.h"
#include "TrustQuestionAnswer.h"

#include "app/publish/UpFor.h"
#include "publish/PublishResult.h"

#include <QList>
#include <QTest>

#include <chrono>
#include <functional>

// What the first run of an upload window showed of its trust question.
struct TrustedUpload
{
    bool ran = false; // the window ended a run in time
    Kakiva::PublishResult result{};
    int shown = 0;    // trust windows asked
    int leftOpen = 0; // of those, left open by their answer
    TrustAsked asked;
};

// Shows window, answers every trust window of type Question it raises with answer (after
// noteAsked has looked at it, while it is open) and waits for the first run to end. The
// window stays up for the test to look at.
template <typename Question>
TrustedUpload answerTrustInFirstRun(Kakiva::UpFor &window, TrustAnswer answer,
                                    const std::function<void(Question *)> &noteAsked = {})
{
    using namespace std::chrono_literals;
    TrustedUpload upload;
    ModalAnswerer<Question> answerer([&](Question *dialog) {
        if (noteAsked)
            noteAsked(dialog);
        upload.asked = answerTrustQuestion(dialog, answer);
    });
    window.setRetryDelays(50ms, 50ms);
    QList<Kakiva::PublishResult> results;
    QObject context;
    QObject::connect(&window, &Kakiva::UpFor::runFinished, &context,
                     [&](Kakiva::PublishResult result) { results.append(result); });
    window.show();
    upload.ran = QTest::qWaitFor([&] { return !results.isEmpty(); }, 15000);
    upload.result = results.value(0);
    upload.shown = answerer.shown();
    upload.leftOpen = answerer.leftOpen();
    return upload;
}

// The checks every trust question answers to: asked once when it is to be asked, with its
// title, the focus on refusal, and the warning only for a changed identity.
inline void verifyTrustAsked(const TrustedUpload &upload, TrustAnswer answer, const QString &title,
                             bool warned)
{
    QVERIFY2(upload.ran, "the upload window ended no run");
    QCOMPARE(upload.shown, answer == TrustAnswer::None ? 0 : 1);
    QCOMPARE(upload.leftOpen, 0);
    if (answer == TrustAnswer::None)
        return;
    QCOMPARE(upload.asked.title, title);
    QVERIFY(upload.asked.focusOnRefusal);
    QCOMPARE(upload.asked.warned, warned);
}
