#include "renamer.h"
#include "singlewindow.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    // The windows' fixed layouts are drawn for an 8-point dialog font.
    QFont font = QApplication::font();
    font.setPointSize(8);
    QApplication::setFont(font);
    windowing::Single<Renamer>::show();
    const int status = QApplication::exec();
    windowing::unloadAll();
    return status;
}
