// The tavirlo program.

#include <QApplication>
#include <QLabel>
#include <QMainWindow>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Tavirlo");
    QMainWindow w;
    w.setWindowTitle("Tavirlo 7.8 by Ambertide Software");
    w.setCentralWidget(new QLabel("Tavirlo"));
    w.resize(620, 460);
    w.show();
    return app.exec();
}
