#pragma once

#include "services.h"

#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

// Records every message box as the user sees it, the real box under the
// program's title with plain text and one OK, and closes it with Enter;
// `onMessage` runs while the box is up, as a user would see the windows then.
struct MessageRecorder {
    explicit MessageRecorder(std::function<void(const QString &)> onMessage = {})
        : previous(windowing::setMessageSink([this, onMessage](const QString &text) {
              QTimer::singleShot(0, [this, onMessage] {
                  auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
                  const QString shown = box->text();
                  const bool plain = box->windowTitle() == "Vantorel Renamer" &&
                                     box->textFormat() == Qt::PlainText &&
                                     box->icon() == QMessageBox::NoIcon &&
                                     box->buttons().size() == 1;
                  if (onMessage)
                      onMessage(shown);
                  QTest::keyClick(box, Qt::Key_Return);
                  messages << (plain ? shown : "not a plain box: " + shown);
              });
              previous(text);
          }))
    {}
    ~MessageRecorder() { windowing::setMessageSink(previous); }

    QStringList messages;
    windowing::MessageSink previous;
};
