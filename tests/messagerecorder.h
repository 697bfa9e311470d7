#pragma once

#include "services.h"

#include <QString>
#include <QStringList>
#include <functional>

// Records every message box instead of showing it; `onMessage` runs while the
// "box" is up, as a user would see the windows then.
class MessageRecorder {
public:
    explicit MessageRecorder(std::function<void(const QString &)> onMessage = {})
        : onMessage_(std::move(onMessage))
    {
        previous_ = windowing::setMessageSink([this](const QString &text) {
            messages << text;
            if (onMessage_)
                onMessage_(text);
        });
    }
    ~MessageRecorder() { windowing::setMessageSink(previous_); }
    MessageRecorder(const MessageRecorder &) = delete;
    MessageRecorder &operator=(const MessageRecorder &) = delete;

    QStringList messages;

private:
    std::function<void(const QString &)> onMessage_;
    windowing::MessageSink previous_;
};
