#include "history/Background.h"

#include <QEventLoop>
#include <QThread>
#include <exception>
#include <memory>

void runInBackground(const std::function<void()>& work)
{
    std::exception_ptr failure;
    const std::unique_ptr<QThread> thread(QThread::create([&] {
        try {
            work();
        } catch (...) {
            failure = std::current_exception();
        }
    }));
    // A nested event loop rather than processEvents() in a polling loop: it sleeps until
    // something happens, and it raises the loop level, by which the error report tells the
    // user's own clicks during the wait from failures of the waiting statement.
    QEventLoop loop;
    // Queued across threads, so a thread that ends before exec() still stops the loop.
    QObject::connect(thread.get(), &QThread::finished, &loop, &QEventLoop::quit);
    thread->start();
    loop.exec();
    thread->wait();
    if (failure)
        std::rethrow_exception(failure);
}
