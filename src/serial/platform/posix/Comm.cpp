#if ! defined(_WIN32)

#include "serial/platform/posix/Handles.h"
#include "serial/platform/posix/LineSettings.h"
#include "serial/platform/posix/LockFiles.h"
#include "serial/platform/posix/PortTable.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace serialplatform
{
namespace
{
std::mutex& handleTableLock()
{
    static std::mutex lock;
    return lock;
}

std::unordered_map<HANDLE, std::shared_ptr<HandleObject>>& handleTable()
{
    static std::unordered_map<HANDLE, std::shared_ptr<HandleObject>> table;
    return table;
}

thread_local DWORD lastError = 0;
} // namespace

HANDLE addHandle (std::shared_ptr<HandleObject> object)
{
    HANDLE handle = object.get();
    std::lock_guard<std::mutex> guard (handleTableLock());
    handleTable()[handle] = std::move (object);
    return handle;
}

std::shared_ptr<HandleObject> findHandle (HANDLE handle)
{
    std::lock_guard<std::mutex> guard (handleTableLock());
    auto found = handleTable().find (handle);
    return found == handleTable().end() ? nullptr : found->second;
}

std::shared_ptr<HandleObject> removeHandle (HANDLE handle)
{
    std::lock_guard<std::mutex> guard (handleTableLock());
    auto found = handleTable().find (handle);

    if (found == handleTable().end())
        return nullptr;

    auto object = std::move (found->second);
    handleTable().erase (found);
    return object;
}

void setLastError (DWORD error)
{
    lastError = error;
}

namespace
{
constexpr ULONG_PTR statusPending = 0x103;

// One lock for all state of events, devices and operations in progress; it
// is never held across a wait.
std::mutex& ioLock()
{
    static std::mutex lock;
    return lock;
}

struct Device;
struct Event;

struct Operation
{
    enum class Type
    {
        commWait,
        write
    };

    Type type = Type::write;
    std::shared_ptr<Device> device;
    std::shared_ptr<Event> event;
    OVERLAPPED* overlapped = nullptr;
    DWORD* eventMaskOut = nullptr;
    const BYTE* data = nullptr;
    DWORD size = 0;
    DWORD done = 0;
    std::thread::id issuer;
    bool issuing = true;
    bool finished = false;
};

struct Event : HandleObject
{
    Event (int descriptor, bool manual)
        : fd (descriptor)
        , manualReset (manual)
    {
    }
    ~Event() override { ::close (fd); }

    const int fd; // readable exactly while signalled
    const bool manualReset;
    bool signalled = false;
    std::vector<std::shared_ptr<Operation>> attached; // operations whose completion sets this event
};

struct Device : HandleObject
{
    Device (int descriptor, std::string ownLock)
        : fd (descriptor)
        , lockPath (std::move (ownLock))
    {
    }

    // The lock goes last, so that no other program sees the port free while
    // it is still open here.
    ~Device() override
    {
        ::ioctl (fd, TIOCNXCL);
        ::flock (fd, LOCK_UN);
        ::close (fd);
        removeOwnLock (lockPath);
    }

    void handleClosed() override;

    const int fd;
    const std::string lockPath; // empty when no lock folder took one
    bool closed = false;
    DWORD commMask = 0;
    COMMTIMEOUTS timeouts{};
    std::vector<std::shared_ptr<Operation>> pending; // in the order issued
};

void signalLocked (Event& event)
{
    if (! event.signalled)
    {
        event.signalled = true;
        std::uint64_t one = 1;
        [[maybe_unused]] auto written = ::write (event.fd, &one, sizeof (one));
    }
}

void unsignalLocked (Event& event)
{
    if (event.signalled)
    {
        event.signalled = false;
        std::uint64_t value = 0;
        [[maybe_unused]] auto got = ::read (event.fd, &value, sizeof (value));
    }
}

template <typename Item>
void eraseItem (std::vector<Item>& items, const Item& item)
{
    items.erase (std::remove (items.begin(), items.end(), item), items.end());
}

// Ends an operation: its outcome goes into the OVERLAPPED and its event is
// set. An operation that fails while it is still being issued reports the
// failure from the call itself and leaves the event alone, as on Windows, so
// that a caller who waits on the event after a failed call does not wake at
// once, again and again.
void finishLocked (const std::shared_ptr<Operation>& operation, DWORD error, DWORD eventMask = 0)
{
    if (operation->finished)
        return;

    operation->finished = true;
    operation->overlapped->Internal = error;
    operation->overlapped->InternalHigh = operation->type == Operation::Type::write ? operation->done : 0;

    if (operation->type == Operation::Type::commWait && operation->eventMaskOut != nullptr)
        *operation->eventMaskOut = eventMask;

    eraseItem (operation->device->pending, operation);

    if (auto event = operation->event)
    {
        eraseItem (event->attached, operation);

        if (error == 0 || ! operation->issuing)
            signalLocked (*event);
    }
}

void Device::handleClosed()
{
    std::lock_guard<std::mutex> guard (ioLock());
    closed = true;

    for (auto& operation : std::vector<std::shared_ptr<Operation>> (pending))
        finishLocked (operation, ERROR_OPERATION_ABORTED);
}

int bytesWaiting (int fd)
{
    int count = 0;
    return ::ioctl (fd, FIONREAD, &count) == 0 ? count : 0;
}

short pollEventsFor (const Operation& operation)
{
    if (operation.type == Operation::Type::write)
        return POLLOUT;

    return (operation.device->commMask & EV_RXCHAR) != 0 ? POLLIN : 0;
}

short pollNow (int fd, short events)
{
    pollfd entry{ fd, events, 0 };

    while (::poll (&entry, 1, 0) < 0)
        if (errno != EINTR)
            return POLLERR;

    return entry.revents;
}

constexpr short hangUpEvents = POLLHUP | POLLERR | POLLNVAL;

// Each returns whether the operation moved (finished, or wrote bytes).
bool checkCommWaitLocked (const std::shared_ptr<Operation>& operation, short revents)
{
    auto& device = *operation->device;
    const bool wantsBytes = (device.commMask & EV_RXCHAR) != 0;

    if (device.closed)
        finishLocked (operation, ERROR_OPERATION_ABORTED);
    else if ((revents & hangUpEvents) != 0)
        // A line that has hung up stays "ready" for ever: only bytes still
        // waiting to be read end the wait with success.
        finishLocked (operation, wantsBytes && bytesWaiting (device.fd) > 0 ? 0 : ERROR_GEN_FAILURE,
                      wantsBytes ? EV_RXCHAR : 0);
    else if ((revents & POLLIN) != 0 && wantsBytes)
        finishLocked (operation, 0, EV_RXCHAR);

    return operation->finished;
}

bool tryWriteLocked (const std::shared_ptr<Operation>& operation, short revents)
{
    auto& device = *operation->device;

    if (device.closed)
    {
        finishLocked (operation, ERROR_OPERATION_ABORTED);
        return true;
    }

    // Only the oldest write of a device moves, so bytes keep their order.
    auto firstWrite = std::find_if (device.pending.begin(), device.pending.end(),
                                    [] (const auto& o) { return o->type == Operation::Type::write; });

    if (firstWrite == device.pending.end() || *firstWrite != operation)
        return false;

    bool moved = false;

    while (operation->done < operation->size)
    {
        auto written = ::write (device.fd, operation->data + operation->done, operation->size - operation->done);

        if (written > 0)
        {
            operation->done += (DWORD) written;
            moved = true;
            continue;
        }

        if (written < 0 && errno == EINTR)
            continue;

        if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && (revents & hangUpEvents) == 0)
            return moved;

        finishLocked (operation, ERROR_GEN_FAILURE);
        return true;
    }

    finishLocked (operation, 0);
    return true;
}

bool driveLocked (const std::shared_ptr<Operation>& operation, short revents)
{
    if (operation->finished)
        return true;

    if (operation->type == Operation::Type::commWait)
        return checkCommWaitLocked (operation, revents);

    return tryWriteLocked (operation, revents);
}

// Registers a new operation; the caller has the I/O lock.
std::shared_ptr<Operation> beginLocked (Operation::Type type, const std::shared_ptr<Device>& device,
                                        OVERLAPPED* overlapped)
{
    auto operation = std::make_shared<Operation>();
    operation->type = type;
    operation->device = device;
    operation->overlapped = overlapped;
    operation->issuer = std::this_thread::get_id();
    operation->event = findHandleOfType<Event> (overlapped->hEvent);

    overlapped->Internal = statusPending;
    overlapped->InternalHigh = 0;

    if (operation->event != nullptr)
    {
        unsignalLocked (*operation->event);
        operation->event->attached.push_back (operation);
    }

    device->pending.push_back (operation);
    return operation;
}

// The result of a call that issued an operation.
BOOL issuedLocked (const std::shared_ptr<Operation>& operation)
{
    operation->issuing = false;

    if (! operation->finished)
    {
        setLastError (ERROR_IO_PENDING);
        return 0;
    }

    if (operation->overlapped->Internal == 0)
        return 1;

    setLastError ((DWORD) operation->overlapped->Internal);
    return 0;
}

std::shared_ptr<Device> findDevice (HANDLE handle)
{
    return findHandleOrFail<Device> (handle);
}

std::shared_ptr<Event> findEvent (HANDLE handle)
{
    return findHandleOrFail<Event> (handle);
}

DWORD errorFromErrno (int error)
{
    switch (error)
    {
        case ENOENT:
        case ENOTDIR:
        case ENXIO:
        case ENODEV: return ERROR_FILE_NOT_FOUND;
        case EACCES:
        case EPERM: return ERROR_ACCESS_DENIED;
        case EBUSY: return ERROR_SHARING_VIOLATION;
        case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
        default: return ERROR_GEN_FAILURE;
    }
}

// The frames on the line carry CR, LF and the XON/XOFF codes as data: no
// translation, echo, line editing or flow control of the terminal's own.
void makeRaw (termios& settings)
{
    ::cfmakeraw (&settings);
    settings.c_iflag &= ~(tcflag_t) (IXON | IXOFF | IXANY);
    settings.c_cflag |= CLOCAL | CREAD;
    settings.c_cc[VMIN] = 0;
    settings.c_cc[VTIME] = 0;
}

bool speedFor (DWORD bitsPerSecond, speed_t& speed)
{
    static const std::pair<DWORD, speed_t> speeds[] = {
        { 50, B50 },           { 75, B75 },           { 110, B110 },         { 134, B134 },
        { 150, B150 },         { 200, B200 },         { 300, B300 },         { 600, B600 },
        { 1200, B1200 },       { 1800, B1800 },       { 2400, B2400 },       { 4800, B4800 },
        { 9600, B9600 },       { 19200, B19200 },     { 38400, B38400 },     { 57600, B57600 },
        { 115200, B115200 },   { 230400, B230400 },
#ifdef B460800
        { 460800, B460800 },
#endif
#ifdef B500000
        { 500000, B500000 },   { 576000, B576000 },   { 921600, B921600 },   { 1000000, B1000000 },
        { 1152000, B1152000 }, { 1500000, B1500000 }, { 2000000, B2000000 }, { 2500000, B2500000 },
        { 3000000, B3000000 }, { 3500000, B3500000 }, { 4000000, B4000000 },
#endif
    };

    for (auto& entry : speeds)
    {
        if (entry.first == bitsPerSecond)
        {
            speed = entry.second;
            return true;
        }
    }

    return false;
}

void setModemLine (int fd, int line, bool raised)
{
    // Pseudo-terminals and some adapters have no modem lines; the line
    // settings still count as applied.
    ::ioctl (fd, raised ? TIOCMBIS : TIOCMBIC, &line);
}

HANDLE createEvent (BOOL manualReset, BOOL initialState, bool named)
{
    if (named)
    {
        setLastError (ERROR_NOT_SUPPORTED);
        return nullptr;
    }

    int fd = ::eventfd (0, EFD_CLOEXEC | EFD_NONBLOCK);

    if (fd < 0)
    {
        setLastError (errorFromErrno (errno));
        return nullptr;
    }

    auto event = std::make_shared<Event> (fd, manualReset != 0);

    if (initialState != 0)
        signalLocked (*event);

    return addHandle (event);
}
} // namespace

bool lineSettingsFor (const DCB& dcb, termios& settings)
{
    speed_t speed;

    if (! speedFor (dcb.BaudRate, speed) || dcb.ByteSize < 5 || dcb.ByteSize > 8 || dcb.Parity > SPACEPARITY
        || dcb.StopBits > TWOSTOPBITS || dcb.XonChar == dcb.XoffChar)
        return false;

    // One and a half stop bits exist only with five data bits, and two only
    // with more.
    if (dcb.StopBits == ONE5STOPBITS && dcb.ByteSize != 5)
        return false;

    if (dcb.StopBits == TWOSTOPBITS && dcb.ByteSize == 5)
        return false;

    makeRaw (settings);
    settings.c_cflag &= ~(tcflag_t) (CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    settings.c_iflag &= ~(tcflag_t) (INPCK | IGNPAR | PARMRK);

    static const tcflag_t sizes[] = { CS5, CS6, CS7, CS8 };
    settings.c_cflag |= sizes[dcb.ByteSize - 5];

    switch (dcb.Parity)
    {
        case ODDPARITY: settings.c_cflag |= PARENB | PARODD; break;
        case EVENPARITY: settings.c_cflag |= PARENB; break;
        case MARKPARITY: settings.c_cflag |= PARENB | CMSPAR | PARODD; break;
        case SPACEPARITY: settings.c_cflag |= PARENB | CMSPAR; break;
        default: break;
    }

    if (dcb.fParity != 0 && dcb.Parity != NOPARITY)
        settings.c_iflag |= INPCK;

    if (dcb.StopBits != ONESTOPBIT)
        settings.c_cflag |= CSTOPB;

    if (dcb.fOutxCtsFlow != 0 || dcb.fRtsControl == RTS_CONTROL_HANDSHAKE)
        settings.c_cflag |= CRTSCTS;

    if (dcb.fOutX != 0)
        settings.c_iflag |= IXON;

    if (dcb.fInX != 0)
        settings.c_iflag |= IXOFF;

    settings.c_cc[VSTART] = (cc_t) dcb.XonChar;
    settings.c_cc[VSTOP] = (cc_t) dcb.XoffChar;

    ::cfsetispeed (&settings, speed);
    ::cfsetospeed (&settings, speed);
    return true;
}
} // namespace serialplatform

using namespace serialplatform;

DWORD GetLastError()
{
    return lastError;
}

HANDLE CreateFileA (LPCSTR fileName, DWORD desiredAccess, DWORD shareMode, LPSECURITY_ATTRIBUTES,
                    DWORD creationDisposition, DWORD, HANDLE)
{
    if (fileName == nullptr || creationDisposition != OPEN_EXISTING)
    {
        setLastError (ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }

    auto path = resolveDeviceName (fileName);

    if (path.empty())
    {
        setLastError (ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }

    // Asked before opening: opening a tty raises its modem lines, which
    // resets many boards under the program that uses them.
    const auto roots = currentScanRoots();

    if (isHeldByLockFile (roots, path))
    {
        setLastError (ERROR_SHARING_VIOLATION);
        return INVALID_HANDLE_VALUE;
    }

    const bool reads = (desiredAccess & GENERIC_READ) != 0, writes = (desiredAccess & GENERIC_WRITE) != 0;
    int access = reads && writes ? O_RDWR : (writes ? O_WRONLY : O_RDONLY);

    // Non-blocking, so that no call of ours ever waits inside the device, and
    // never the controlling terminal of this process.
    int fd = ::open (path.c_str(), access | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);

    if (fd < 0)
    {
        setLastError (errorFromErrno (errno));
        return INVALID_HANDLE_VALUE;
    }

    auto fail = [fd] (DWORD error)
    {
        ::close (fd);
        setLastError (error);
        return INVALID_HANDLE_VALUE;
    };

    termios settings{};

    if (! ::isatty (fd) || ::tcgetattr (fd, &settings) != 0)
        return fail (ERROR_NOT_SUPPORTED);

    // The kernel lets root through another program's exclusive mode, so ask
    // before anything of ours touches the line. A kernel or device that
    // cannot tell leaves the question to flock and the lock files.
    int heldExclusively = 0;

    if (::ioctl (fd, TIOCGEXCL, &heldExclusively) == 0 && heldExclusively != 0)
        return fail (ERROR_SHARING_VIOLATION);

    std::string lockPath;

    if (shareMode == 0)
    {
        // TIOCEXCL keeps others out of the device, but not root; flock keeps
        // out every program that asks for it, this one included; terminal
        // programs, root's too, heed a lock file. Our own is made once the
        // port is ours in this process, so that a second open here can never
        // take away the first one's lock.
        if (::flock (fd, LOCK_EX | LOCK_NB) != 0)
            return fail (ERROR_SHARING_VIOLATION);

        if (! createOwnLock (roots.lockFolders, path, lockPath))
            return fail (ERROR_SHARING_VIOLATION);

        ::ioctl (fd, TIOCEXCL);
    }

    makeRaw (settings);

    if (::tcsetattr (fd, TCSANOW, &settings) != 0)
    {
        ::ioctl (fd, TIOCNXCL);
        auto failed = fail (ERROR_GEN_FAILURE);
        removeOwnLock (lockPath);
        return failed;
    }

    return addHandle (std::make_shared<Device> (fd, lockPath));
}

BOOL CloseHandle (HANDLE object)
{
    auto removed = removeHandle (object);

    if (removed == nullptr)
    {
        setLastError (ERROR_INVALID_HANDLE);
        return 0;
    }

    removed->handleClosed();
    return 1;
}

BOOL GetCommTimeouts (HANDLE file, COMMTIMEOUTS* timeouts)
{
    auto device = findDevice (file);

    if (device == nullptr || timeouts == nullptr)
        return 0;

    std::lock_guard<std::mutex> guard (ioLock());
    *timeouts = device->timeouts;
    return 1;
}

BOOL SetCommTimeouts (HANDLE file, COMMTIMEOUTS* timeouts)
{
    auto device = findDevice (file);

    if (device == nullptr || timeouts == nullptr)
        return 0;

    // Reads always return at once with what has arrived, which is what the
    // record the port object sets asks for.
    std::lock_guard<std::mutex> guard (ioLock());
    device->timeouts = *timeouts;
    return 1;
}

BOOL SetCommMask (HANDLE file, DWORD eventMask)
{
    auto device = findDevice (file);

    if (device == nullptr)
        return 0;

    std::lock_guard<std::mutex> guard (ioLock());
    device->commMask = eventMask;

    // A new mask ends a wait in progress, with no event.
    for (auto& operation : std::vector<std::shared_ptr<Operation>> (device->pending))
        if (operation->type == Operation::Type::commWait)
            finishLocked (operation, 0, 0);

    return 1;
}

BOOL GetCommMask (HANDLE file, LPDWORD eventMask)
{
    auto device = findDevice (file);

    if (device == nullptr || eventMask == nullptr)
        return 0;

    std::lock_guard<std::mutex> guard (ioLock());
    *eventMask = device->commMask;
    return 1;
}

BOOL SetCommState (HANDLE file, DCB* dcb)
{
    auto device = findDevice (file);

    if (device == nullptr)
        return 0;

    auto refuse = []
    {
        setLastError (ERROR_INVALID_PARAMETER);
        return 0;
    };

    termios settings{};

    if (dcb == nullptr)
        return refuse();

    if (::tcgetattr (device->fd, &settings) != 0)
    {
        setLastError (ERROR_GEN_FAILURE);
        return 0;
    }

    if (! lineSettingsFor (*dcb, settings))
        return refuse();

    if (::tcsetattr (device->fd, TCSANOW, &settings) != 0)
    {
        setLastError (ERROR_GEN_FAILURE);
        return 0;
    }

    setModemLine (device->fd, TIOCM_DTR, dcb->fDtrControl != DTR_CONTROL_DISABLE);
    setModemLine (device->fd, TIOCM_RTS, dcb->fRtsControl != RTS_CONTROL_DISABLE);
    return 1;
}

BOOL WaitCommEvent (HANDLE file, LPDWORD eventMask, LPOVERLAPPED overlapped)
{
    auto device = findDevice (file);

    if (device == nullptr)
        return 0;

    if (eventMask == nullptr || overlapped == nullptr)
    {
        setLastError (ERROR_INVALID_PARAMETER);
        return 0;
    }

    std::lock_guard<std::mutex> guard (ioLock());

    const bool alreadyWaiting = std::any_of (device->pending.begin(), device->pending.end(),
                                             [] (const auto& o) { return o->type == Operation::Type::commWait; });

    if (alreadyWaiting || device->commMask == 0)
    {
        setLastError (ERROR_INVALID_PARAMETER);
        return 0;
    }

    *eventMask = 0;
    auto operation = beginLocked (Operation::Type::commWait, device, overlapped);
    operation->eventMaskOut = eventMask;

    if (auto revents = pollNow (device->fd, pollEventsFor (*operation)))
        checkCommWaitLocked (operation, revents);

    return issuedLocked (operation);
}

BOOL ReadFile (HANDLE file, LPVOID buffer, DWORD bytesToRead, LPDWORD bytesRead, LPOVERLAPPED overlapped)
{
    if (bytesRead != nullptr)
        *bytesRead = 0;

    auto device = findDevice (file);

    if (device == nullptr)
        return 0;

    auto event = overlapped != nullptr ? findHandleOfType<Event> (overlapped->hEvent) : nullptr;

    if (event != nullptr)
    {
        std::lock_guard<std::mutex> guard (ioLock());
        unsignalLocked (*event);
    }

    ssize_t got;

    do
        got = ::read (device->fd, buffer, bytesToRead);
    while (got < 0 && errno == EINTR);

    // Nothing waiting (EAGAIN) and the end of a hung-up line (0) both read
    // as "no bytes yet", as a read that times out at once does.
    DWORD error = got < 0 && errno != EAGAIN && errno != EWOULDBLOCK ? ERROR_GEN_FAILURE : 0;
    DWORD count = got > 0 ? (DWORD) got : 0;

    if (bytesRead != nullptr)
        *bytesRead = count;

    if (overlapped != nullptr)
    {
        std::lock_guard<std::mutex> guard (ioLock());
        overlapped->Internal = error;
        overlapped->InternalHigh = count;

        if (event != nullptr && error == 0)
            signalLocked (*event);
    }

    if (error != 0)
    {
        setLastError (error);
        return 0;
    }

    return 1;
}

BOOL WriteFile (HANDLE file, LPCVOID buffer, DWORD bytesToWrite, LPDWORD bytesWritten, LPOVERLAPPED overlapped)
{
    if (bytesWritten != nullptr)
        *bytesWritten = 0;

    auto device = findDevice (file);

    if (device == nullptr)
        return 0;

    if (overlapped == nullptr || (buffer == nullptr && bytesToWrite > 0))
    {
        setLastError (ERROR_INVALID_PARAMETER);
        return 0;
    }

    std::lock_guard<std::mutex> guard (ioLock());
    auto operation = beginLocked (Operation::Type::write, device, overlapped);
    operation->data = static_cast<const BYTE*> (buffer);
    operation->size = bytesToWrite;

    tryWriteLocked (operation, 0);

    // A write that failed part way still reports what it moved, so that
    // those bytes are not sent twice.
    if (operation->finished && bytesWritten != nullptr)
        *bytesWritten = operation->done;

    return issuedLocked (operation);
}

BOOL GetOverlappedResult (HANDLE file, LPOVERLAPPED overlapped, LPDWORD bytesTransferred, BOOL wait)
{
    auto device = findDevice (file);

    if (device == nullptr)
        return 0;

    if (overlapped == nullptr)
    {
        setLastError (ERROR_INVALID_PARAMETER);
        return 0;
    }

    for (;;)
    {
        std::shared_ptr<Operation> operation;
        pollfd entries[2]{};
        nfds_t count = 1;

        {
            std::lock_guard<std::mutex> guard (ioLock());

            for (auto& o : device->pending)
                if (o->overlapped == overlapped)
                    operation = o;

            if (operation == nullptr)
            {
                if (bytesTransferred != nullptr)
                    *bytesTransferred = (DWORD) overlapped->InternalHigh;

                if (overlapped->Internal == 0)
                    return 1;

                setLastError ((DWORD) overlapped->Internal);
                return 0;
            }

            if (wait == 0)
            {
                setLastError (ERROR_IO_INCOMPLETE);
                return 0;
            }

            entries[0] = { device->fd, pollEventsFor (*operation), 0 };

            // The event wakes this wait when another thread cancels the
            // operation or closes the device.
            if (operation->event != nullptr)
                entries[count++] = { operation->event->fd, POLLIN, 0 };
        }

        if (::poll (entries, count, -1) < 0 && errno != EINTR)
        {
            setLastError (ERROR_GEN_FAILURE);
            return 0;
        }

        bool stalled = false;

        {
            std::lock_guard<std::mutex> guard (ioLock());

            if (entries[0].revents != 0)
                stalled = ! driveLocked (operation, entries[0].revents);

            // An event set by hand, with the operation still running.
            if (count > 1 && entries[1].revents != 0 && ! operation->finished)
                stalled = true;
        }

        if (stalled)
            std::this_thread::sleep_for (std::chrono::milliseconds (1));
    }
}

BOOL CancelIo (HANDLE file)
{
    auto device = findDevice (file);

    if (device == nullptr)
        return 0;

    std::lock_guard<std::mutex> guard (ioLock());
    const auto caller = std::this_thread::get_id();

    for (auto& operation : std::vector<std::shared_ptr<Operation>> (device->pending))
        if (operation->issuer == caller)
            finishLocked (operation, ERROR_OPERATION_ABORTED);

    return 1;
}

HANDLE CreateEventA (LPSECURITY_ATTRIBUTES, BOOL manualReset, BOOL initialState, LPCSTR name)
{
    return createEvent (manualReset, initialState, name != nullptr);
}

HANDLE CreateEventW (LPSECURITY_ATTRIBUTES, BOOL manualReset, BOOL initialState, LPCWSTR name)
{
    return createEvent (manualReset, initialState, name != nullptr);
}

BOOL SetEvent (HANDLE handle)
{
    auto event = findEvent (handle);

    if (event == nullptr)
        return 0;

    std::lock_guard<std::mutex> guard (ioLock());
    signalLocked (*event);
    return 1;
}

BOOL ResetEvent (HANDLE handle)
{
    auto event = findEvent (handle);

    if (event == nullptr)
        return 0;

    std::lock_guard<std::mutex> guard (ioLock());
    unsignalLocked (*event);
    return 1;
}

DWORD WaitForSingleObject (HANDLE object, DWORD milliseconds)
{
    auto event = findEvent (object);

    if (event == nullptr)
        return WAIT_FAILED;

    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds (milliseconds);

    for (;;)
    {
        std::vector<pollfd> entries;
        std::vector<std::shared_ptr<Operation>> operations;

        {
            std::lock_guard<std::mutex> guard (ioLock());

            if (event->signalled)
            {
                if (! event->manualReset)
                    unsignalLocked (*event);

                return WAIT_OBJECT_0;
            }

            // Operations whose completion sets this event move on while we
            // wait for it.
            entries.push_back ({ event->fd, POLLIN, 0 });

            for (auto& operation : event->attached)
            {
                entries.push_back ({ operation->device->fd, pollEventsFor (*operation), 0 });
                operations.push_back (operation);
            }
        }

        int timeout = -1;

        if (milliseconds != INFINITE)
        {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds> (deadline - Clock::now()).count();
            timeout = (int) std::max<long long> (0, std::min<long long> (left + 1, 1 << 30));
        }

        int ready = ::poll (entries.data(), (nfds_t) entries.size(), timeout);

        if (ready < 0)
        {
            if (errno == EINTR)
                continue;

            setLastError (ERROR_GEN_FAILURE);
            return WAIT_FAILED;
        }

        bool stalled = false;

        {
            std::lock_guard<std::mutex> guard (ioLock());

            for (size_t i = 0; i < operations.size(); ++i)
                if (entries[i + 1].revents != 0 && ! driveLocked (operations[i], entries[i + 1].revents))
                    stalled = true;

            if (milliseconds != INFINITE && Clock::now() >= deadline)
            {
                if (! event->signalled)
                    return WAIT_TIMEOUT;

                if (! event->manualReset)
                    unsignalLocked (*event);

                return WAIT_OBJECT_0;
            }
        }

        // A device that says it is ready but takes nothing must not turn
        // this wait into a spin.
        if (stalled)
            std::this_thread::sleep_for (std::chrono::milliseconds (1));
    }
}

#endif
