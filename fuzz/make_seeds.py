#!/usr/bin/env python3
"""Writes a small seed corpus for every fuzz target into a directory outside the repository.

usage: make_seeds.py OUT_DIR [FIXTURES_DIR]
Real agent transcripts, when a fixtures directory is given, are cut to 60 KB at a line end."""

import json
import pathlib
import sys

out = pathlib.Path(sys.argv[1])
fixtures = pathlib.Path(sys.argv[2]) if len(sys.argv) > 2 else None
UUID = "0f8fad5b-d9cb-469f-a165-70867728950e"


def put(target, name, data):
    d = out / target
    d.mkdir(parents=True, exist_ok=True)
    (d / name).write_bytes(data if isinstance(data, bytes) else data.encode())


def lines(*records):
    return "".join(json.dumps(r, separators=(",", ":")) + "\n" for r in records).encode()


def cut(data, limit=60000):
    if len(data) <= limit:
        return data
    end = data.rfind(b"\n", 0, limit)
    return data[: end + 1] if end >= 0 else data[:limit]


claude = lines(
    {"type": "user", "cwd": "/home/dev/proj", "timestamp": "2025-09-10T08:00:00Z",
     "message": {"role": "user", "content": "hello"}},
    {"type": "user", "isMeta": True, "timestamp": "2025-09-10T08:00:01Z",
     "message": {"content": "meta"}},
    {"type": "assistant", "cwd": "/home/dev/proj", "timestamp": "2025-09-10T08:00:02.5Z",
     "message": {"content": [{"type": "text", "text": "hi"}],
                 "usage": {"input_tokens": 10, "cache_read_input_tokens": 20000,
                           "cache_creation_input_tokens": 500}},
     "rateLimits": {"used_percent": 12.5, "window_minutes": 300, "resets_at": 1757505600}},
)
codex = lines(
    {"timestamp": "2025-09-10T08:00:00Z", "type": "session_meta",
     "payload": {"id": UUID, "cwd": "/home/dev/site"}},
    {"timestamp": "2025-09-10T08:05:00Z", "type": "response_item",
     "payload": {"type": "message", "role": "user",
                 "content": [{"type": "input_text", "text": "add tests"}]}},
    {"timestamp": "2025-09-10T08:06:00+02:00", "type": "event_msg",
     "payload": {"type": "token_count",
                 "info": {"last_token_usage": {"input_tokens": 48000},
                          "model_context_window": 200000},
                 "rate_limits": {"primary": {"used_percent": 4.0, "window_minutes": 300,
                                             "resets_at": 1757505600}}}},
)

for name, data in [("empty", b""), ("blank", b"\n\n{}\n"), ("crlf", b"{}\r\n{\"a\":1}\r\n"),
                   ("unterminated", b"{}\n{\"a\""), ("claude", claude), ("codex", codex)]:
    put("fuzz_window", name, data)

for i, stamp in enumerate(["2025-09-10T08:15:30Z", "2025-09-10T08:15:30.250Z",
                           "2025-09-10T08:15:30.Z", "2025-09-10T08:15:30.250",
                           "2025-09-10T08:15:30+02:00", "2025-13-01T00:00:00Z",
                           "2024-02-29T23:59:60Z", "2025-09-10T08:15:30." + "1" * 19 + "Z",
                           "0000-01-01T00:00:00.5-23:59"]):
    put("fuzz_timestamp", f"stamp{i}", stamp)

texts = ["<command-name>/clear</command-name>\n<command-message>clear</command-message>",
         "<local-command-stdout>ok</local-command-stdout> Done",
         "  fix the\n\n  build  ",
         "<system-reminder>a\nb</system-reminder>Please continue",
         "<System-Reminder>x</System-Reminder> y", "\u2003wide\u00a0space\u3000"]
for i, text in enumerate(texts):
    put("fuzz_message_text", f"text{i}", text)
    put("fuzz_message_text", f"claude{i}", json.dumps(text))
put("fuzz_message_text", "list", json.dumps(
    [{"type": "text", "text": "hi"}, {"type": "image"}, {"type": "text", "text": "there"}]))
put("fuzz_message_text", "codex", json.dumps(
    {"content": [{"type": "input_text", "text": "<environment_context>x</environment_context>"},
                 {"type": "other", "text": "add tests"}]}))

for target, data in [("fuzz_claude_reader", claude), ("fuzz_codex_reader", codex)]:
    put(target, "plain", b"\x00" + data)
    put(target, "recent-edge", b"\x01\x00\x40" + data)
    put(target, "older-edge", b"\x02\x00\x40" + data)

put("fuzz_rate_limits", "codex", codex.splitlines()[-1])
put("fuzz_rate_limits", "claude", claude.splitlines()[-1])
put("fuzz_rate_limits", "nested", json.dumps(
    [{"a": {"rate_limits": {}}}, {"b": [{"rate_limits": {"primary": {
        "used_percent": 50, "window_minutes": 300.0, "resets_at": "2025-09-10"}}}]}]))

for name, data in {
    "plain": "proj-name_1.0",
    "escapes": "quo\"te back\\slash tab\tline\nbell\x07 del\x7f",
    "unicode": "caf\u00e9 \u4e2d\u6587 \U0001F389 \u0085 \u202e \u2066 \u2069 \u2028",
}.items():
    put("fuzz_printed_text", name, data.encode())
put("fuzz_printed_text", "broken", b"ok \xff \xc3 \xe2\x82 \xed\xa0\x80 \xf4\x90\x80\x80 \xc0\xaf")

if fixtures:
    for agent in ("claude", "codex"):
        for path in sorted((fixtures / agent).glob("*.jsonl")):
            data = cut(path.read_bytes())
            put(f"fuzz_{agent}_reader", path.stem, b"\x00" + data)
            put(f"fuzz_{agent}_reader", path.stem + "-recent-edge", b"\x01\x10\x00" + data)
            put("fuzz_window", f"{agent}-{path.stem}", data[:8000])
            for n, line in enumerate(data.splitlines()):
                if b"rate_limits" in line or b"rateLimits" in line:
                    put("fuzz_rate_limits", f"{agent}-{path.stem}-{n}", line)
