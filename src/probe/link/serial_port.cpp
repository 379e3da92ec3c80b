#include "probe/link/serial_port.h"

#include "probe/link/fd_transport.h"
#include "probe/probe_status.h"

#include <fcntl.h>
#include <sys/file.h>
#include <termios.h>
#include <unistd.h>

namespace {

bool SpeedOfBaud(long baud, speed_t& speed)
{
    static const struct {
        long baud;
        speed_t speed;
    } table[] = {
        {1200, B1200},     {2400, B2400},     {4800, B4800},     {9600, B9600},
        {19200, B19200},   {38400, B38400},   {57600, B57600},   {115200, B115200},
        {230400, B230400}, {460800, B460800}, {921600, B921600},
    };
    for (const auto& row : table) {
        if (row.baud == baud) {
            speed = row.speed;
            return true;
        }
    }
    return false;
}

// Opens and configures; the descriptor or a negative status.
int OpenConfigured(const std::string& device, long baud)
{
    speed_t speed = 0;
    if (!SpeedOfBaud(baud, speed))
        return kStatusBaudNotSupported;
    const int fd = open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return kStatusPortOpenFailed;
    termios tio{};
    if (!isatty(fd) || flock(fd, LOCK_EX | LOCK_NB) != 0 || tcgetattr(fd, &tio) != 0) {
        close(fd);
        return kStatusPortOpenFailed;
    }
    cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cflag &= ~(CSTOPB | PARENB | CRTSCTS);
    tio.c_iflag &= ~(IXON | IXOFF | IXANY);
    // With VMIN 1 a non-blocking read without data fails with EAGAIN;
    // with 0 it would return 0, which reads as a hang-up.
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    termios check{};
    if (cfsetispeed(&tio, speed) != 0 || cfsetospeed(&tio, speed) != 0 ||
        tcsetattr(fd, TCSANOW, &tio) != 0 || tcgetattr(fd, &check) != 0 ||
        cfgetospeed(&check) != speed) {
        close(fd);
        return kStatusBaudNotSupported;
    }
    tcflush(fd, TCIOFLUSH);
    return fd;
}

} // namespace

int CSerialPort::Open(const std::string& device, long baud, CClock& clock, std::unique_ptr<CLinkTransport>& transport)
{
    const int fd = OpenConfigured(device, baud);
    if (fd < 0)
        return fd;
    // Ten bits on the line per byte: start, eight data bits, stop.
    transport = std::make_unique<CFdTransport>(fd, false, true, baud / 10, clock);
    return kStatusOk;
}

int CSerialPort::Check(const std::string& device, long baud)
{
    const int fd = OpenConfigured(device, baud);
    if (fd < 0)
        return fd;
    close(fd);
    return kStatusOk;
}
