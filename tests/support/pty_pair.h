#pragma once
// A pseudo-terminal pair: the slave's path serves as a serial port for the code under test,
// the master is the far end a test (or the Q6 simulator) reads and writes.

#include <QByteArray>
#include <QString>

class PtyPair {
public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair &) = delete;
    PtyPair &operator=(const PtyPair &) = delete;

    [[nodiscard]] bool isOpen() const { return master_ >= 0; }
    // The slave's device path, e.g. "/dev/pts/7".
    [[nodiscard]] QString slavePath() const { return slavePath_; }
    // The name a port list shows for it: the path without "/dev/" ("pts/7").
    [[nodiscard]] QString listedName() const;
    [[nodiscard]] int masterFd() const { return master_; }

    // Writes to the far end's output, that is into the slave's input.
    bool writeToSlave(const QByteArray &bytes);
    // What the slave has written so far and is waiting at the master (non-blocking).
    [[nodiscard]] QByteArray readFromSlave();
    // What the slave has written that waits at the master, unread (FIONREAD).
    [[nodiscard]] qint64 bytesWaiting() const;
    // The far end goes away, like a pulled cable.
    void hangUp();

private:
    int master_ = -1;
    int slaveKeeper_ = -1; // keeps the slave side alive while no port has it open
    QString slavePath_;
};
