#include "app/publish/CheckReportText.h"

namespace Kakiva::CheckReportText {

namespace {

const QString Indent = QStringLiteral("　");

void addGroup(QStringList &lines, const QString &heading, const QStringList &paths)
{
    if (paths.isEmpty())
        return;
    lines.append(heading.arg(paths.size()));
    for (const QString &path : paths)
        lines.append(Indent + path);
}

QStringList removedTemporaries(const SiteCheckReport &report)
{
    QStringList removed = report.differences.temporaries;
    removed.removeIf([&](const QString &path) { return report.temporariesLeft.contains(path); });
    return removed;
}

} // namespace

QStringList linesOf(const SiteCheckReport &report)
{
    const SiteDifferences &found = report.differences;
    QStringList lines;
    addGroup(lines, QStringLiteral("サーバーにないページ: %1 件（未送信にしました）"),
             found.missing);
    addGroup(lines, QStringLiteral("内容が違うページ: %1 件（未送信にしました）"), found.changed);
    addGroup(lines, QStringLiteral("削除した一時ファイル: %1 件"), removedTemporaries(report));
    addGroup(lines, QStringLiteral("削除できなかった一時ファイル: %1 件"), report.temporariesLeft);
    addGroup(lines, QStringLiteral("Kakiva が送っていないファイル: %1 件（そのままです）"),
             found.unknown);
    return lines;
}

QString summaryOf(const SiteCheckReport &report)
{
    const qsizetype unsent = report.differences.missing.size() + report.differences.changed.size();
    if (unsent > 0)
        return QStringLiteral("%1 件のページを未送信にしました。\n未送信を送信で送り直せます。")
            .arg(unsent);
    if (report.differences.isEmpty())
        return QStringLiteral("サーバーはサイトのとおりです。");
    return QStringLiteral("ページはサーバーのとおりです。");
}

QString progressOf(const SiteCheckProgress &progress)
{
    const QString directory =
        progress.currentDirectory.isEmpty() ? QStringLiteral("/") : progress.currentDirectory;
    return QStringLiteral("照合中 %1 / %2 フォルダ: %3")
        .arg(progress.directoriesDone)
        .arg(progress.directoriesTotal)
        .arg(directory);
}

} // namespace Kakiva::CheckReportText
