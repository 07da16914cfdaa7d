#include "support/q6_simulator.h"

#include <QSocketNotifier>
#include <QTest>
#include <QTimer>

#include <algorithm>

Q6Simulator::Q6Simulator(QObject *parent) : QObject(parent)
{
    if (!pty_.isOpen())
        return;
    notifier_ = std::make_unique<QSocketNotifier>(pty_.masterFd(), QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &Q6Simulator::readMaster);
    trickleTimer_.setTimerType(Qt::PreciseTimer);
    connect(&trickleTimer_, &QTimer::timeout, this, &Q6Simulator::writeTricklePiece);
}

Q6Simulator::~Q6Simulator()
{
    hangUp();
}

bool Q6Simulator::isOpen() const
{
    return pty_.isOpen();
}

QString Q6Simulator::portPath() const
{
    return pty_.slavePath();
}

QString Q6Simulator::listedName() const
{
    return pty_.listedName();
}

void Q6Simulator::setStatusLine(const QByteArray &line)
{
    statusLine_ = line;
}

void Q6Simulator::setLineEnding(LineEnding ending)
{
    ending_ = ending;
}

QByteArray Q6Simulator::statusReply() const
{
    return statusLine_ + (ending_ == LineEnding::CrLf ? QByteArray("\r\n") : QByteArray("\n"));
}

void Q6Simulator::setSilent(bool silent)
{
    silent_ = silent;
}

void Q6Simulator::queueReply(const QByteArray &bytes)
{
    queue_.push_back(Reply { { bytes }, 0 });
}

void Q6Simulator::queueReply(const Reply &reply)
{
    queue_.push_back(reply);
}

void Q6Simulator::queueNoReply()
{
    queue_.push_back(Reply {});
}

void Q6Simulator::holdAnswers()
{
    timing_ = AnswerTiming::Held;
}

bool Q6Simulator::releaseAnswer()
{
    if (held_.empty())
        return false;
    const Reply reply = held_.front();
    held_.pop_front();
    writePieces(reply.pieces, reply.gapMs);
    return true;
}

void Q6Simulator::trickleAnswers(int maxPiece, int gapMs)
{
    timing_ = AnswerTiming::Trickling;
    maxPiece_ = std::max(1, maxPiece);
    trickleTimer_.setInterval(gapMs);
    for (const Reply &reply : held_)
        trickle_ += reply.pieces.join();
    held_.clear();
    if (!trickle_.isEmpty())
        trickleTimer_.start();
}

bool Q6Simulator::send(const QByteArray &bytes)
{
    return pty_.writeToSlave(bytes);
}

void Q6Simulator::sendInPieces(const QList<QByteArray> &pieces, int gapMs)
{
    writePieces(pieces, gapMs);
}

void Q6Simulator::hangUp()
{
    trickleTimer_.stop();
    // The notifier must go before its descriptor is closed.
    notifier_.reset();
    pty_.hangUp();
}

QList<QByteArray> Q6Simulator::commandsBesideBlankLines() const
{
    QList<QByteArray> found = commands_;
    found.removeAll(QByteArray());
    return found;
}

void Q6Simulator::stopReading()
{
    if (notifier_)
        notifier_->setEnabled(false);
}

void Q6Simulator::resumeReading()
{
    if (!notifier_)
        return;
    notifier_->setEnabled(true);
    readMaster();
}

qint64 Q6Simulator::bytesHeld() const { return pty_.bytesWaiting(); }

void Q6Simulator::clearRecords()
{
    received_.clear();
    pending_.clear();
    commands_.clear();
    statusRequests_ = 0;
}

bool Q6Simulator::waitForCommands(qsizetype count, int timeoutMs)
{
    return QTest::qWaitFor([&] { return commands_.size() >= count; }, timeoutMs);
}

bool Q6Simulator::waitForCommand(const QByteArray &command, int timeoutMs)
{
    return QTest::qWaitFor([&] { return commands_.contains(command); }, timeoutMs);
}

void Q6Simulator::readMaster()
{
    const QByteArray bytes = pty_.readFromSlave();
    received_ += bytes;
    pending_ += bytes;
    for (qsizetype cr = pending_.indexOf('\r'); cr >= 0; cr = pending_.indexOf('\r')) {
        const QByteArray command = pending_.left(cr);
        pending_.remove(0, cr + 1);
        handleCommand(command);
    }
}

void Q6Simulator::handleCommand(const QByteArray &command)
{
    commands_ << command;
    emit commandReceived(command);
    // A line end the relay passed along in front of the CR does not hide the request.
    if (command.trimmed() != "S")
        return;
    ++statusRequests_;
    if (!silent_)
        answer();
}

void Q6Simulator::answer()
{
    Reply reply {{statusReply()}, 0};
    if (!queue_.empty()) {
        reply = queue_.front();
        queue_.pop_front();
    }
    switch (timing_) {
    case AnswerTiming::AtOnce:
        writePieces(reply.pieces, reply.gapMs);
        return;
    case AnswerTiming::Held:
        held_.push_back(reply);
        return;
    case AnswerTiming::Trickling:
        trickle_ += reply.pieces.join();
        if (!trickleTimer_.isActive() && !trickle_.isEmpty())
            trickleTimer_.start();
        return;
    }
}

void Q6Simulator::writeTricklePiece()
{
    const qsizetype size = 1 + qsizetype(pieceSizes_() % unsigned(maxPiece_));
    send(trickle_.first(std::min(size, trickle_.size())));
    trickle_.remove(0, size);
    if (trickle_.isEmpty())
        trickleTimer_.stop();
}

void Q6Simulator::writePieces(QList<QByteArray> pieces, int gapMs)
{
    if (pieces.isEmpty())
        return;
    send(pieces.takeFirst());
    if (pieces.isEmpty())
        return;
    QTimer::singleShot(gapMs, this, [this, rest = std::move(pieces), gapMs] { writePieces(rest, gapMs); });
}
