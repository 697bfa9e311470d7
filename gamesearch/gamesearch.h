#pragma once

#include "builtinpaths.h"

#include <QByteArray>
#include <QPointer>
#include <QSocketNotifier>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace gamesearch {

// The search for the game that the window and the command line act on, and
// its answer once it has come: one answer, the whole one, whichever way it
// is asked for. On Linux the search runs in a process of its own, so that a
// file system that never answers (a thread waiting for it cannot be taken
// back) holds neither the window nor the program's end: the program ends
// when the user says so, and that process goes once its file system lets it.
class GameSearch {
public:
    // Starts looking for the game below this user's home, or in $WINEPREFIX
    // when it is set. On Windows the answer is there at once.
    static std::shared_ptr<GameSearch> start();

    // A search already answered with `game`.
    static std::shared_ptr<GameSearch> answered(GameFolder game);

    // A search whose answer comes through deliver() alone.
    GameSearch();
    ~GameSearch();
    GameSearch(const GameSearch &) = delete;
    GameSearch &operator=(const GameSearch &) = delete;

    // The answer, once it has come.
    const std::optional<GameFolder> &answer() const { return answer_; }

    // Calls `answered` once the answer has come: at once when it has, else
    // from the event loop of `context`'s thread, unless `context` is gone.
    void whenAnswered(QObject *context, std::function<void()> answered);

    // Waits for the answer, however long the search takes. Nothing comes
    // from a search answered by deliver() alone until it is delivered.
    const GameFolder &wait();

    // Gives the search its answer; the first one counts.
    void deliver(GameFolder game);

private:
    bool readAnswer(bool block);
    void reap();

    std::optional<GameFolder> answer_;
    std::vector<std::function<void()>> waiting_;
    int pipe_ = -1;         // from the search's own process, until it has answered
    int child_ = 0;         // the process between the program and the search's
    GameFolder unanswered_; // what a search process that ended without an answer found
    QByteArray received_;
    QPointer<QSocketNotifier> notifier_;
};

// The answer as bytes, as the search's own process sends it, and back;
// nothing from bytes that are not a whole answer.
QByteArray answerBytes(const GameFolder &game);
std::optional<GameFolder> answerFrom(const QByteArray &bytes);

} // namespace gamesearch
