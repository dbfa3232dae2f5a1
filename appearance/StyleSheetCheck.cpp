#include "appearance/StyleSheetCheck.h"

#include <QLoggingCategory>
#include <QWidget>

namespace {

// A message handler is a plain function, so its state lives here. Only the user-interface
// thread sets style sheets, and it is the only one that runs a check.
QtMessageHandler previousHandler = nullptr;
bool parseFailed = false;
bool defaultWarningsWereOn = true;

bool isDefaultCategory(const char* category)
{
    return !category || qstrcmp(category, "default") == 0;
}

void listenForParseFailure(QtMsgType type, const QMessageLogContext& context,
                           const QString& message)
{
    // Qt 6.4 prints "Could not parse stylesheet of object QWidget(0x...)" for a widget's sheet.
    if (type == QtWarningMsg && message.startsWith(QLatin1String("Could not parse stylesheet"))) {
        parseFailed = true;
        return;
    }
    // Warnings switched on only for the check stay as quiet as the logging rules asked.
    if (type == QtWarningMsg && !defaultWarningsWereOn && isDefaultCategory(context.category))
        return;
    if (previousHandler)
        previousHandler(type, context, message);
}

/// Listens for the parse warning for as long as it lives.
class ParseFailureListener
{
  public:
    ParseFailureListener()
        : m_category(QLoggingCategory::defaultCategory()),
          m_warningsWereOn(m_category->isWarningEnabled())
    {
        m_category->setEnabled(QtWarningMsg, true);
        defaultWarningsWereOn = m_warningsWereOn;
        parseFailed = false;
        previousHandler = qInstallMessageHandler(listenForParseFailure);
    }
    ~ParseFailureListener()
    {
        qInstallMessageHandler(previousHandler);
        previousHandler = nullptr;
        m_category->setEnabled(QtWarningMsg, m_warningsWereOn);
    }
    ParseFailureListener(const ParseFailureListener&) = delete;
    ParseFailureListener& operator=(const ParseFailureListener&) = delete;

  private:
    QLoggingCategory* m_category;
    bool m_warningsWereOn;
};

} // namespace

bool styleSheetParses(const QString& styleSheet)
{
    const ParseFailureListener listener;
    QWidget probe;
    // Qt parses the sheet as it polishes the widget, which setStyleSheet() does at once;
    // ensurePolished() makes sure of it should that ever be deferred.
    probe.setStyleSheet(styleSheet);
    probe.ensurePolished();
    return !parseFailed;
}
