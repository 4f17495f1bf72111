#!/usr/bin/env python3
"""Serial lines for the Windows tests under wine.

A Windows test cannot make a pseudo-terminal, but wine opens "\\\\.\\COMn"
through the link dosdevices/comN of its prefix, and a link may name any
terminal. This broker makes them: each TCP connection from a test (on the
loopback address only) gets a new raw pseudo-terminal, linked as a COM port
that no other connection uses; the broker answers "COMn\\n" and from then on
passes bytes unchanged between the connection and the terminal's far side.
When the test closes the connection, the far side goes away: the program's
end of the line hangs up and the link is removed.

The broker keeps a slave descriptor of its own open, so that a program
closing and reopening its port never finds the line hung up in between.

Usage: wine-com-broker.py WINEPREFIX PORT_FILE
Writes "127.0.0.1:PORT" to PORT_FILE once it accepts connections, and runs
until it is sent SIGTERM or SIGINT.
"""

import errno
import os
import selectors
import signal
import socket
import sys
import tty

FIRST_COM, LAST_COM = 100, 250
CHUNK = 4096


class Line:
    def __init__(self, conn, number, dosdevices):
        self.conn = conn
        self.master, self.slave = os.openpty()
        tty.setraw(self.slave)
        os.set_blocking(self.master, False)
        conn.setblocking(False)
        self.link = os.path.join(dosdevices, "com%d" % number)
        if os.path.lexists(self.link):
            os.unlink(self.link)
        os.symlink(os.ttyname(self.slave), self.link)
        self.number = number
        self.watched = set()
        self.to_line = bytearray()
        self.to_test = bytearray(b"COM%d\n" % number)

    def close(self):
        for fd in (self.master, self.slave):
            try:
                os.close(fd)
            except OSError:
                pass
        try:
            self.conn.close()
        except OSError:
            pass
        try:
            if os.path.islink(self.link):
                os.unlink(self.link)
        except OSError:
            pass


class Broker:
    def __init__(self, prefix):
        self.dosdevices = os.path.join(prefix, "dosdevices")
        self.selector = selectors.DefaultSelector()
        self.listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self.listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self.listener.bind(("127.0.0.1", 0))
        self.listener.listen(64)
        self.listener.setblocking(False)
        self.lines = {}
        self.next_number = FIRST_COM
        self.running = True

    def address(self):
        return "127.0.0.1:%d" % self.listener.getsockname()[1]

    def free_number(self):
        # Numbers go round rather than being reused at once, so that a port a
        # test has just let go of does not open another test's line.
        used = {line.number for line in self.lines.values()}
        for _ in range(LAST_COM - FIRST_COM + 1):
            number = self.next_number
            self.next_number = FIRST_COM if number == LAST_COM else number + 1
            if number not in used:
                return number
        return None

    def watch(self, line):
        conn_events = selectors.EVENT_READ if len(line.to_line) < 4 * CHUNK else 0
        if line.to_test:
            conn_events |= selectors.EVENT_WRITE
        master_events = selectors.EVENT_READ if len(line.to_test) < 4 * CHUNK else 0
        if line.to_line:
            master_events |= selectors.EVENT_WRITE
        # A side with nothing to do is not watched at all, so that a full
        # buffer waits for the other side instead of spinning.
        for fileobj, events in ((line.conn, conn_events), (line.master, master_events)):
            registered = fileobj in line.watched
            if events and registered:
                self.selector.modify(fileobj, events, line)
            elif events:
                self.selector.register(fileobj, events, line)
                line.watched.add(fileobj)
            elif registered:
                self.selector.unregister(fileobj)
                line.watched.discard(fileobj)

    def drop(self, line):
        for fileobj in list(line.watched):
            self.selector.unregister(fileobj)
        line.watched.clear()
        self.lines.pop(id(line), None)
        line.close()

    def accept(self):
        try:
            conn, _ = self.listener.accept()
        except BlockingIOError:
            return
        number = self.free_number()
        if number is None:
            conn.close()
            return
        line = Line(conn, number, self.dosdevices)
        self.lines[id(line)] = line
        self.watch(line)

    def pump(self, line, fileobj, events):
        try:
            if fileobj is line.conn:
                if events & selectors.EVENT_READ:
                    data = line.conn.recv(CHUNK)
                    if not data:
                        self.drop(line)
                        return
                    line.to_line += data
                if events & selectors.EVENT_WRITE and line.to_test:
                    sent = line.conn.send(line.to_test)
                    del line.to_test[:sent]
            else:
                if events & selectors.EVENT_READ:
                    try:
                        line.to_test += os.read(line.master, CHUNK)
                    except BlockingIOError:
                        pass
                if events & selectors.EVENT_WRITE and line.to_line:
                    try:
                        written = os.write(line.master, line.to_line)
                        del line.to_line[:written]
                    except BlockingIOError:
                        pass
        except (ConnectionError, BrokenPipeError):
            self.drop(line)
            return
        except OSError as error:
            if error.errno in (errno.EAGAIN, errno.EINTR):
                pass
            else:
                self.drop(line)
                return
        self.watch(line)

    def run(self):
        self.selector.register(self.listener, selectors.EVENT_READ, "listener")
        while self.running:
            for key, events in self.selector.select(timeout=0.5):
                if key.data == "listener":
                    self.accept()
                else:
                    line = key.data
                    if id(line) in self.lines:
                        self.pump(line, key.fileobj, events)
        for line in list(self.lines.values()):
            self.drop(line)


def main():
    prefix, port_file = sys.argv[1], sys.argv[2]
    broker = Broker(prefix)

    def stop(*_):
        broker.running = False

    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGINT, stop)
    with open(port_file + ".tmp", "w") as f:
        f.write(broker.address())
    os.replace(port_file + ".tmp", port_file)
    broker.run()
    return 0


if __name__ == "__main__":
    sys.exit(main())
