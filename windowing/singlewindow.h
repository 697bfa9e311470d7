#pragma once

#include "placement.h"
#include "services.h"

#include <QWidget>
#include <utility>

namespace windowing {

namespace detail {
void registerUnloader(void (*unload)());
}

// Discards every loaded window at once, as the program ends.
void unloadAll();

// The one application-wide instance of a window type, and the only way any
// window is created. The first reference loads the window: its constructor
// gives every control its initial content, then its load step
// (Window::onLoad) runs, all before the reference goes on. Unloading discards
// the window and everything its controls hold; the next reference loads it
// afresh. What a window is given to load with (`args`, for its constructor)
// counts only when the reference loads it.
template <class Window> class Single {
public:
    template <class... Args> static Window &get(Args &&...args)
    {
        if (!window_) {
            registerOnce();
            window_ = new Window(std::forward<Args>(args)...);
            window_->onLoad();
        }
        return *window_;
    }

    static bool isLoaded() { return window_ != nullptr; }

    // Modeless and without an owner; a shown window comes to the front,
    // restored from wherever the user or the window manager put it.
    template <class... Args> static void show(Args &&...args)
    {
        Window &window = get(std::forward<Args>(args)...);
        if (window.isVisible()) {
            bringToFront(window);
            return;
        }
        centreOnScreen(window);
        window.show();
        // Its focus is drawn from the start, as after a Tab, so that a
        // keyboard user sees where the focus is (showing resets this).
        window.setAttribute(Qt::WA_KeyboardFocusChange);
        window.raise();
        window.activateWindow();
    }

    // Safe from inside one of the window's own commands: the widgets go
    // once that command has returned.
    static void unload()
    {
        Window *window = std::exchange(window_, nullptr);
        if (!window)
            return;
        window->hide();
        window->deleteLater();
    }

private:
    static void registerOnce()
    {
        [[maybe_unused]] static const bool registered =
            (detail::registerUnloader(&unloadNow), true);
    }
    static void unloadNow() { delete std::exchange(window_, nullptr); }

    static inline Window *window_ = nullptr;
};

} // namespace windowing
