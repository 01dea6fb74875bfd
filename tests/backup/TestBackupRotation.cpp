#include "backup/BackupRotation.h"

#include <QSet>
#include <QTest>

using namespace Kakiva;

namespace {

// A Sunday, so the weeks (Monday to Sunday) fall in known places.
const QDate Latest(2026, 12, 6);

QDateTime daysBack(int days, int hour = 12)
{
    return QDateTime(Latest.addDays(-days), QTime(hour, 0));
}

QList<QDateTime> daysBack(const QList<int> &days)
{
    QList<QDateTime> taken;
    for (int day : days)
        taken.append(daysBack(day));
    return taken;
}

QList<int> range(int first, int last, int step = 1)
{
    QList<int> values;
    for (int value = first; value <= last; value += step)
        values.append(value);
    return values;
}

} // namespace

class TestBackupRotation : public QObject
{
    Q_OBJECT

private slots:
    void keepsDaysThenWeeksThenMonths_data();
    void keepsDaysThenWeeksThenMonths();
};

void TestBackupRotation::keepsDaysThenWeeksThenMonths_data()
{
    QTest::addColumn<QList<QDateTime>>("taken");
    QTest::addColumn<QList<int>>("kept"); // indices into taken

    QTest::newRow("fewer than seven days") << daysBack({2, 0, 1}) << QList<int>{0, 1, 2};
    QTest::newRow("several on one day, all kept")
        << QList<QDateTime>{daysBack(0, 8), daysBack(0, 20), daysBack(0, 12), daysBack(1)}
        << QList<int>{0, 1, 2, 3};
    // 0-6 are the days; 7 (a Sunday) begins the weeks, whose other days go.
    QTest::newRow("one a day for thirty days")
        << daysBack(range(0, 29)) << (range(0, 6) + QList<int>{7, 14, 21, 28});
    // After seven days and eight Sundays, 63 shares October with 56 and goes; 70 and 100
    // begin months of their own, 101 shares 100's.
    QTest::newRow("weeks give way to months")
        << daysBack(range(0, 6) + range(7, 56, 7) + QList<int>{63, 70, 100, 101})
        << range(0, 14) + QList<int>{16, 17};
    QTest::newRow("out of order") << daysBack({29, 0, 7, 8}) << QList<int>{0, 1, 2, 3};
    QList<QDateTime> monthly;
    for (int month = 1; month <= 40; ++month)
        monthly.append(QDateTime(Latest.addMonths(-month), QTime(9, 0)));
    // With nothing recent the tiers count backups, not calendar time: 7 + 8 + 24 of 40.
    QTest::newRow("one a month for forty months") << monthly << range(0, 38);
    QTest::newRow("none") << QList<QDateTime>{} << QList<int>{};
}

void TestBackupRotation::keepsDaysThenWeeksThenMonths()
{
    QFETCH(QList<QDateTime>, taken);
    QFETCH(QList<int>, kept);
    const QList<bool> keep = backupsToKeep(taken);
    QCOMPARE(keep.size(), taken.size());
    QList<int> actual;
    for (qsizetype index = 0; index < keep.size(); ++index)
        if (keep[index])
            actual.append(int(index));
    QCOMPARE(actual, kept);
}

QTEST_GUILESS_MAIN(TestBackupRotation)
#include "TestBackupRotation.moc"
