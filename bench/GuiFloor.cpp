// The least a Qt Widgets program costs on this machine: one plain window the size of
// halvern's main window, shown. gui_bench starts it beside halvern so both are measured
// the same way on the same display; it is the floor halvern's start and memory are
// held against.
#include <QApplication>
#include <QWidget>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("gui_floor"));
    window.setFixedSize(800, 572);
    window.show();
    return QApplication::exec();
}
