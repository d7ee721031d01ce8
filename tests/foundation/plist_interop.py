"""Independent reader and writer for the property-list tests (Python's plistlib).

  plist_interop.py check FILE   exits 0 when FILE holds exactly the sample below
  plist_interop.py write FILE   writes the sample below to FILE
"""
import datetime
import plistlib
import sys


def sample():
    return {
        "string": "Grüße, 世界 & <friends> \"quoted\"",
        "empty string": "",
        "integer": 42,
        "negative": -9223372036854775808,
        "largest": 9223372036854775807,
        "real": 0.1,
        "true": True,
        "false": False,
        "date": datetime.datetime(2024, 2, 29, 23, 59, 58),
        "old date": datetime.datetime(1969, 7, 20, 20, 17, 40),
        "data": bytes(range(256)),
        "empty data": b"",
        "array": [1, "two", [3.5, {}], []],
        "nested": {"b": {"c": [True, {"d": "deep"}]}},
        "line ends": "one\ntwo\tthree",
    }


def main():
    mode, path = sys.argv[1], sys.argv[2]
    if mode == "write":
        with open(path, "wb") as f:
            plistlib.dump(sample(), f, sort_keys=False)
        return 0
    with open(path, "rb") as f:
        loaded = plistlib.load(f)
    expected = sample()
    if loaded != expected:
        for key in expected:
            if loaded.get(key) != expected[key]:
                print(f"{key!r}: expected {expected[key]!r}, got {loaded.get(key)!r}")
        return 1
    if list(loaded.keys()) != list(expected.keys()):
        print("key order differs:", list(loaded.keys()))
        return 1
    for key in ("integer", "negative", "largest"):
        if type(loaded[key]) is not int:
            print(f"{key} is not an integer")
            return 1
    if type(loaded["real"]) is not float or type(loaded["true"]) is not bool:
        print("real or boolean lost its type")
        return 1
    return 0


sys.exit(main())
