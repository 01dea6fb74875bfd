#pragma once

#include "publish/OutcomeKind.h"
#include "publish/PublishFailure.h"

#include <QString>

namespace Kakiva {

// The words the publishing windows show for what publishing came to: the core says what
// happened, these say it to the user.
namespace OutcomeText {

// The upload window's status line for a stage or a failure; empty for None.
QString of(OutcomeKind kind);
// The line a publishing window shows for a failure: the file or directory it concerns
// first, when there is one.
QString of(const PublishFailure &failure);
// The message for a record of sent files that could not be written.
QString ofRecordError(const QString &error);

} // namespace OutcomeText

} // namespace Kakiva
