#include "gamesearch.h"

#include <QDataStream>
#include <QDir>
#include <QIODevice>
#include <QTimer>

namespace gamesearch {

std::shared_ptr<GameSearch> GameSearch::answered(GameFolder game)
{
    auto search = std::make_shared<GameSearch>();
    search->deliver(std::move(game));
    return search;
}

GameSearch::GameSearch() = default;

void GameSearch::whenAnswered(QObject *context, std::function<void()> answered)
{
    if (answer_) {
        answered();
        return;
    }
    waiting_.push_back([context = QPointer(context), answered = std::move(answered)] {
        if (context)
            QTimer::singleShot(0, context, answered);
    });
    if (pipe_ >= 0 && !notifier_) {
        notifier_ = new QSocketNotifier(qintptr(pipe_), QSocketNotifier::Read, context);
        QObject::connect(notifier_, &QSocketNotifier::activated, context,
                         [this] { readAnswer(false); });
    }
}

void GameSearch::deliver(GameFolder game)
{
    if (answer_)
        return;
    answer_ = std::move(game);
    delete notifier_;
    for (const auto &answered : std::exchange(waiting_, {}))
        answered();
}

void enterLevelsFolder(const GameFolder &game)
{
    if (game.found)
        QDir::setCurrent(game.levels);
}

// A version and the fields in order; a field added later goes at the end.
QByteArray answerBytes(const GameFolder &game)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_6_4);
    out << quint32(1) << game.levels << game.log << game.found << game.trail << game.prefix;
    return bytes;
}

std::optional<GameFolder> answerFrom(const QByteArray &bytes)
{
    QDataStream in(bytes);
    in.setVersion(QDataStream::Qt_6_4);
    quint32 version = 0;
    GameFolder game;
    in >> version >> game.levels >> game.log >> game.found >> game.trail >> game.prefix;
    if (version != 1 || in.status() != QDataStream::Ok || !in.atEnd())
        return std::nullopt;
    return game;
}

} // namespace gamesearch
