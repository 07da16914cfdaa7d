#pragma once
// A Q6 power unit on a pseudo-terminal. The code under test opens portPath() as its serial
// port; the simulator answers each "S" + CR with the status line the test has set, records
// every byte it gets, and can go silent, answer late, send lines in pieces, send garbage or
// hang up.
// Everything runs in the test's thread, driven by the Qt event loop.

#include "support/pty_pair.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

#include <deque>
#include <memory>
#include <random>

class QSocketNotifier;

class Q6Simulator : public QObject {
    Q_OBJECT
public:
    enum class LineEnding { Lf, CrLf };

    // One answer to one status request: the pieces are written in order, gapMs apart.
    // No pieces means no answer to that request.
    struct Reply {
        QList<QByteArray> pieces;
        int gapMs = 0;
    };

    explicit Q6Simulator(QObject *parent = nullptr);
    ~Q6Simulator() override;

    [[nodiscard]] bool isOpen() const;
    // The slave's device path ("/dev/pts/7"), to open as the unit's port.
    [[nodiscard]] QString portPath() const;
    // The name a port list shows for it ("pts/7").
    [[nodiscard]] QString listedName() const;

    // The status line answered to "S", without its line end (default "600:40:60:0:0:0:0:0:2.107").
    void setStatusLine(const QByteArray &line);
    [[nodiscard]] QByteArray statusLine() const { return statusLine_; }
    void setLineEnding(LineEnding ending);
    // The exact bytes of the default answer: status line + line end.
    [[nodiscard]] QByteArray statusReply() const;

    // While silent, status requests are recorded but not answered (queued replies wait).
    void setSilent(bool silent);
    [[nodiscard]] bool isSilent() const { return silent_; }

    // Replies for the next status requests, used in order before the default answer.
    void queueReply(const QByteArray &bytes);
    void queueReply(const Reply &reply);
    void queueNoReply();
    [[nodiscard]] qsizetype queuedReplies() const { return static_cast<qsizetype>(queue_.size()); }

    // Late answers. Each answer is still made when its request is read (the status line as set
    // at that moment, or the next queued reply), only written later: while held, the oldest
    // waits for releaseAnswer(); once trickling, every held and later answer goes out as one
    // stream in pieces of 1 to maxPiece bytes, gapMs apart, like a slow line.
    void holdAnswers();
    bool releaseAnswer();
    void trickleAnswers(int maxPiece, int gapMs);

    // Writes bytes to the port now, as they are (corrupt lines, garbage, unasked lines).
    bool send(const QByteArray &bytes);
    // Writes the pieces gapMs apart through the event loop; the first one goes now.
    void sendInPieces(const QList<QByteArray> &pieces, int gapMs);

    // The far end goes away, like a pulled cable: the port sees its device vanish.
    void hangUp();

    // A line slower than anything that writes to it: while stopped, nothing is read and what
    // the port writes waits in the pseudo-terminal, then in the port's own queue.
    void stopReading();
    void resumeReading();
    // Bytes the pseudo-terminal holds for the unit, written but not read yet: what a port can no
    // longer take back.
    [[nodiscard]] qint64 bytesHeld() const;

    // Everything received, as it came.
    [[nodiscard]] QByteArray received() const { return received_; }
    // Every complete command (the bytes before each CR, line feeds kept), in order.
    [[nodiscard]] QList<QByteArray> commands() const { return commands_; }
    // The same without empty lines, such as the CR the bridge sends ahead of an OFF.
    [[nodiscard]] QList<QByteArray> commandsBesideBlankLines() const;
    [[nodiscard]] qsizetype statusRequests() const { return statusRequests_; }
    void clearRecords();

    // Spin the event loop until so many commands have arrived (or one equal to the given
    // text), or the timeout passes.
    [[nodiscard]] bool waitForCommands(qsizetype count, int timeoutMs = 5000);
    [[nodiscard]] bool waitForCommand(const QByteArray &command, int timeoutMs = 5000);

signals:
    // Emitted for each complete command before it is answered, so a connected slot may
    // still change the status line the answer carries.
    void commandReceived(const QByteArray &command);

private:
    void readMaster();
    void handleCommand(const QByteArray &command);
    void answer();
    void writePieces(QList<QByteArray> pieces, int gapMs);
    void writeTricklePiece();

    enum class AnswerTiming { AtOnce, Held, Trickling };

    PtyPair pty_;
    std::unique_ptr<QSocketNotifier> notifier_;
    QByteArray statusLine_ = "600:40:60:0:0:0:0:0:2.107";
    LineEnding ending_ = LineEnding::Lf;
    bool silent_ = false;
    std::deque<Reply> queue_;
    AnswerTiming timing_ = AnswerTiming::AtOnce;
    std::deque<Reply> held_;
    QByteArray trickle_;
    int maxPiece_ = 1;
    QTimer trickleTimer_;
    std::minstd_rand pieceSizes_ {20261211}; // the same pieces in every run
    QByteArray received_;
    QByteArray pending_; // bytes after the last CR
    QList<QByteArray> commands_;
    qsizetype statusRequests_ = 0;
};
