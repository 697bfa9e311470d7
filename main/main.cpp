#include "commandline.h"
#include "display.h"
#include "fonts.h"
#include "gamesearch.h"
#include "mainwindow.h"
#include "services.h"
#include "singlewindow.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    if (const std::optional<int> status = commandline::run(argc, argv))
        return *status;
    // Looked for while Qt starts and the window shows, which does not wait.
    const auto search = gamesearch::GameSearch::start();
    windowing::beginOpeningDisplay(argv[0]);
    QApplication app(argc, argv);
    windowing::endOpeningDisplay();
    QApplication::setQuitOnLastWindowClosed(false);
    windowing::useDialogFont();
    windowing::Single<Renamer>::show(search);
    const int status = QApplication::exec();
    windowing::unloadAll();
    return status;
}
