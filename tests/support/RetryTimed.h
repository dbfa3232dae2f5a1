#pragma once

#include <QString>
#include <QTest>

/// Runs a timed check up to three times; each attempt returns what went wrong, or an empty
/// text. A machine so busy that it froze the test (or the sound server) for a moment spoils
/// one attempt, not three; a real fault fails them all.
template <typename Attempt> void retryTimed(Attempt attempt)
{
    QString verdict;
    for (int i = 1; i <= 3; ++i) {
        verdict = attempt();
        if (verdict.isEmpty())
            return;
        qWarning("attempt %d: %s", i, qPrintable(verdict));
    }
    QFAIL(qPrintable(verdict));
}
