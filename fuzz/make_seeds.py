#!/usr/bin/env python3
"""Seed inputs for the fuzz targets, taken from the requests of the tests.

Usage: make_seeds.py OUT_DIR
Writes OUT_DIR/<target>/<name>:
- request: every JSON body that a test posts to a route (post_json(root,
  "/6012", R"({...})") and the like), one seed per intake, in the input
  format of fuzz_request.cpp;
- codecs: every string literal of the tests that is a JSON object or array,
  behind the two selector bytes of fuzz_codecs.cpp;
- options: every literal of the form keyword=value[&...] (option commands).
"""
import hashlib
import json
import os
import re
import sys

CALL = re.compile(
    r'post_json\(\s*\w+\s*,\s*"(/[^"]{1,7})"\s*,\s*'
    r'(R"(?P<delim>[^(]*)\((?P<raw>.*?)\)(?P=delim)"|"(?P<plain>(?:[^"\\]|\\.)*)")',
    re.S)
LITERAL = re.compile(r'R"(?P<delim>[^(\s]{0,8})\((?P<raw>.*?)\)(?P=delim)"|"(?P<plain>(?:[^"\\\n]|\\.)*)"', re.S)
OPTION = re.compile(r'^[A-Za-z]+=[^&]*(&[A-Za-z]+=[^&]*)*$|^(oemclean|softversion|debug|zorva)$')
ESCAPES = {'n': '\n', 'r': '\r', 't': '\t', '"': '"', '\\': '\\', "'": "'", '0': '\0'}


def unescape(s):
    out, i = [], 0
    while i < len(s):
        if s[i] == '\\' and i + 1 < len(s):
            out.append(ESCAPES.get(s[i + 1], s[i + 1]))
            i += 2
        else:
            out.append(s[i])
            i += 1
    return ''.join(out)


def request_seed(route, flags, payload, text):
    return (route.encode() + b'\n' + bytes([flags]) + len(payload).to_bytes(2, 'little') +
            payload + text.encode('utf-8', 'surrogateescape'))


def main():
    out = sys.argv[1]
    src = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'tests')
    seeds = {}
    for name in sorted(os.listdir(src)):
        if not name.endswith('_test.cpp'):
            continue
        text = open(os.path.join(src, name), encoding='utf-8', errors='replace').read()
        for m in CALL.finditer(text):
            route = m.group(1)
            body = m.group('raw') if m.group('raw') is not None else unescape(m.group('plain'))
            status0 = b'\0\0\0\0'
            seeds[request_seed(route, 0, status0, body)] = 1          # POST, status 0
            seeds[request_seed(route, 1 | 4 * 1, b'', body.replace('"', '%22')[:1023])] = 1  # GET, silent
            seeds[request_seed(route, 0 | 4 * 5, b'\xff' * 64, body)] = 1  # POST, short reply
    codecs, options = {}, {}
    for name in sorted(os.listdir(src)):
        if not name.endswith('_test.cpp'):
            continue
        text = open(os.path.join(src, name), encoding='utf-8', errors='replace').read()
        for m in LITERAL.finditer(text):
            lit = m.group('raw') if m.group('raw') is not None else unescape(m.group('plain') or '')
            if lit[:1] in '{[':
                try:
                    json.loads(lit)
                except ValueError:
                    continue
                codecs[b'\0\0' + lit.encode('utf-8', 'surrogateescape')] = 1
            elif OPTION.match(lit):
                options[lit.encode('utf-8', 'surrogateescape')] = 1
    for target, found in (('request', seeds), ('codecs', codecs), ('options', options)):
        os.makedirs(os.path.join(out, target), exist_ok=True)
        for seed in found:
            with open(os.path.join(out, target, hashlib.sha1(seed).hexdigest()), 'wb') as f:
                f.write(seed)
        print('%d %s seeds' % (len(found), target))


if __name__ == '__main__':
    main()
