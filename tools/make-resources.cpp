// Writes the files that the program and its desktop integration need, all made here:
// the default sound and the hand pointer for the program folder, and the program icon in
// every size of the icon theme.

#include "BeepSound.h"
#include "CursorWriter.h"
#include "HandPointer.h"
#include "core/AtomicFile.h"
#include "core/Failure.h"
#include "core/ProductInfo.h"
#include "resources/ProgramIcon.h"

#include <QBuffer>
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdio>

namespace {

bool writeFile(const QString& path, const QByteArray& contents)
{
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
        std::fprintf(stderr, "cannot create the folder of %s\n", qPrintable(path));
        return false;
    }
    // Not QSaveFile: on a full disk it reports success and leaves an empty file (Qt 6.4).
    try {
        AtomicFile::replace(path, contents);
    } catch (const Failure& failure) {
        std::fprintf(stderr, "cannot write %s: %s\n", qPrintable(path),
                     qPrintable(failure.description()));
        return false;
    }
    return true;
}

bool writePng(const QString& path, const QImage& image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG")) {
        std::fprintf(stderr, "cannot encode %s\n", qPrintable(path));
        return false;
    }
    return writeFile(path, bytes);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr,
                     "usage: %s <program folder> <icon theme folder> <scalable icon (.svg)>\n",
                     argv[0]);
        return 2;
    }
    const QString programDir = QFile::decodeName(argv[1]);
    const QString iconDir = QFile::decodeName(argv[2]);
    const QString iconName = ProductInfo::kAppId;

    QFile svg(QFile::decodeName(argv[3]));
    if (!svg.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s: %s\n", argv[3], qPrintable(svg.errorString()));
        return 1;
    }

    const HandPointer hand = drawHandPointer();
    bool ok = writeFile(programDir + "/beep.wav", makeBeepWave()) &&
              writeFile(programDir + "/HAND-M.CUR", encodeCursorFile(hand.image, hand.hotSpot)) &&
              writeFile(iconDir + "/scalable/apps/" + iconName + ".svg", svg.readAll());
    for (int pixels : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QString size = QStringLiteral("%1x%1").arg(pixels);
        ok = ok &&
             writePng(iconDir + '/' + size + "/apps/" + iconName + ".png", drawProgramIcon(pixels));
    }
    return ok ? 0 : 1;
}
