#include "builtinpaths.h"
#include "commandline.h"
#include "renamer.h"
#include "services.h"
#include "singlewindow.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    if (const std::optional<int> status = commandline::run(argc, argv))
        return *status;
    platform::beginGameSearch();
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    windowing::useDialogFont();
    windowing::Single<Renamer>::show();
    const int status = QApplication::exec();
    windowing::unloadAll();
    return status;
}
