"""A real SMTP server on 127.0.0.1 for the mail tests.

Listens on a free port and prints "ready PORT" on standard output when it
accepts connections. Each message it accepts is written to a folder of its
own under --dir (named 1, 2, ...) and announced as "message N"; the folder
holds the raw message, the envelope, whether TLS was in use, and the
message as Python's email package parses it (headers decoded, body text,
each attachment's file name and bytes). With --stall it announces "stalled"
when the message's data has arrived and never answers it. Ends on SIGTERM
or when standard input closes.
"""

import argparse
import asyncio
import os
import signal
import ssl
import sys
from email import policy
from email.parser import BytesParser

from aiosmtpd.smtp import SMTP


def announce(line):
    sys.stdout.write(line + "\n")
    sys.stdout.flush()


def write(folder, name, data):
    mode = "wb" if isinstance(data, bytes) else "w"
    kwargs = {} if mode == "wb" else {"encoding": "utf-8", "newline": ""}
    with open(os.path.join(folder, name), mode, **kwargs) as f:
        f.write(data)


def save(folder, envelope, tls):
    os.makedirs(folder)
    write(folder, "raw.eml", envelope.original_content)
    write(folder, "mail_from", envelope.mail_from)
    write(folder, "rcpt_to", "\n".join(envelope.rcpt_tos))
    write(folder, "tls", "yes" if tls else "no")
    message = BytesParser(policy=policy.default).parsebytes(envelope.original_content)
    for header in ("From", "To", "Cc", "Subject", "X-Mailer", "Message-ID", "Date"):
        value = message.get(header)
        write(folder, header.lower(), "" if value is None else str(value))
    write(folder, "header_names", "\n".join(message.keys()))
    write(folder, "defects", "\n".join(repr(d) for d in message.defects))
    body = message.get_body(preferencelist=("plain",))
    write(folder, "body", body.get_content() if body is not None else "")
    for n, part in enumerate(message.iter_attachments(), start=1):
        write(folder, "attachment%d.name" % n, part.get_filename() or "")
        write(folder, "attachment%d.data" % n, part.get_payload(decode=True))


class Handler:
    def __init__(self, args):
        self.args = args
        self.count = 0

    async def handle_MAIL(self, server, session, envelope, address, options):
        if self.args.refuse_sender:
            return "553 5.7.1 Sender refused by the test server"
        envelope.mail_from = address
        return "250 OK"

    async def handle_RCPT(self, server, session, envelope, address, options):
        if address in self.args.refuse_recipient:
            return "550 5.1.1 <%s>: Recipient address rejected" % address
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        if self.args.stall:
            announce("stalled")
            await asyncio.Event().wait()
        if self.args.refuse_data:
            return "554 5.6.0 Message refused by the test server"
        self.count += 1
        save(os.path.join(self.args.dir, str(self.count)), envelope, session.ssl is not None)
        announce("message %d" % self.count)
        return "250 Message accepted"


async def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--dir", required=True)
    parser.add_argument("--refuse-recipient", action="append", default=[])
    parser.add_argument("--refuse-sender", action="store_true")
    parser.add_argument("--refuse-data", action="store_true")
    parser.add_argument("--stall", action="store_true")
    parser.add_argument("--cert")
    parser.add_argument("--key")
    args = parser.parse_args()

    context = None
    if args.cert:
        context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
        context.load_cert_chain(args.cert, args.key)

    handler = Handler(args)
    loop = asyncio.get_running_loop()
    server = await loop.create_server(
        lambda: SMTP(handler, hostname="localhost", tls_context=context, require_starttls=False,
                     data_size_limit=64 * 1024 * 1024, enable_SMTPUTF8=True),
        "127.0.0.1", 0)
    done = loop.create_future()
    loop.add_signal_handler(signal.SIGTERM, lambda: done.done() or done.set_result(None))
    loop.add_reader(sys.stdin.fileno(), lambda: done.done() or done.set_result(None))
    announce("ready %d" % server.sockets[0].getsockname()[1])
    await done
    server.close()


asyncio.run(main())
