#include "core/NameRules.h"

#include "core/Main.h"

#include "core/ProductInfo.h"

#include <QDir>
#include <QtGlobal>

namespace {

const QString kCompanySuffixWord = QStringLiteral("Software");
const QString kRemovedFromFileNames = QStringLiteral("$/\\*:?<>|#' .,\"()-+=%;{}\t");
constexpr qsizetype kMaxTitleLength = 40;

} // namespace

QString NameRules::StateFolder()
{
    const QString configured = qEnvironmentVariable("XDG_STATE_HOME");
    if (!configured.isEmpty() && QDir::isAbsolutePath(configured))
        return configured;
    return QDir::homePath() + QStringLiteral("/.local/state");
}

QString NameRules::AppTitleFor(const QString& productName)
{
    QString title = productName;
    do {
        const qsizetype lastSpace = title.lastIndexOf(u' ');
        if (lastSpace < 0)
            break;
        title.truncate(lastSpace);
    } while (title.size() > kMaxTitleLength);
    return title;
}

namespace {
QString g_appTitle = ProductInfo::kProductName;
} // namespace

void NameRules::SetAppTitle()
{
    g_appTitle = AppTitleFor(ProductInfo::kProductName);
}

QString NameRules::AppTitle()
{
    return g_appTitle;
}

QString NameRules::DropLastWord(const QString& text, const QString& word)
{
    const qsizetype lastSpace = text.lastIndexOf(u' ');
    if (lastSpace < 0)
        return text;
    if (word.isEmpty() || Main::trimSpaces(text.mid(lastSpace)) == word)
        return Main::trimSpaces(text.left(lastSpace));
    return text;
}

QString NameRules::CleanFileName(const QString& text)
{
    QString cleaned;
    cleaned.reserve(text.size());
    for (QChar c : text)
        if (!kRemovedFromFileNames.contains(c))
            cleaned += c;
    return cleaned;
}

QString NameRules::HistoryLogPathFor(const QString& productName)
{
    const QString fileName =
        CleanFileName(DropLastWord(productName, kCompanySuffixWord)) + QStringLiteral(".txt");
    const QString temp = qEnvironmentVariable("TEMP");
    // Without TEMP the log would land at the root of the file system, where a user cannot
    // write; the user's state folder takes its place.
    const QString folder = temp.isEmpty() ? StateFolder() : temp;
    return QDir::toNativeSeparators(folder + u'/' + fileName);
}
