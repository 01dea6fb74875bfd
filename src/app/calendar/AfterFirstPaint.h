#pragma once

#include <functional>

class QWidget;

namespace Kakiva {

// Runs work once, just after window has painted its first frame: what that frame does
// not need must not delay it.
void runAfterFirstPaint(QWidget *window, std::function<void()> work);

} // namespace Kakiva
