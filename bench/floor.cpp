// The floor of the benchmarks: the least a Qt Widgets program does to show one window.
#include <QApplication>
#include <QWidget>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QWidget window(nullptr, Qt::FramelessWindowHint);
    // Same place and size as the note the benchmark starts, in pixels.
    window.setGeometry(200, 100, 300, 80);
    window.show();
    return app.exec();
}
