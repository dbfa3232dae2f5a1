// minimal_window: the smallest Qt Widgets program that does what Pingora's window does every
// second (a label and a progress bar repainted by a 1000 ms timer). The desktop benchmark
// measures Pingora's start-up, memory and idle cost against it.

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Minimal timer"));
    auto* label = new QLabel(QStringLiteral("00:00:00"));
    auto* bar = new QProgressBar;
    bar->setRange(0, 60);
    auto* layout = new QVBoxLayout(&window);
    layout->addWidget(label);
    layout->addWidget(bar);
    window.resize(520, 120);

    int seconds = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        ++seconds;
        label->setText(QStringLiteral("%1").arg(seconds));
        bar->setValue(seconds % 61);
    });
    timer.start(1000);
    window.show();
    return QApplication::exec();
}
