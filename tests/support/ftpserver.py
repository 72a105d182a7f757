#!/usr/bin/python3
"""FTP server for the tests and benchmarks, on 127.0.0.1.

Started with one argument, a JSON object:
  port            0 picks a free one (default 0)
  root            folder every user sees as "/"
  users           [{"name", "password", "readOnly", "loginFolder"}]
  refusePassive   PASV and EPSV answer 502
  dropAfterLogin  seconds after a login when the server sends 421 and closes (absent: never)
  idleTimeout     seconds of silence after which the server sends 421 and closes
  stallDownload   bytes after which a download stops moving (the data connection stays open)
  eagerEpsv       the EPSV reply is sent together with the reply to the CWD before it
Prints "PORT <n>" once it listens. Ends with its parent process (Linux).
"""

import ctypes
import json
import logging
import os
import signal
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import DTPHandler, FTPHandler
from pyftpdlib.servers import FTPServer


def die_with_parent():
    if sys.platform.startswith("linux"):
        pr_set_pdeathsig = 1
        libc = ctypes.CDLL(None, use_errno=True)
        libc.prctl(pr_set_pdeathsig, signal.SIGTERM)
    # The parent may have gone before prctl took effect.
    if os.getppid() == 1:
        sys.exit(0)


def main():
    die_with_parent()
    config = json.loads(sys.argv[1])
    logging.basicConfig(level=logging.ERROR)

    users_authorizer = DummyAuthorizer()
    login_folders = {}
    for user in config.get("users", []):
        perm = "elr" if user.get("readOnly") else "elradfmwMT"
        users_authorizer.add_user(user["name"], user["password"], config["root"], perm=perm)
        if user.get("loginFolder"):
            login_folders[user["name"]] = user["loginFolder"]

    stall_after = config.get("stallDownload")

    class StallingDTPHandler(DTPHandler):
        def use_sendfile(self):
            return False

        def push_with_producer(self, producer):
            # Sends the first bytes, then goes silent without closing.
            data = producer.more()
            self.push(data[:stall_after])

        def close_when_done(self):
            pass

    class Handler(FTPHandler):
        auth_failed_timeout = 0
        authorizer = users_authorizer
        timeout = config.get("idleTimeout", 300)
        if stall_after is not None:
            dtp_handler = StallingDTPHandler
        _epsv_sent_early = False

        def on_login(self, username):
            folder = login_folders.get(username)
            if folder:
                self.fs.cwd = folder
            drop = config.get("dropAfterLogin")
            if drop is not None:
                self.ioloop.call_later(drop, self._drop, _errback=self.handle_error)

        def _drop(self):
            if self.connected:
                self.respond("421 Service not available, closing control connection.")
                self.close_when_done()

        def ftp_PASV(self, line):
            if config.get("refusePassive"):
                self.respond("502 Passive mode not allowed.")
            else:
                FTPHandler.ftp_PASV(self, line)

        def ftp_EPSV(self, line):
            if config.get("refusePassive"):
                self.respond("502 Passive mode not allowed.")
            elif self._epsv_sent_early:
                self._epsv_sent_early = False
            else:
                FTPHandler.ftp_EPSV(self, line)

        def ftp_CWD(self, path):
            if not config.get("eagerEpsv"):
                return FTPHandler.ftp_CWD(self, path)
            # Both replies leave in one write, so the client reads the EPSV reply
            # at the moment it sends EPSV.
            lines = []
            self.respond = lambda resp, logfun=None: lines.append(resp)
            try:
                FTPHandler.ftp_CWD(self, path)
                if lines and lines[0].startswith("250"):
                    FTPHandler.ftp_EPSV(self, "")
                    self._epsv_sent_early = True
            finally:
                del self.respond
            self.push("".join(line + "\r\n" for line in lines))

    server = FTPServer(("127.0.0.1", config.get("port", 0)), Handler)
    server.max_cons = 64

    def on_term(*_):
        signal.signal(signal.SIGTERM, signal.SIG_IGN)
        sys.exit(0)

    signal.signal(signal.SIGTERM, on_term)
    print("PORT %d" % server.address[1], flush=True)
    # A short poll keeps the idle and drop timers on time.
    server.serve_forever(timeout=0.05, handle_exit=True)


if __name__ == "__main__":
    main()
