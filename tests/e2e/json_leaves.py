#!/usr/bin/env python3
"""Reads each file named as one JSON document, strictly, and prints a line
"=== FILE", then each leaf as PATH=VALUE: the keys and indexes from the top
joined by dots, the value as JSON in ASCII ("Saw", 12, true, null); an
empty object or array is a leaf too ({} or []). A file that holds anything
but exactly one valid document in UTF-8, or a key given twice, ends it with
status 1 and the reason. One run reads them all: where files are read
slowly, as in the emulated machine, Python's start takes seconds."""
import json
import sys


def no_twice(pairs):
    keys = [key for key, _ in pairs]
    if len(keys) != len(set(keys)):
        raise ValueError("a key given twice: %r" % keys)
    return dict(pairs)


def leaves(value, path):
    if isinstance(value, dict) and value:
        for key, item in value.items():
            yield from leaves(item, path + [key])
    elif isinstance(value, list) and value:
        for index, item in enumerate(value):
            yield from leaves(item, path + [str(index)])
    else:
        yield ".".join(path), json.dumps(value)


def main():
    for name in sys.argv[1:]:
        with open(name, "rb") as f:
            data = f.read()
        try:
            document = json.loads(data.decode("utf-8"), object_pairs_hook=no_twice,
                                  parse_constant=lambda word: sys.exit("not JSON: " + word))
        except ValueError as e:
            sys.exit("%s: not one JSON document: %s" % (name, e))
        print("=== " + name)
        for path, value in leaves(document, []):
            print("%s=%s" % (path, value))


main()
