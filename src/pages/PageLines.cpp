#include "pages/PageLines.h"

#include "platform/Cp932.h"
#include "platform/TextLines.h"

namespace Kakiva {

namespace {

QByteArray line(QByteArrayView text)
{
    return text.toByteArray() + LineEnd;
}

QByteArrayView styleSheetLine(PageKind kind)
{
    switch (kind) {
    case PageKind::DayPage:
        // The day page's line has always ended with a blank; the published bytes keep it.
        return R"(<link rel="stylesheet" type="text/css" href="../../kakiva.css" > )";
    case PageKind::YearList:
        return R"(<link rel="stylesheet" type="text/css" href="./kakiva.css" >)";
    case PageKind::MonthList:
        return R"(<link rel="stylesheet" type="text/css" href="../kakiva.css" >)";
    case PageKind::DayList:
        break;
    }
    return R"(<link rel="stylesheet" type="text/css" href="../../kakiva.css" >)";
}

// The first count characters of name; a character outside the basic plane is never cut
// in half.
QString leadingCharacters(const QString &name, qsizetype count)
{
    qsizetype end = 0;
    for (qsizetype taken = 0; taken < count && end < name.size(); ++taken)
        end += name.at(end).isHighSurrogate() && end + 1 < name.size() ? 2 : 1;
    return name.first(end);
}

// The page words, converted once.
struct Words
{
    QByteArray diary = toCp932(u"日記");
    QByteArray year = toCp932(u"年");
    QByteArray month = toCp932(u"月");
    QByteArray day = toCp932(u"日");
    QByteArray back = toCp932(u"戻る");
};

const Words &words()
{
    static const Words converted;
    return converted;
}

QByteArray linkLine(const QString &name, const char *afterName, const QString &text,
                    const QByteArray &word)
{
    QByteArray link;
    link.reserve(48 + 3 * name.size());
    link.append("<A HREF=\"./")
        .append(toCp932(name))
        .append(afterName)
        .append(toCp932(text))
        .append(word)
        .append("</A><BR>")
        .append(LineEnd);
    return link;
}

} // namespace

QByteArray pageHead(PageKind kind)
{
    return line("<HTML>") + line("<HEAD>") +
           line(R"(<META http-equiv="Content-Type" content="text/html; charset=Shift_JIS">)") +
           line(styleSheetLine(kind)) + line("<TITLE>" + words().diary + "</TITLE>") +
           line("</HEAD>") + line("<BODY>");
}

QByteArray pageEnd()
{
    return line("</BODY>") + line("</HTML>");
}

QByteArray listEnd()
{
    return line("<BR><BR>") + line(R"(<A HREF="../index.html">)" + words().back + "</A>") +
           pageEnd();
}

QByteArray entryLine(QByteArrayView storedLine)
{
    return storedLine.toByteArray() + "<BR>" + LineEnd;
}

QByteArray yearLinkLine(const QString &name)
{
    return linkLine(name, "/index.html\">", name, words().year);
}

QByteArray monthLinkLine(const QString &name)
{
    return linkLine(name, "/index.html\">", name, words().month);
}

QByteArray dayLinkLine(const QString &name)
{
    return linkLine(name, "\" TARGET=\"main\">", leadingCharacters(name, 2), words().day);
}

} // namespace Kakiva
