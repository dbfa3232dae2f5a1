#include "history/HistoryCommands.h"

#include "history/ClipboardStaging.h"

#include <QLocale>

namespace {

const QString kRichTextBoxName = QStringLiteral("RichTextBox1");

} // namespace

QString HistoryCommands::tooLargeToCopy(qint64 logBytes, qint64 limitBytes)
{
    // Whole megabytes of 1,048,576 bytes, the log's rounded up and the limit's down, so that a
    // log just over the limit never reads as the same size.
    constexpr qint64 kMegabyte = 1 << 20;
    const QLocale locale;
    return QStringLiteral("The history log is too large to copy to the clipboard: it holds %1 MB, "
                          "and the clipboard takes up to %2 MB.\n"
                          "Use \"View History Log\" to open it, or \"Clear History Log\" to "
                          "start a new one.")
        .arg(locale.toString((logBytes + kMegabyte - 1) / kMegabyte),
             locale.toString(limitBytes / kMegabyte));
}

ClipboardStaging& HistoryCommands::RichTextBox1(QObject& owner)
{
    if (auto* box =
            owner.findChild<ClipboardStaging*>(kRichTextBoxName, Qt::FindDirectChildrenOnly))
        return *box;
    auto* box = new ClipboardStaging(&owner);
    box->setObjectName(kRichTextBoxName);
    box->setMaxLength(kClipboardLimitBytes);
    return *box;
}
