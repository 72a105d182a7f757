#!/usr/bin/python3
"""FTP server for the tests and benchmarks, on 127.0.0.1.

Started with one argument, a JSON object:
  host            address to listen on (default 127.0.0.1)
  port            0 picks a free one (default 0)
  root            folder every user sees as "/"
  users           [{"name", "password", "readOnly", "loginFolder"}]
  refusePassive   PASV and EPSV answer 502
  dropAfterLogin  seconds after a login when the server sends 421 and closes (absent: never)
  idleTimeout     seconds of silence after which the server sends 421 and closes
  dropAfterPwd    the connection closes right after the reply to PWD, the last step of a login
  stallDownload   bytes after which a download stops moving (the data connection stays open)
  stallUpload     bytes after which the server reads nothing more of an upload
  holdFinalReply  seconds the reply that ends a transfer (226) is held back
  eagerEpsv       the EPSV reply is sent together with the reply to the CWD before it
  cutTransfers    {"after", "reply"}: after that many bytes of a transfer the server sends the
                  reply and drops the data connection: an upload at once (reset), a download
                  once the bytes sent so far have left (closed)
  refuseProt      PROT P is refused with 536
  readLimit       bytes per second at which uploads are read (a server that takes them slowly)
  transferLog     file that gets a line for every upload: "stored PATH" or "incomplete PATH"
  tls             {"folder"} offers AUTH TLS with a certificate for 127.0.0.1 made at start;
                  the CA that signed it is written to folder/ca.pem. With "otherCa" true the
                  certificate is signed by another CA, not written anywhere.
  control         a port on 127.0.0.1 to connect to: the server sends "PORT <n>" there and ends
                  when that connection ends or receives anything
Without control: prints "PORT <n>" once it listens and ends with its parent process (Linux).
"""

import ctypes
import json
import logging
import os
import signal
import socket
import struct
import sys
import threading

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import DTPHandler, FTPHandler, ThrottledDTPHandler
from pyftpdlib.servers import FTPServer

try:
    from pyftpdlib.handlers import TLS_DTPHandler, TLS_FTPHandler
except ImportError:  # python3-openssl missing: only plain FTP
    TLS_DTPHandler = TLS_FTPHandler = None


def die_with_parent():
    if sys.platform.startswith("linux"):
        pr_set_pdeathsig = 1
        libc = ctypes.CDLL(None, use_errno=True)
        libc.prctl(pr_set_pdeathsig, signal.SIGTERM)
    # The parent may have gone before prctl took effect.
    if os.getppid() == 1:
        sys.exit(0)


def make_certificates(folder, other_ca):
    """Writes folder/ca.pem and folder/server.pem (certificate and key for 127.0.0.1)."""
    import datetime
    import ipaddress
    from cryptography import x509
    from cryptography.hazmat.primitives import hashes, serialization
    from cryptography.hazmat.primitives.asymmetric import ec
    from cryptography.hazmat.primitives.asymmetric.utils import decode_dss_signature
    from cryptography.x509.oid import NameOID

    now = datetime.datetime.utcnow()

    def certificate(subject, issuer, public_key, signing_key, is_ca):
        builder = (
            x509.CertificateBuilder()
            .subject_name(x509.Name([x509.NameAttribute(NameOID.COMMON_NAME, subject)]))
            .issuer_name(x509.Name([x509.NameAttribute(NameOID.COMMON_NAME, issuer)]))
            .public_key(public_key)
            .serial_number(x509.random_serial_number())
            .not_valid_before(now - datetime.timedelta(days=1))
            .not_valid_after(now + datetime.timedelta(days=7))
            .add_extension(x509.BasicConstraints(ca=is_ca, path_length=None), critical=True)
        )
        if not is_ca:
            builder = builder.add_extension(
                x509.SubjectAlternativeName([x509.IPAddress(ipaddress.ip_address("127.0.0.1"))]),
                critical=False)
        # wine's certificate check refuses, now and then, an ECDSA signature whose r or s is
        # shorter than the curve's 32 bytes (a leading zero byte, 1 in 256 each); signing
        # again draws a new r and s.
        while True:
            cert = builder.sign(signing_key, hashes.SHA256())
            r, s = decode_dss_signature(cert.signature)
            if r >> 248 and s >> 248:
                return cert

    def pem(cert):
        return cert.public_bytes(serialization.Encoding.PEM)

    ca_key = ec.generate_private_key(ec.SECP256R1())
    ca = certificate("Test office CA", "Test office CA", ca_key.public_key(), ca_key, True)
    signer_key, signer_name = ca_key, "Test office CA"
    if other_ca:
        signer_key, signer_name = ec.generate_private_key(ec.SECP256R1()), "Other CA"
    server_key = ec.generate_private_key(ec.SECP256R1())
    server = certificate("127.0.0.1", signer_name, server_key.public_key(), signer_key, False)
    with open(os.path.join(folder, "ca.pem"), "wb") as f:
        f.write(pem(ca))
    with open(os.path.join(folder, "server.pem"), "wb") as f:
        f.write(pem(server) + server_key.private_bytes(
            serialization.Encoding.PEM, serialization.PrivateFormat.TraditionalOpenSSL,
            serialization.NoEncryption()))
    return os.path.join(folder, "server.pem")


def report_port_to(control_port, port):
    """Reports the port over the control connection and ends the server when it ends.

    A Windows test program under wine starts this script without pipes and without staying its
    parent, so neither standard output nor the parent's death can serve there."""
    control = socket.create_connection(("127.0.0.1", control_port))
    control.sendall(b"PORT %d\n" % port)

    def watch():
        try:
            control.recv(16)
        finally:
            os._exit(0)

    threading.Thread(target=watch, daemon=True).start()


def main():
    config = json.loads(sys.argv[1])
    if "control" not in config:
        die_with_parent()
    logging.basicConfig(level=logging.ERROR)

    users_authorizer = DummyAuthorizer()
    login_folders = {}
    for user in config.get("users", []):
        perm = "elr" if user.get("readOnly") else "elradfmwMT"
        users_authorizer.add_user(user["name"], user["password"], config["root"], perm=perm)
        if user.get("loginFolder"):
            login_folders[user["name"]] = user["loginFolder"]

    stall_after = config.get("stallDownload")
    tls = config.get("tls")
    base_handler, base_dtp = FTPHandler, DTPHandler
    if tls:
        if TLS_FTPHandler is None:
            sys.exit("FTP over TLS needs python3-openssl")
        base_handler, base_dtp = TLS_FTPHandler, TLS_DTPHandler
        cert_file = make_certificates(tls["folder"], tls.get("otherCa", False))

    stall_upload = config.get("stallUpload")
    upload_rate = config.get("readLimit")
    if upload_rate:
        if tls:
            sys.exit("readLimit works without TLS only")
        base_dtp = ThrottledDTPHandler

    class DataHandler(base_dtp):
        if upload_rate:
            read_limit = upload_rate  # its reads shrink to a second's share: an even pace

        def readable(self):
            # A client may start the TLS handshake of the data connection before it sends
            # RETR or STOR; pyftpdlib would take that early input for a closed connection.
            if getattr(self, "_ssl_accepting", False):
                return True
            if stall_upload is not None and self.tot_bytes_received >= stall_upload:
                return False
            return super().readable()

    class StallingDTPHandler(DataHandler):
        def use_sendfile(self):
            return False

        def push_with_producer(self, producer):
            # Sends the first bytes, then goes silent without closing.
            data = producer.more()
            self.push(data[:stall_after])

        def close_when_done(self):
            pass

    cut = config.get("cutTransfers")

    class CuttingDTPHandler(DataHandler):
        _cut = False

        def use_sendfile(self):
            return False

        def handle_read_event(self):
            super().handle_read_event()
            if self.tot_bytes_received >= cut["after"]:
                self._cut_now(True)

        def push_with_producer(self, producer):
            self.push(producer.more()[:cut["after"]])
            self.ioloop.call_later(0.2, self._cut_now, False, _errback=self.handle_error)

        def close_when_done(self):
            pass

        def _cut_now(self, reset):
            if self._cut:
                return
            self._cut = True
            self.cmd_channel.respond(cut["reply"])
            if reset:
                self.socket.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER,
                                       struct.pack("ii", 1, 0))
            self._error = True  # no TLS farewell either: the connection just ends
            self.close()

    class Handler(base_handler):
        auth_failed_timeout = 0
        authorizer = users_authorizer
        timeout = config.get("idleTimeout", 300)
        dtp_handler = DataHandler
        if tls:
            certfile = cert_file
        if stall_after is not None:
            dtp_handler = StallingDTPHandler
        if cut:
            dtp_handler = CuttingDTPHandler
        _epsv_sent_early = False

        def respond(self, resp, *args, **kwargs):
            hold = config.get("holdFinalReply")
            if hold and resp.startswith("226"):
                self.ioloop.call_later(hold, base_handler.respond, self, resp, *args,
                                       _errback=self.handle_error, **kwargs)
            else:
                base_handler.respond(self, resp, *args, **kwargs)

        def _note_upload(self, word, path):
            if config.get("transferLog"):
                with open(config["transferLog"], "a") as log:
                    log.write("%s %s\n" % (word, path))

        def on_file_received(self, path):
            self._note_upload("stored", path)

        def on_incomplete_file_received(self, path):
            self._note_upload("incomplete", path)

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

        def ftp_PWD(self, line):
            FTPHandler.ftp_PWD(self, line)
            if config.get("dropAfterPwd"):
                # The reply has left; the close follows before the client can send again.
                self.close()

        def ftp_PROT(self, line):
            if config.get("refuseProt"):
                self.respond("536 Requested PROT level not supported by mechanism.")
            else:
                base_handler.ftp_PROT(self, line)

        def ftp_PASV(self, line):
            if config.get("refusePassive"):
                self.respond("502 Passive mode not allowed.")
            else:
                base_handler.ftp_PASV(self, line)

        def ftp_EPSV(self, line):
            if config.get("refusePassive"):
                self.respond("502 Passive mode not allowed.")
            elif self._epsv_sent_early:
                self._epsv_sent_early = False
            else:
                base_handler.ftp_EPSV(self, line)

        def ftp_CWD(self, path):
            if not config.get("eagerEpsv"):
                return base_handler.ftp_CWD(self, path)
            # Both replies leave in one write, so the client reads the EPSV reply
            # at the moment it sends EPSV.
            lines = []
            self.respond = lambda resp, logfun=None: lines.append(resp)
            try:
                base_handler.ftp_CWD(self, path)
                if lines and lines[0].startswith("250"):
                    base_handler.ftp_EPSV(self, "")
                    self._epsv_sent_early = True
            finally:
                del self.respond
            self.push("".join(line + "\r\n" for line in lines))

    server = FTPServer((config.get("host", "127.0.0.1"), config.get("port", 0)), Handler)
    server.max_cons = 64

    def on_term(*_):
        signal.signal(signal.SIGTERM, signal.SIG_IGN)
        sys.exit(0)

    signal.signal(signal.SIGTERM, on_term)
    if "control" in config:
        report_port_to(config["control"], server.address[1])
    else:
        print("PORT %d" % server.address[1], flush=True)
    # A short poll keeps the idle and drop timers on time.
    server.serve_forever(timeout=0.05, handle_exit=True)


if __name__ == "__main__":
    main()
