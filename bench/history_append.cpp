// history_append: the cost of one beep's line appended to a history log that has grown to
// 1 GiB, against an empty log. Target: at most 1 ms per line. Prints figures; never fails.
//
//   build/bench/history_append [--lines N]
//
// The large logs are made in a temporary folder in two ways: sparse (a hole of 1 GiB, made at
// once) and allocated (1 GiB of blocks reserved on the disk with fallocate).

#include "beep/HistoryWriter.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr long long kGiB = 1024LL * 1024 * 1024;
constexpr double kTargetMs = 1.0;

enum class Fill { Empty, Sparse, Allocated };

bool makeLog(const QString& path, Fill fill)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd < 0)
        return false;
    bool ok = true;
    if (fill == Fill::Sparse)
        ok = ::ftruncate(fd, kGiB) == 0;
    else if (fill == Fill::Allocated)
        ok = ::posix_fallocate(fd, 0, kGiB) == 0;
    ::close(fd);
    return ok;
}

long long sizeOf(const QString& path)
{
    struct stat info
    {
    };
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_size : -1;
}

void measure(const QString& path, const char* what, Fill fill, int lines)
{
    if (!makeLog(path, fill)) {
        std::printf("%-22s cannot be made here (disk full?)\n", what);
        return;
    }
    const long long before = sizeOf(path);
    const QString line =
        IntervalSave::kBeepedAt + IntervalSave::DateTimeText(QDateTime::currentDateTime());
    std::vector<double> ms;
    ms.reserve(lines);
    for (int i = 0; i < lines; ++i) {
        const auto start = std::chrono::steady_clock::now();
        IntervalSave::AppendHistoryLine(path, line);
        ms.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }
    const long long grown = sizeOf(path) - before;
    std::sort(ms.begin(), ms.end());
    const double median = ms[ms.size() / 2];
    const double p99 = ms[std::min(ms.size() - 1, ms.size() * 99 / 100)];
    std::printf("%-22s %d lines: median %.3f ms, 99th percentile %.3f ms, max %.3f ms; "
                "grew by %lld bytes (%lld a line)",
                what, lines, median, p99, ms.back(), grown, grown / lines);
    if (fill != Fill::Empty)
        std::printf("  [target <= %.0f ms a line: %s]", kTargetMs,
                    median <= kTargetMs ? "met" : "MISSED");
    std::printf("\n");
    QFile::remove(path);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    int lines = 2000;
    const QStringList args = app.arguments();
    const qsizetype at = args.indexOf(QStringLiteral("--lines"));
    if (at > 0 && at + 1 < args.size())
        lines = std::max(1, args[at + 1].toInt());

    QTemporaryDir dir;
    if (!dir.isValid()) {
        std::printf("cannot make a temporary folder\n");
        return 0;
    }
    const QString path = dir.filePath(QStringLiteral("Pingora.txt"));
    std::printf("Appending beep lines to the history log (in %s)\n", qPrintable(dir.path()));
    try {
        measure(path, "empty log", Fill::Empty, lines);
        measure(path, "1 GiB log, sparse", Fill::Sparse, lines);
        measure(path, "1 GiB log, allocated", Fill::Allocated, lines);
    } catch (const std::exception& e) {
        std::printf("stopped: %s\n", e.what());
    }
    return 0;
}
