#pragma once

#include <QByteArray>
#include <QDBusArgument>
#include <QIcon>
#include <QList>
#include <QMetaType>
#include <QString>

/// The value types of the StatusNotifierItem D-Bus interface.
namespace StatusNotifier {

/// One picture of an icon: width, height and ARGB32 pixels in network byte order, "(iiay)".
struct Image
{
    int width = 0;
    int height = 0;
    QByteArray pixels;
};
using ImageList = QList<Image>;

/// A tooltip, "(sa(iiay)ss)": icon name, pictures, title and description.
struct ToolTip
{
    QString iconName;
    ImageList images;
    QString title;
    QString description;
};

QDBusArgument& operator<<(QDBusArgument& argument, const Image& image);
const QDBusArgument& operator>>(const QDBusArgument& argument, Image& image);
QDBusArgument& operator<<(QDBusArgument& argument, const ToolTip& toolTip);
const QDBusArgument& operator>>(const QDBusArgument& argument, ToolTip& toolTip);

/// Registers the types with Qt D-Bus; call before the first use (repeated calls are harmless).
void registerTypes();

/// The pictures of @p icon at the sizes a tray asks for most (16 to 64 pixels).
ImageList imagesOf(const QIcon& icon);

} // namespace StatusNotifier

Q_DECLARE_METATYPE(StatusNotifier::Image)
Q_DECLARE_METATYPE(StatusNotifier::ToolTip)
