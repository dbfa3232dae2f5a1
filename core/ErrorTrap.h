#pragma once

#include <QString>
#include <functional>

class QWidget;

/// The error report of the program's main handlers: "Application Error" with the failure,
/// where it happened and the statement number, then the handler goes on.
namespace ErrorReport {

/// The report's message text: the description, CR LF, the location text, "at line " and the
/// number, CR, CR, and the request to mail a screenshot to support.
QString message(const QString& description, const QString& location, int line);

/// Shows the report as a modal warning box with one OK button; returns when it is closed.
void show(const QString& description, const QString& location, int line);

/// The window the reports are shown over (the main window once it exists).
void setParentWindow(QWidget* window);

} // namespace ErrorReport

/// Runs a handler's numbered statements so that none stops the handler: a statement that
/// throws is reported with its number and the handler continues with the next statement.
///
///     ErrorTrap trap(u"in Belvane2021/08/31.IntervalSave.BeepNow ");
///     if (trap.test(100, [&] { return ...; })) {
///         trap.run(102, [&] { ... });
///
/// A failure inside a procedure that a statement calls is reported with the calling
/// statement's number. The trap lasts as long as the object.
class ErrorTrap
{
  public:
    explicit ErrorTrap(QString location);
    ~ErrorTrap();
    ErrorTrap(const ErrorTrap&) = delete;
    ErrorTrap& operator=(const ErrorTrap&) = delete;

    /// Runs one statement; a failure is reported as failing at @p line.
    void run(int line, const std::function<void()>& statement);

    /// Evaluates the test of a branch. A failing test is reported and counts as passed, so
    /// the branch's body runs.
    bool test(int line, const std::function<bool()>& condition);

    /// Runs an event handler that has no report of its own. When a trapped statement changed
    /// a control and so raised the event, a failure counts as that statement's failure;
    /// otherwise the user is told in a plain message. Never lets an exception escape.
    static void runUntrappedHandler(const std::function<void()>& handler);

  private:
    void report(int line, const QString& description);

    QString m_location;
    int m_line = 0;
    int m_loopLevel = 0;
    QString m_pendingFailure; // a failure raised by an event that the current statement caused
    bool m_hasPendingFailure = false;
    ErrorTrap* m_outer = nullptr;
};
