#include "desktop/StatusNotifierTypes.h"

#include <QDBusMetaType>
#include <QImage>
#include <QtEndian>

namespace StatusNotifier {

void registerTypes()
{
    qDBusRegisterMetaType<Image>();
    qDBusRegisterMetaType<ImageList>();
    qDBusRegisterMetaType<ToolTip>();
}

ImageList imagesOf(const QIcon& icon)
{
    ImageList images;
    if (icon.isNull())
        return images;
    for (int size : {16, 22, 24, 32, 48, 64}) {
        const QImage picture =
            icon.pixmap(QSize(size, size)).toImage().convertToFormat(QImage::Format_ARGB32);
        if (picture.isNull() || picture.width() != size || picture.height() != size)
            continue;
        Image image{size, size, QByteArray(size * size * 4, Qt::Uninitialized)};
        for (int y = 0; y < size; ++y) {
            const auto* line = reinterpret_cast<const quint32*>(picture.constScanLine(y));
            qToBigEndian<quint32>(line, size, image.pixels.data() + y * size * 4);
        }
        images.append(image);
    }
    return images;
}

QDBusArgument& operator<<(QDBusArgument& argument, const Image& image)
{
    argument.beginStructure();
    argument << image.width << image.height << image.pixels;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, Image& image)
{
    argument.beginStructure();
    argument >> image.width >> image.height >> image.pixels;
    argument.endStructure();
    return argument;
}

QDBusArgument& operator<<(QDBusArgument& argument, const ToolTip& toolTip)
{
    argument.beginStructure();
    argument << toolTip.iconName << toolTip.images << toolTip.title << toolTip.description;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, ToolTip& toolTip)
{
    argument.beginStructure();
    argument >> toolTip.iconName >> toolTip.images >> toolTip.title >> toolTip.description;
    argument.endStructure();
    return argument;
}

} // namespace StatusNotifier
