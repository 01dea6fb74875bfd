#pragma once

#include <optional>

namespace Kakiva {

// Answers --help and --version on standard output before anything touches the window
// system, so both work without a display. Returns the exit code when the command line
// has been answered and the program should end, nothing when it should start.
// The program takes no arguments of its own beyond these two; anything else is left to
// Qt, which knows its own options (-style, -platform, -reverse and the like).
std::optional<int> answerCommandLine(int &argc, char **argv);

} // namespace Kakiva
