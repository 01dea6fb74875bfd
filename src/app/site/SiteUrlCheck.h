#pragma once

#include <QString>

namespace Kakiva {

// What is wrong with url as the public address of the HTML tree, in words for the user;
// empty when it will do: empty (no feed), or an absolute http or https address with a host
// and nothing after the path.
QString siteUrlProblem(const QString &url);

} // namespace Kakiva
