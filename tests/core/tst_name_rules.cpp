// The names the program makes: the application title and the history log's path.
#include "core/NameRules.h"

#include <QDir>
#include <QTest>

class tst_NameRules : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void appTitleDropsWordsToFortyCharacters()
    {
        QCOMPARE(NameRules::AppTitleFor("Pingora"), QString("Pingora"));
        QCOMPARE(NameRules::AppTitleFor("Pingora Beep"), QString("Pingora")); // always one drop
        const QString longName = "Alpha Beta Gamma Delta Epsilon Zeta Eta Theta Iota";
        const QString title = NameRules::AppTitleFor(longName);
        QCOMPARE(title, QString("Alpha Beta Gamma Delta Epsilon Zeta Eta"));
        QVERIFY(title.size() <= 40);
    }

    void dropLastWordAndCleanFileName()
    {
        QCOMPARE(NameRules::DropLastWord("Pingora", "Software"), QString("Pingora"));
        QCOMPARE(NameRules::DropLastWord("Acme Software", "Software"), QString("Acme"));
        QCOMPARE(NameRules::DropLastWord("Acme  Software ", "Software"),
                 QString("Acme  Software "));
        QCOMPARE(NameRules::DropLastWord("Acme Tools", "Software"), QString("Acme Tools"));
        QCOMPARE(NameRules::DropLastWord(" Acme Tools ", ""), QString("Acme Tools"));
        QCOMPARE(NameRules::DropLastWord("Acme software", "Software"), QString("Acme software"));
        // Only spaces are trimmed: a tab or a line break belongs to the word or the rest.
        QCOMPARE(NameRules::DropLastWord("Acme Software\t", "Software"),
                 QString("Acme Software\t"));
        QCOMPARE(NameRules::DropLastWord("\nAcme Software", "Software"), QString("\nAcme"));

        const QString removed = QString("$/\\*:?<>|#' .,\"()-+=%;{}\t");
        QCOMPARE(removed.size(), 25);
        QCOMPARE(NameRules::CleanFileName(removed), QString());
        QCOMPARE(NameRules::CleanFileName("a_b[1]é!~" + removed + "Z"), QString("a_b[1]é!~Z"));
    }

    // As the user reads it: with backslashes on Windows.
    void historyLogPathFollowsTempOrStateFolder()
    {
        const auto native = [](const QString& path) { return QDir::toNativeSeparators(path); };
        qputenv("TEMP", "/some/temp");
        QCOMPARE(NameRules::HistoryLogPathFor("Pingora"), native("/some/temp/Pingora.txt"));
        QCOMPARE(NameRules::HistoryLogPathFor("Big Pingora Software"),
                 native("/some/temp/BigPingora.txt"));
        qputenv("TEMP", "");
        qputenv("XDG_STATE_HOME", "/state");
        QCOMPARE(NameRules::HistoryLogPathFor("Pingora"), native("/state/Pingora.txt"));
        qunsetenv("TEMP");
        qputenv("XDG_STATE_HOME", "relative/ignored");
        QCOMPARE(NameRules::HistoryLogPathFor("Pingora"),
                 native(QDir::homePath() + "/.local/state/Pingora.txt"));
        qunsetenv("XDG_STATE_HOME");
    }
};

QTEST_MAIN(tst_NameRules)
#include "tst_name_rules.moc"
