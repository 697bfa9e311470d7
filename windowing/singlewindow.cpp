#include "singlewindow.h"

#include <QCoreApplication>
#include <QEvent>
#include <vector>

namespace windowing {

namespace {
std::vector<void (*)()> &unloaders()
{
    static std::vector<void (*)()> all;
    return all;
}
} // namespace

void detail::registerUnloader(void (*unload)())
{
    unloaders().push_back(unload);
}

void unloadAll()
{
    for (auto unload : unloaders())
        unload();
    // Windows unloaded by their own commands are still waiting to go.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace windowing
