// The floor of the benchmarks: the least a Qt Widgets program does to show one window.
// With a text and a font name it shows that text in a label, the least a program does to show
// a note's words; without, a blank window.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include <QApplication>
#include <QLabel>
#include <QWidget>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    QWidget window(nullptr, Qt::FramelessWindowHint);
    // Same place and size as the note the benchmark starts, in pixels.
    window.setGeometry(200, 100, 300, 80);
    if (args.size() >= 3) {
        auto *label = new QLabel(args.at(1), &window);
        label->setFont(QFont(args.at(2), 12));
        label->setGeometry(7, 7, 286, 73);
    }
    window.show();
    return app.exec();
}
