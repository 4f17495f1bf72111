// board-sim: stands in for a Quorvel board on a serial port, so that "Test"
// and "StopAll" can be tried without one. It opens a pseudo-terminal, lists it
// as a serial device through a link in /dev/serial/by-id and prints every
// command frame that arrives, decoded.
//
//   board-sim [LINK-NAME]
//
// Creating the link (and /dev/serial/by-id when it is missing) needs root.
// Everything it created is removed again when it ends (Ctrl+C).

#include "link/CommandFrames.h"
#include "link/FrameParser.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace
{
volatile std::sig_atomic_t stopRequested = 0;

void requestStop (int)
{
    stopRequested = 1;
}

const char* const defaultLinkName = "usb-Quorvel_Board_Simulator-if00-port0";

//==============================================================================
// The link in /dev/serial/by-id, and the folders made for it.
class DeviceLink
{
public:
    bool create (const std::string& target, const std::string& name)
    {
        for (const char* dir : { "/dev/serial", "/dev/serial/by-id" })
        {
            if (mkdir (dir, 0755) == 0)
                madeDirs.push_back (dir);
            else if (errno != EEXIST)
                return fail (dir);
        }

        path = std::string ("/dev/serial/by-id/") + name;
        unlink (path.c_str()); // a stale link from a run that was killed

        if (symlink (target.c_str(), path.c_str()) != 0)
        {
            const auto ok = fail (path.c_str());
            path.clear();
            return ok;
        }

        return true;
    }

    void remove()
    {
        if (! path.empty())
            unlink (path.c_str());

        // Only folders we made, and only while nobody else put a link there.
        for (auto it = madeDirs.rbegin(); it != madeDirs.rend(); ++it)
            rmdir (it->c_str());

        path.clear();
        madeDirs.clear();
    }

    ~DeviceLink() { remove(); }

    const std::string& getPath() const { return path; }

private:
    bool fail (const char* what)
    {
        std::fprintf (stderr, "board-sim: cannot create %s: %s%s\n", what, std::strerror (errno),
                      errno == EACCES || errno == EPERM ? " (run as root)" : "");
        return false;
    }

    std::string path;
    std::vector<std::string> madeDirs;
};

//==============================================================================
bool makeRaw (int fd)
{
    termios settings{};

    if (tcgetattr (fd, &settings) != 0)
        return false;

    cfmakeraw (&settings);
    cfsetispeed (&settings, B57600);
    cfsetospeed (&settings, B57600);
    return tcsetattr (fd, TCSANOW, &settings) == 0;
}

const char* nameOf (int code, std::initializer_list<const char*> names)
{
    int i = 1;
    for (auto* name : names)
        if (i++ == code)
            return name;

    return "unknown";
}

std::string flagsText (int flags)
{
    std::string text;
    const char* names[] = { "Re-Triggers", "Loop", "Lock Voice" };

    for (int bit = 0; bit < 3; ++bit)
        if (flags & (1 << bit))
            text += (text.empty() ? "" : ", ") + std::string (names[bit]);

    return text.empty() ? "none" : text;
}

void printFrame (const FrameParser& parser)
{
    const int length = parser.getFrameLength();

    std::printf ("frame (%d bytes): %02X %02X %02X", length, frames::firstStartByte, frames::secondStartByte, length);
    for (int i = 1; i <= length - 4; ++i)
        std::printf (" %02X", parser.getBuffer()[i]);
    std::printf (" %02X\n", frames::endByte);

    const auto* d = parser.getData();
    const int command = parser.getCommand();

    if (command == frames::stopAllCommand && length == frames::stopAllFrameSize)
    {
        std::printf ("  STOP ALL\n");
    }
    else if (command == frames::triggerSettingsCommand && length == frames::triggerSettingsFrameSize)
    {
        const int index = d[0];
        std::printf ("  TRIGGER SETTINGS for trigger %d (index %d)\n", index + 1, index);
        std::printf ("    interface   %d %s\n", d[1], nameOf (d[1], { "Contact Closure", "Active (3.3V / 5V)" }));
        std::printf ("    invert      %s\n", d[2] ? "on" : "off");
        std::printf ("    type        %d %s\n", d[3], nameOf (d[3], { "Edge", "Level", "Latch" }));
        std::printf ("    flags       0x%02X %s\n", d[4], flagsText (d[4]).c_str());
        std::printf ("    polyphonic  %s\n", d[5] ? "on" : "off");
        std::printf ("    function    %d %s\n", d[6],
                     nameOf (d[6], { "Normal", "Next", "Previous", "Random", "Pause", "Resume", "Stop", "Volume Up",
                                     "Volume Dn", "MIDI Bank Up", "MIDI Bank Dn", "Trig Bank Up", "Trig Bank Dn" }));
        std::printf ("    volume      %d dB\n", (int) (int8_t) d[7]);
        std::printf ("    tracks      %d to %d\n", d[8] | (d[9] << 8), d[10] | (d[11] << 8));
    }
    else if (command < 0)
    {
        std::printf ("  no command byte\n");
    }
    else
    {
        std::printf ("  command 0x%02X, not one the board knows\n", command);
    }

    std::fflush (stdout);
}
} // namespace

int main (int argc, char** argv)
{
    if (argc > 2 || (argc == 2 && (std::strcmp (argv[1], "-h") == 0 || std::strcmp (argv[1], "--help") == 0)))
    {
        std::fprintf (stderr, "usage: board-sim [LINK-NAME]   (default %s; needs root)\n", defaultLinkName);
        return argc > 2 ? 2 : 0;
    }

    const std::string linkName = argc == 2 ? argv[1] : defaultLinkName;

    if (linkName.empty() || linkName.find ('/') != std::string::npos || linkName[0] == '.')
    {
        std::fprintf (stderr, "board-sim: the link name must be a plain file name\n");
        return 2;
    }

    const int master = posix_openpt (O_RDWR | O_NOCTTY);

    if (master < 0 || grantpt (master) != 0 || unlockpt (master) != 0)
    {
        std::fprintf (stderr, "board-sim: cannot create a pseudo-terminal: %s\n", std::strerror (errno));
        return 1;
    }

    const std::string terminalPath = ptsname (master);

    // Holding the terminal side open ourselves keeps the line alive while the
    // editor closes and reopens the port; otherwise every reconnect would
    // look like a hang-up here.
    const int terminal = open (terminalPath.c_str(), O_RDWR | O_NOCTTY);

    if (terminal < 0 || ! makeRaw (terminal))
    {
        std::fprintf (stderr, "board-sim: cannot set up %s: %s\n", terminalPath.c_str(), std::strerror (errno));
        return 1;
    }

    struct sigaction action
    {
    };
    action.sa_handler = requestStop;
    sigaction (SIGINT, &action, nullptr);
    sigaction (SIGTERM, &action, nullptr);
    sigaction (SIGHUP, &action, nullptr);

    DeviceLink link;

    if (! link.create (terminalPath, linkName))
        return 1;

    std::printf ("board-sim: listening on %s, listed as %s\n", terminalPath.c_str(), link.getPath().c_str());
    std::printf ("board-sim: pick it in the editor's port box; Ctrl+C ends\n");
    std::fflush (stdout);

    FrameParser parser;
    parser.restart();

    while (! stopRequested)
    {
        pollfd pfd{ master, POLLIN, 0 };
        const int ready = poll (&pfd, 1, 200);

        if (ready < 0)
        {
            if (errno == EINTR)
                continue;
            break;
        }

        if (ready == 0 || ! (pfd.revents & POLLIN))
            continue;

        uint8_t bytes[256];
        const auto n = read (master, bytes, sizeof (bytes));

        if (n < 0 && errno != EINTR && errno != EAGAIN)
        {
            std::fprintf (stderr, "board-sim: reading %s failed: %s\n", terminalPath.c_str(), std::strerror (errno));
            break;
        }

        if (n <= 0)
            continue;

        for (ssize_t i = 0; i < n; ++i)
        {
            if (parser.processByte (bytes[i]))
            {
                printFrame (parser);
                parser.acceptNextFrame();
            }
        }
    }

    link.remove();
    close (terminal);
    close (master);
    std::printf ("board-sim: stopped\n");
    return 0;
}
