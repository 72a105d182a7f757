#!/usr/bin/python3
"""Debian's vsftpd for the tests and benchmarks, on 127.0.0.1, set up as offices run it.

Started with one argument, a JSON object with the keys of ftpserver.py that a real daemon can
honour (anything else stops the start with a message):
  root      folder every user sees as "/" (the users are locked into it)
  users     [{"name", "password"}]
  tls       {"folder", "otherCa"} as in ftpserver.py: AUTH TLS offered (plain FTP still works);
            a TLS data connection must resume the control connection's TLS session
            (require_ssl_reuse, vsftpd's default)
  control   as in ftpserver.py
Without control: prints "PORT <n>" once it listens and ends with its parent process.

vsftpd runs in the foreground with a configuration of its own, on a free port with a passive
port range of its own, as its own process group; everything ends with this script. It needs
root. The users are virtual: PAM checks them against a password file of this server alone,
through a PAM service made for this run (/etc/pam.d/skyvane-test-vsftpd-<pid>, removed at the
end; one left by a run that was killed is removed by the next). No account of the machine is
made, and the passwords open nothing but this server.
"""

import ctypes
import glob
import json
import os
import random
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
import warnings

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from ftpserver import die_with_parent, make_certificates  # noqa: E402

with warnings.catch_warnings():
    warnings.simplefilter("ignore", DeprecationWarning)
    import crypt

VSFTPD = "/usr/sbin/vsftpd"
PAM_PREFIX = "/etc/pam.d/skyvane-test-vsftpd-"
KNOWN_KEYS = {"root", "users", "tls", "control"}
PASSIVE_PORTS = 16
START_TRIES = 5


def remove_stale_pam_services():
    for path in glob.glob(PAM_PREFIX + "*"):
        owner = path[len(PAM_PREFIX):]
        if owner.isdigit() and not os.path.exists("/proc/" + owner):
            os.remove(path)


def port_is_free(port):
    with socket.socket() as s:
        try:
            s.bind(("127.0.0.1", port))
            return True
        except OSError:
            return False


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def free_port_range(count):
    """The first port of `count` consecutive free ones, from a random place."""
    while True:
        first = random.randrange(20000, 60000 - count)
        if all(port_is_free(p) for p in range(first, first + count)):
            return first


def configuration(work, config, pam_service, port, passive):
    lines = [
        "listen=YES", "listen_ipv6=NO", "listen_address=127.0.0.1", "listen_port=%d" % port,
        "background=NO", "anonymous_enable=NO", "local_enable=YES", "write_enable=YES",
        # Virtual users act as root in the root folder, so the tests own every file.
        "guest_enable=YES", "guest_username=root", "virtual_use_local_privs=YES",
        "local_root=" + config["root"], "chroot_local_user=YES", "allow_writeable_chroot=YES",
        "local_umask=022", "pam_service_name=" + pam_service,
        "secure_chroot_dir=" + os.path.join(work, "empty"),
        "pasv_min_port=%d" % passive, "pasv_max_port=%d" % (passive + PASSIVE_PORTS - 1),
        "xferlog_enable=NO", "syslog_enable=NO",
    ]
    tls = config.get("tls")
    if tls:
        lines += [
            "ssl_enable=YES", "require_ssl_reuse=YES",
            "force_local_logins_ssl=NO", "force_local_data_ssl=NO",
            # vsftpd's own cipher list leaves TLS 1.2 nothing OpenSSL 3 still offers, and
            # Windows 10's Schannel speaks no TLS 1.3: offices with Windows stores set this.
            "ssl_ciphers=HIGH",
            "rsa_cert_file=" + make_certificates(tls["folder"], tls.get("otherCa", False)),
        ]
    return "".join(line + "\n" for line in lines)


def start_vsftpd(conf_path):
    """vsftpd in a process group of its own, which is killed if this script dies first."""

    def own_group_ending_with_us():
        os.setpgrp()
        ctypes.CDLL(None).prctl(1, signal.SIGKILL)  # PR_SET_PDEATHSIG

    return subprocess.Popen([VSFTPD, conf_path], stdin=subprocess.DEVNULL,
                            stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                            preexec_fn=own_group_ending_with_us)


def wait_until_listening(process, port, deadline):
    while time.monotonic() < deadline:
        if process.poll() is not None:
            return False
        try:
            with socket.create_connection(("127.0.0.1", port), timeout=1) as s:
                return s.recv(64).startswith(b"220")
        except OSError:
            time.sleep(0.05)
    return False


def processes_of(conf_path):
    """The pids of every vsftpd process serving conf_path: the listener and its sessions, which
    put themselves in process groups of their own."""
    pids = []
    for entry in os.listdir("/proc"):
        try:
            with open("/proc/%s/cmdline" % entry, "rb") as f:
                if f.read().split(b"\0")[:2] == [VSFTPD.encode(), conf_path.encode()]:
                    pids.append(int(entry))
        except (OSError, ValueError):
            pass
    return pids


def stop(process, conf_path):
    for sig in (signal.SIGTERM, signal.SIGKILL):
        for pid in processes_of(conf_path):
            try:
                os.kill(pid, sig)
            except ProcessLookupError:
                pass
        try:
            process.wait(timeout=2)
        except subprocess.TimeoutExpired:
            pass
    # The sessions, orphaned by the listener, were handed to us (subreaper).
    try:
        while os.waitpid(-1, 0)[0]:
            pass
    except ChildProcessError:
        pass


def main():
    config = json.loads(sys.argv[1])
    unknown = {key for key in config if config[key] and key not in KNOWN_KEYS}
    users = config.get("users", [])
    unknown |= {key for user in users for key in user if user[key] and
                key not in ("name", "password")}
    if unknown:
        sys.exit("vsftpd fixture: not offered by a real daemon: " + ", ".join(sorted(unknown)))
    if os.geteuid() != 0:
        sys.exit("vsftpd fixture: vsftpd needs root")
    # Ends through the clean-up below.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    ctypes.CDLL(None).prctl(36, 1)  # PR_SET_CHILD_SUBREAPER
    if "control" not in config:
        die_with_parent()

    remove_stale_pam_services()
    work = tempfile.mkdtemp(prefix="skyvane-vsftpd-")
    pam_service = PAM_PREFIX + str(os.getpid())
    process = None
    try:
        os.chmod(work, 0o755)
        os.mkdir(os.path.join(work, "empty"), 0o755)
        password_file = os.path.join(work, "passwd")
        with open(password_file, "w") as f:
            for user in users:
                f.write("%s:%s\n" % (user["name"], crypt.crypt(user["password"],
                                                                crypt.mksalt(crypt.METHOD_SHA512))))
        with open(pam_service, "w") as f:
            f.write("auth required pam_pwdfile.so pwdfile=%s\n"
                    "account required pam_permit.so\n" % password_file)
        conf_path = os.path.join(work, "vsftpd.conf")

        for _ in range(START_TRIES):
            port = free_port()
            with open(conf_path, "w") as f:
                f.write(configuration(work, config, os.path.basename(pam_service), port,
                                      free_port_range(PASSIVE_PORTS)))
            process = start_vsftpd(conf_path)
            if wait_until_listening(process, port, time.monotonic() + 10):
                break
            stop(process, conf_path)
            output = process.stdout.read().decode(errors="replace").strip()
            process = None
            print("vsftpd fixture: vsftpd did not start: " + output, file=sys.stderr)
        if process is None:
            sys.exit(1)

        if "control" in config:
            control = socket.create_connection(("127.0.0.1", config["control"]))
            control.sendall(b"PORT %d\n" % port)
            control.recv(16)  # anything, or the end of the connection, ends the server
        else:
            print("PORT %d" % port, flush=True)
            process.wait()
    finally:
        if process is not None:
            stop(process, conf_path)
        if os.path.exists(pam_service):
            os.remove(pam_service)
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
