// Feeds arbitrary bytes to the cursor file decoder. Whatever the bytes, it must either give a
// usable pointer image or throw Failure: never crash, read outside the bytes, or allocate
// what a header merely claims.

#include "appearance/CursorFile.h"
#include "core/Failure.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // Qt's image warnings about broken PNG streams are expected here; keep the log readable.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    try {
        const CursorImage cursor = decodeCursorFile(QByteArrayView(data, qsizetype(size)));
        if (cursor.image.isNull() || cursor.image.width() > kMaxCursorSide ||
            cursor.image.height() > kMaxCursorSide ||
            cursor.image.format() != QImage::Format_ARGB32 ||
            !cursor.image.rect().contains(cursor.hotSpot))
            std::abort();
    } catch (const Failure& failure) {
        if (failure.description().isEmpty())
            std::abort();
    }
    return 0;
}
