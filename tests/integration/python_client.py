#!/usr/bin/env python3
"""Writes each argument as one message into the command pipe, as any local program may.

A plain socket client with nothing of the project's own code, so the pipe is proven against a
client written in another language. Exit codes: 0 sent, 64 usage, 69 no server to connect to.
"""
import socket
import sys

# The pipe "\\.\pipe\ZivireDadedez" is this abstract socket address on Linux.
ADDRESS = "\0ZivireDadedez"


def main(messages):
    if not messages:
        print("usage: python_client.py MESSAGE...", file=sys.stderr)
        return 64
    with socket.socket(socket.AF_UNIX, socket.SOCK_SEQPACKET) as connection:
        try:
            connection.connect(ADDRESS)
        except OSError as error:
            print(f"python_client: cannot connect: {error}", file=sys.stderr)
            return 69
        for message in messages:
            connection.send(message.encode())
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
