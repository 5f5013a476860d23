#include <QtTest>
class TestSettingsFile : public QObject
{
    Q_OBJECT
};
QTEST_GUILESS_MAIN(TestSettingsFile)
#include "tst_settingsfile.moc"
