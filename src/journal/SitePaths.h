#pragma once

#include <QStringList>

namespace Kakiva::journal {

// The paths below the HTML tree of files the page generator names by their local paths.
QStringList sitePathsOf(const QStringList &localPaths);

} // namespace Kakiva::journal
