#pragma once

#include <QString>

class QLabel;

namespace Kakiva {

// Shows text in label at the label's own font size when it fits the label, and at the
// largest smaller size that fits otherwise, so a long status (or a face with tall line
// spacing) is never clipped.
void setFittedText(QLabel *label, const QString &text);

} // namespace Kakiva
