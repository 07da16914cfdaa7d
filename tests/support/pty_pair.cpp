#include "support/pty_pair.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

PtyPair::PtyPair()
{
    int master = -1;
    int slave = -1;
    char name[256] = {};
    if (openpty(&master, &slave, name, nullptr, nullptr) != 0)
        return;
    // Raw mode on the slave, so bytes pass unchanged (no CR/LF translation, no echo).
    termios tio {};
    tcgetattr(slave, &tio);
    cfmakeraw(&tio);
    tcsetattr(slave, TCSANOW, &tio);
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    master_ = master;
    slaveKeeper_ = slave;
    slavePath_ = QString::fromLocal8Bit(name);
}

PtyPair::~PtyPair()
{
    hangUp();
}

QString PtyPair::listedName() const
{
    return slavePath_.startsWith(QLatin1String("/dev/")) ? slavePath_.mid(5) : slavePath_;
}

bool PtyPair::writeToSlave(const QByteArray &bytes)
{
    if (master_ < 0)
        return false;
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(master_, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            // The slave's input is full: wait a little for the reader, but never hang the test
            // (the reader may be this same thread).
            pollfd writable{master_, POLLOUT, 0};
            if (errno == EAGAIN && ::poll(&writable, 1, 1000) > 0)
                continue;
            return false;
        }
        done += n;
    }
    return true;
}

QByteArray PtyPair::readFromSlave()
{
    QByteArray received;
    if (master_ < 0)
        return received;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(master_, buffer, sizeof buffer);
        if (n <= 0)
            break;
        received.append(buffer, n);
    }
    return received;
}

qint64 PtyPair::bytesWaiting() const
{
    int waiting = 0;
    if (master_ < 0 || ::ioctl(master_, FIONREAD, &waiting) != 0)
        return 0;
    return waiting;
}

void PtyPair::hangUp()
{
    if (slaveKeeper_ >= 0)
        ::close(slaveKeeper_);
    if (master_ >= 0)
        ::close(master_);
    slaveKeeper_ = -1;
    master_ = -1;
}
