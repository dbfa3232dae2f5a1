#include "core/ErrorTrap.h"
#include "core/NameRules.h"

#include "core/Failure.h"
#include "core/ProductInfo.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QThread>
#include <exception>
#include <utility>

namespace {

QPointer<QWidget> g_parentWindow;
ErrorTrap* g_innermostTrap = nullptr;

const QString kReportTitle = QStringLiteral("Application Error");
const QString kAtLine = QStringLiteral("at line ");
const QString kMailRequest = QStringLiteral("Please email screenshot of this message to ");

int currentLoopLevel()
{
    return QThread::currentThread()->loopLevel();
}

// The description of whatever a statement threw.
QString describeCurrentException()
{
    try {
        throw;
    } catch (const Failure& failure) {
        return failure.description();
    } catch (const std::exception& exception) {
        return QString::fromLocal8Bit(exception.what());
    } catch (...) {
        return QStringLiteral("Unknown failure.");
    }
}

} // namespace

QString ErrorReport::message(const QString& description, const QString& location, int line)
{
    return description + QStringLiteral("\r\n") + location + kAtLine + QString::number(line) +
           QStringLiteral("\r\r") + kMailRequest + ProductInfo::kSupportEmail;
}

void ErrorReport::show(const QString& description, const QString& location, int line)
{
    QString text = message(description, location, line);
    // Qt breaks lines at line feeds only; the report's lone carriage returns are line breaks.
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
    QMessageBox box(QMessageBox::Warning, kReportTitle, text, QMessageBox::Ok, g_parentWindow);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

void ErrorReport::setParentWindow(QWidget* window)
{
    g_parentWindow = window;
}

ErrorTrap::ErrorTrap(QString location) : m_location(std::move(location))
{
}

ErrorTrap::~ErrorTrap() = default;

void ErrorTrap::run(int line, const std::function<void()>& statement)
{
    test(line, [&] {
        statement();
        return true;
    });
}

bool ErrorTrap::test(int line, const std::function<bool()>& condition)
{
    m_line = line;
    m_loopLevel = currentLoopLevel();
    m_hasPendingFailure = false;
    m_outer = g_innermostTrap;
    g_innermostTrap = this;
    bool result = true;
    QString failure;
    bool failed = false;
    try {
        result = condition();
    } catch (...) {
        failure = describeCurrentException();
        failed = true;
    }
    g_innermostTrap = m_outer;
    if (!failed && m_hasPendingFailure) {
        failure = m_pendingFailure;
        failed = true;
    }
    if (failed) {
        report(line, failure);
        return true;
    }
    return result;
}

void ErrorTrap::report(int line, const QString& description)
{
    ErrorReport::show(description, m_location, line);
}

void ErrorTrap::runUntrappedHandler(const std::function<void()>& handler)
{
    try {
        handler();
    } catch (...) {
        const QString description = describeCurrentException();
        // Raised by a statement's own change of a control (not by something the user did in
        // a nested event loop): it is that statement's failure.
        ErrorTrap* trap = g_innermostTrap;
        if (trap && trap->m_loopLevel == currentLoopLevel()) {
            if (!trap->m_hasPendingFailure) {
                trap->m_pendingFailure = description;
                trap->m_hasPendingFailure = true;
            }
            return;
        }
        QMessageBox box(QMessageBox::Warning, NameRules::AppTitle(), description, QMessageBox::Ok,
                        g_parentWindow);
        box.setTextFormat(Qt::PlainText);
        box.exec();
    }
}
