"""A real FTP server for the tests: pyftpdlib on a free loopback port.

Prints "PORT <n>" once it listens. Appends every command line it receives to the command
log, as received. With a certificate it requires TLS for login and data: explicit (AUTH
TLS), or implicit (TLS from the first byte). Ends when its standard input closes, so it never outlives the test that
started it, and after a fixed lifetime in any case.
"""

import argparse
import logging
import os
import sys
import threading

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler, TLS_FTPHandler
from pyftpdlib.servers import FTPServer

LIFETIME_SECONDS = 600


def recording(base):
    class RecordingHandler(base):
        command_log = None

        def pre_process_command(self, line, cmd, arg):
            with open(self.command_log, "ab") as log:
                log.write(line.encode("utf-8", "replace") + b"\n")
            base.pre_process_command(self, line, cmd, arg)

    return RecordingHandler


class ImplicitTlsHandler(recording(TLS_FTPHandler)):
    """TLS from the first byte: the greeting waits for the handshake."""

    def handle(self):
        self.on_connect()
        self.secure_connection(self.ssl_context)

    def handle_ssl_established(self):
        self.respond("220 %s" % self.banner)


def end_with_parent():
    """Exits as soon as the parent closes our standard input (or dies)."""
    sys.stdin.buffer.read()
    os._exit(0)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--host", required=True)
    parser.add_argument("--home", required=True)
    parser.add_argument("--user", required=True)
    parser.add_argument("--password", required=True)
    parser.add_argument("--command-log", required=True)
    parser.add_argument("--max-cons-per-ip", type=int, default=0)
    parser.add_argument("--tls-certificate")
    parser.add_argument("--tls-key")
    parser.add_argument("--implicit-tls", action="store_true")
    parser.add_argument("--without-mlsd", action="store_true")
    args = parser.parse_args()

    logging.basicConfig(level=logging.WARNING, stream=sys.stderr)

    authorizer = DummyAuthorizer()
    authorizer.add_user(args.user, args.password, args.home, perm="elradfmwMT")
    if args.implicit_tls:
        RecordingHandler = ImplicitTlsHandler
    elif args.tls_certificate:
        RecordingHandler = recording(TLS_FTPHandler)
    else:
        RecordingHandler = recording(FTPHandler)
    if args.tls_certificate:
        RecordingHandler.certfile = args.tls_certificate
        RecordingHandler.keyfile = args.tls_key
        RecordingHandler.tls_control_required = True
        RecordingHandler.tls_data_required = True
    RecordingHandler.authorizer = authorizer
    if args.without_mlsd:
        # As vsftpd: listings only by LIST, and FEAT offers no MLST.
        RecordingHandler.proto_cmds = {
            name: value for name, value in RecordingHandler.proto_cmds.items()
            if name not in ("MLSD", "MLST")}
    RecordingHandler.command_log = args.command_log
    RecordingHandler.banner = "Test server ready"
    # Refuse a wrong password at once instead of after the usual pause.
    RecordingHandler.auth_failed_timeout = 0

    server = FTPServer((args.host, 0), RecordingHandler)
    # 0 is no limit; a limit answers further logins from the address with 421 and closes.
    server.max_cons_per_ip = args.max_cons_per_ip
    print("PORT %d" % server.socket.getsockname()[1], flush=True)

    threading.Thread(target=end_with_parent, daemon=True).start()
    threading.Timer(LIFETIME_SECONDS, lambda: os._exit(0)).start()
    server.serve_forever()


if __name__ == "__main__":
    main()
