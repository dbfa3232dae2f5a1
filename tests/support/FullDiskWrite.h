#pragma once

#include "SmallDisk.h"
#include "TestFiles.h"
#include "core/Failure.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QTest>
#include <functional>

/// Every file and folder under @p folder, sorted.
inline QStringList filesUnder(const QString& folder)
{
    QStringList names;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        names << it.next();
    names.sort();
    return names;
}

/// Puts @p old at @p path on @p disk (nothing when empty), fills the disk when @p error is
/// ENOSPC, and runs @p write, which must fail with the path and the reason for @p error and
/// leave the old file as it was, or no file at all, and no new file beside it. Check
/// QTest::currentTestFailed() after it.
inline void expectWriteToKeepTheOldFile(SmallDisk& disk, const QString& path, const QByteArray& old,
                                        int error, const std::function<void()>& write)
{
    QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
    QFile oldFile(path);
    QVERIFY(old.isEmpty() || (oldFile.open(QIODevice::WriteOnly) && oldFile.write(old) > 0));
    oldFile.close();
    if (error == ENOSPC)
        disk.fill();
    const QStringList before = filesUnder(disk.path());
    try {
        write();
        QFAIL("a write that found no room was not reported");
    } catch (const Failure& failure) {
        QVERIFY2(failure.description().contains(path) &&
                     failure.description().endsWith(": " + qt_error_string(error)),
                 qPrintable(failure.description()));
    }
    QCOMPARE(filesUnder(disk.path()), before);
    QCOMPARE(QFile::exists(path), !old.isEmpty());
    if (!old.isEmpty())
        QCOMPARE(readTestFile(path), old);
}
