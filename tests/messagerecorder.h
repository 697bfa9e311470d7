#pragma once

#include "services.h"

#include <QStringList>

// Records every message box instead of showing it; `onMessage` runs while the
// "box" is up, as a user would see the windows then.
struct MessageRecorder {
    explicit MessageRecorder(std::function<void(const QString &)> onMessage = {})
        : previous(windowing::setMessageSink([this, onMessage](const QString &text) {
              messages << text;
              if (onMessage)
                  onMessage(text);
          }))
    {}
    ~MessageRecorder() { windowing::setMessageSink(previous); }

    QStringList messages;
    windowing::MessageSink previous;
};
