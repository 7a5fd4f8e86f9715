#!/usr/bin/env python3
"""Finishes the browser's module after emcc: checks the list of functions Asyncify instruments
(shell/web/waiting_functions.txt) against the module's calls, then drops the function names the
check needed.

  finish_web_module.py LIST game.wasm

Asyncify saves and restores only the listed functions' frames. A function that calls a listed
one directly can be on the stack while the program waits too, so it must be listed: the check
fails naming each one that is not (after inlining the names are the module's, not the
source's). Calls through a pointer or a virtual function can't be followed here; the list's
own entries cover those (the host's modal calls, window procedures, dialog procedures and
timer callbacks), and the browser tests go through every modal path.
"""
import os
import re
import sys

WAITS = {'js_wait_event', 'js_await_picture_read', 'js_load_dialogs'}  # the imports that wait for the page


def leb(data, at):
    value = shift = 0
    while True:
        byte = data[at]
        at += 1
        value |= (byte & 0x7F) << shift
        shift += 7
        if byte < 0x80:
            return value, at


def sleb(data, at):
    value = shift = 0
    while True:
        byte = data[at]
        at += 1
        value |= (byte & 0x7F) << shift
        shift += 7
        if byte < 0x80:
            return (value - (1 << shift) if byte & 0x40 else value), at


def sections(data):
    at = 8
    while at < len(data):
        start = at
        kind = data[at]
        size, at = leb(data, at + 1)
        yield kind, start, at, at + size
        at += size


def custom_name(data, body):
    length, at = leb(data, body)
    return data[at:at + length]


def direct_calls(data, start, end):
    """The functions a body calls directly (MVP instructions, as emcc emits them)."""
    count, at = leb(data, start)
    for _ in range(count):
        _, at = leb(data, at)
        at += 1
    called = set()
    while at < end:
        op = data[at]
        at += 1
        if op in (0x02, 0x03, 0x04):
            if data[at] == 0x40 or 0x6F <= data[at] <= 0x7F:
                at += 1
            else:
                _, at = sleb(data, at)
        elif op in (0x0C, 0x0D, 0x20, 0x21, 0x22, 0x23, 0x24):
            _, at = leb(data, at)
        elif op == 0x0E:
            targets, at = leb(data, at)
            for _ in range(targets + 1):
                _, at = leb(data, at)
        elif op == 0x10:
            function, at = leb(data, at)
            called.add(function)
        elif op == 0x11:
            _, at = leb(data, at)
            _, at = leb(data, at)
        elif 0x28 <= op <= 0x3E:
            _, at = leb(data, at)
            _, at = leb(data, at)
        elif op in (0x3F, 0x40):
            at += 1
        elif op in (0x41, 0x42):
            _, at = sleb(data, at)
        elif op == 0x43:
            at += 4
        elif op == 0x44:
            at += 8
        elif op == 0x1C:
            types, at = leb(data, at)
            at += types
        elif op == 0xFC:
            sub, at = leb(data, at)
            if sub > 11:
                raise ValueError(f'instruction 0xfc {sub} not known here')
            if sub in (8, 9):
                _, at = leb(data, at)
            at += {8: 1, 10: 2, 11: 1}.get(sub, 0)
        elif not (op in (0x00, 0x01, 0x05, 0x0B, 0x0F, 0x1A, 0x1B) or 0x45 <= op <= 0xC4):
            raise ValueError(f'instruction 0x{op:02x} not known here')
    return called


def main():
    listing, module = sys.argv[1], sys.argv[2]
    with open(listing, encoding='utf-8') as file:
        patterns = [re.compile('.*'.join(re.escape(part) for part in line.strip().split('*')) + '$')
                    for line in file if line.strip()]
    with open(module, 'rb') as file:
        data = file.read()

    imported = 0
    bodies = []
    names = {}
    for kind, _, body, end in sections(data):
        if kind == 2:
            count, at = leb(data, body)
            for _ in range(count):
                for _ in range(2):
                    length, at = leb(data, at)
                    at += length
                what = data[at]
                at += 1
                if what == 0:
                    _, at = leb(data, at)
                    imported += 1
                elif what in (1, 2):
                    if what == 1:
                        at += 1
                    flags = data[at]
                    _, at = leb(data, at + 1)
                    if flags & 1:
                        _, at = leb(data, at)
                else:
                    at += 2
        elif kind == 10:
            count, at = leb(data, body)
            for _ in range(count):
                size, at = leb(data, at)
                bodies.append((at, at + size))
                at += size
        elif kind == 0 and custom_name(data, body) == b'name':
            length, at = leb(data, body)
            at += length
            while at < end:
                sub = data[at]
                size, at = leb(data, at + 1)
                if sub == 1:
                    count, entry = leb(data, at)
                    for _ in range(count):
                        index, entry = leb(data, entry)
                        length, entry = leb(data, entry)
                        names[index] = data[entry:entry + length].decode('utf-8', 'replace')
                        entry += length
                at += size
    if not names:
        sys.exit(f'{module}: no function names (link with --profiling-funcs)')

    listed = {f for f in range(imported, imported + len(bodies))
              if any(p.match(names.get(f, '')) for p in patterns)}
    waiting = listed | {f for f in range(imported) if names.get(f) in WAITS}
    missing = {}
    reaches_a_wait = False
    for index, (start, end) in enumerate(bodies):
        caller = imported + index
        for callee in direct_calls(data, start, end) & waiting:
            reaches_a_wait = True
            if caller not in listed:
                missing.setdefault(names.get(caller, f'#{caller}'), set()).add(names.get(callee, f'#{callee}'))
    if missing or not reaches_a_wait:
        for caller, callees in sorted(missing.items()):
            print(f'{listing}: {caller} calls {", ".join(sorted(callees))} and may wait: list it', file=sys.stderr)
        if not reaches_a_wait:
            print(f'{module}: nothing calls {", ".join(sorted(WAITS))}: the check is out of date', file=sys.stderr)
        os.remove(module)  # so that the next build links again
        sys.exit(1)

    finished = bytearray(data[:8])
    for kind, start, body, end in sections(data):
        if not (kind == 0 and custom_name(data, body) == b'name'):
            finished += data[start:end]
    with open(module, 'wb') as file:
        file.write(finished)


if __name__ == '__main__':
    main()
