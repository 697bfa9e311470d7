// The start-up baseline: the least a Qt Widgets program does to show a
// fixed-size window with a menu bar.

#include <QApplication>
#include <QMainWindow>
#include <QMenuBar>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Baseline"));
    window.menuBar()->addMenu(QStringLiteral("File"))->addAction(QStringLiteral("Exit"));
    window.menuBar()->addMenu(QStringLiteral("Help"))->addAction(QStringLiteral("About"));
    window.setCentralWidget(new QWidget);
    window.setFixedSize(365, 310);
    window.show();
    return QApplication::exec();
}
