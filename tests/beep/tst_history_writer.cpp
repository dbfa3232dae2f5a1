// The history log writer: the first beep makes the log's folder.
#include "beep/HistoryWriter.h"
#include "core/NameRules.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class tst_HistoryWriter : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void firstBeepMakesTheStateFolder()
    {
        // The state folder is made on the first beep, also when named with a final slash.
        qunsetenv("TEMP");
        QTemporaryDir dir;
        qputenv("XDG_STATE_HOME", QFile::encodeName(dir.filePath("state/")));
        IntervalSave::AppendHistoryLine(NameRules::HistoryLogPathFor("Pingora"), "Beeped at 1");
        QVERIFY(QFile::exists(dir.filePath("state/Pingora.txt")));
        qunsetenv("XDG_STATE_HOME");
    }
};

QTEST_GUILESS_MAIN(tst_HistoryWriter)
#include "tst_history_writer.moc"
