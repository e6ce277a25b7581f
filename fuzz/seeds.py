#!/usr/bin/env python3
"""Writes the seed inputs of every harness into fuzz/corpus/<harness>/seed-*.

Inputs that once broke a property are kept beside them as regression-* files and are not
made here. Run from anywhere: python3 fuzz/seeds.py
"""
import gzip
import hashlib
import json
import os
import struct

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus")


def put(harness, name, data):
    folder = os.path.join(ROOT, harness)
    os.makedirs(folder, exist_ok=True)
    if isinstance(data, str):
        data = data.encode("utf-8")
    with open(os.path.join(folder, "seed-" + name), "wb") as out:
        out.write(data)


def compact(value):
    return json.dumps(value, separators=(",", ":"), ensure_ascii=False)


# Wire records, as the protocol suites write them.
health = {"mode": "demo", "liveReady": True, "pricingVersion": "2026-01", "maxSessionMinutes": 90}
wallet = {"balanceMicros": 5000000, "reservedMicros": 250000, "spentMicros": 1250000, "simulated": False}
profile = {"email": "ana@example.com", "deviceId": "4f0c2a4e-8b7d-4c55-9a43-1f5e0f3f1a10", "expiresAt": 1790000000.5}
passage = {"id": "p1", "documentId": "d1", "title": "Field guide", "location": "p. 4", "text": "Passage text"}
history = {"id": "t0", "text": "Earlier", "channel": "them", "startMs": 0, "endMs": 950.25}
transcript = {"id": "t1", "text": "Hello there", "channel": "mic", "final": True, "startMs": 1200,
              "endMs": 2450.5, "lastWordEndMs": 2400}
session = {"id": "0b6e1f7c-2f3e-4c1a-9d1f-3c2b1a0f9e8d", "state": "running", "spentMicros": 1000,
           "reservedMicros": 2000, "budgetMicros": 3000000, "startedAt": 1780000100.75, "reason": "budget",
           "timeLimitSeconds": 3600}
follow_up = {"question": "Why?", "answer": "Because."}
occurrence = {"id": "o1", "startMs": 1200, "endMs": 1800}
citation = {"id": "c1", "documentId": "d1", "title": "Field guide", "location": "§ 2", "quote": "Quoted"}
retrieval = {"searched": True, "matched": 3, "elapsedMs": 12.5}
answer = {"id": "a1", "topic": "Dosage", "title": "Dose limits", "question": "What is the limit?",
          "cue": "Max 4 g a day", "deeper": "Deeper text", "answer": "Full answer", "simpler": "Simpler text",
          "eli5": "ELI5 text", "uncertainty": "low", "hidden": False, "provisional": False, "status": "ready",
          "source": "live", "preparation": "fast", "contextVersion": 7, "followUps": [follow_up],
          "category": "clinical", "occurrences": [occurrence], "citations": [citation], "retrieval": retrieval}
minimal_answer = {k: v for k, v in answer.items()
                  if k not in ("answer", "simpler", "eli5", "category", "occurrences", "citations", "retrieval")}
minimal_answer["followUps"] = []
range_state = {"id": "r1", "fromMs": 0, "toMs": 60000, "availableFromMs": 0, "follow": True, "state": "running",
               "selectedSegments": 10, "reviewedSegments": 4, "reusedEntries": 1, "answers": [answer],
               "message": "Reviewing"}
session_input = {"domain": "Cardiology", "familiarity": "expert", "budgetMicros": 2000000, "source": "microphone",
                 "knowledge": [passage], "durationMinutes": 45, "timeOffsetMs": 61000.5, "history": [history],
                 "historyAvailableFromMs": 1200}
connection = {"serviceUrl": "https://api.corvana.example/", "token": "tok_0123456789abcdefghijklmn"}
device = {"id": "4f0c2a4e-8b7d-4c55-9a43-1f5e0f3f1a10", "name": "Work laptop", "createdAt": 1780000000.25,
          "expiresAt": 1790000000.5, "current": True}

records = [
    ("server-event-full", 0, {"type": "bank", "id": "e1", "error": "failed", "code": "E42", "message": "Text",
                              "session": session, "wallet": wallet, "health": health, "transcript": transcript,
                              "answer": answer, "answers": [answer, minimal_answer], "range": range_state}),
    ("server-event-ready", 0, {"type": "ready"}),
    ("server-event-ack", 0, {"type": "command.ack", "id": "5d4c3b2a-0000-4000-8000-000000000001", "error": "No."}),
    ("server-event-transcript", 0, {"type": "transcript", "transcript": transcript}),
    ("account", 1, {"health": health, "wallet": wallet, "profile": profile}),
    ("health", 2, health), ("wallet", 3, wallet), ("account-profile", 4, profile), ("account-device", 5, device),
    ("session-snapshot", 6, session), ("session-input", 7, session_input), ("transcript", 8, transcript),
    ("history-segment", 9, history), ("knowledge-passage", 10, passage), ("document-citation", 11, citation),
    ("retrieval-info", 12, retrieval), ("prepared-follow-up", 13, follow_up), ("speech-occurrence", 14, occurrence),
    ("prepared-answer", 15, answer), ("prepared-answer-minimal", 15, minimal_answer), ("range-state", 16, range_state),
    ("connection", 17, connection),
    ("sign-in-challenge", 18, {"requestId": "r1", "expiresAt": 1790000000.5, "retryAfterSeconds": 30,
                               "simulatedCode": "12345678"}),
    ("sign-in-grant", 19, {"token": "tok_0123456789abcdefghijklmn", "expiresAt": 1790000000.5, "deviceId": "d1"}),
    ("failure", 20, {"message": "Try again later."}),
]
for name, selector, value in records:
    put("wire_records", name, bytes([selector]) + compact(value).encode())
put("wire_records", "integers", bytes([3]) + b'{"balanceMicros":9007199254740993,"reservedMicros":'
    b'-9223372036854775808,"spentMicros":1e3,"simulated":true}')


# Connection: JSON form (odd first byte) or URL length, URL and token (UTF-8, or UTF-16 with bit 1).
def url_token(url, token, utf16=False):
    encode = (lambda s: s.encode("utf-16-le")) if utf16 else (lambda s: s.encode("utf-8"))
    u = encode(url)
    return bytes([2 if utf16 else 0, len(u)]) + u + encode(token)


token = "tok_0123456789abcdefghijklmn"
put("connection", "json", b"\x01" + compact(connection).encode())
put("connection", "json-bad-token", b"\x01" + compact({"serviceUrl": "https://a.example", "token": "short"}).encode())
put("connection", "https-slash", url_token("https://api.corvana.example/", token))
put("connection", "localhost-port", url_token("http://localhost:4318", "x" * 24))
put("connection", "ipv6-loopback", url_token("http://[::1]:4318", token))
put("connection", "user-query", url_token("https://ana@api.example/?#", token))
put("connection", "token-line-break", url_token("http://127.0.0.1:4318", "tok en\u2028" + "y" * 30))
put("connection", "utf16", url_token("https://api.corvana.example", "t\u00e9" * 20 + "\U0001F600", utf16=True))
put("connection", "percent", url_token("https://a%41b.example:443/", token))


# WAV recordings.
def chunk(tag, body):
    return tag + struct.pack("<I", len(body)) + body + (b"\0" if len(body) % 2 else b"")


def riff(body):
    return b"RIFF" + struct.pack("<I", len(body) + 4) + b"WAVE" + body


def fmt(code=1, channels=1, rate=16000, byte_rate=32000, align=2, bits=16, extra=b""):
    return struct.pack("<HHIIHH", code, channels, rate, byte_rate, align, bits) + extra


samples = bytes((i * 37) & 0xFF for i in range(64))
put("pcm_recording", "canonical", riff(chunk(b"fmt ", fmt()) + chunk(b"data", samples)))
put("pcm_recording", "extension-and-list", riff(chunk(b"LIST", b"INFOISFT\x05\0\0\0abc\0\0") +
                                                chunk(b"fmt ", fmt(extra=b"\0\0")) + chunk(b"data", samples)))
put("pcm_recording", "two-odd-data", riff(chunk(b"fmt ", fmt()) + chunk(b"data", samples[:7]) +
                                          chunk(b"fact", b"\x01\0\0") + chunk(b"data", samples[:9])))
put("pcm_recording", "data-before-fmt", riff(chunk(b"data", samples) + chunk(b"fmt ", fmt())))
put("pcm_recording", "float", riff(chunk(b"fmt ", fmt(code=3, bits=32, align=4, byte_rate=64000)) +
                                   chunk(b"data", samples)))
put("pcm_recording", "second-fmt-8k", riff(chunk(b"fmt ", fmt()) + chunk(b"data", samples) +
                                           chunk(b"fmt ", fmt(rate=8000, byte_rate=16000))))
put("pcm_recording", "trailing-bytes", riff(chunk(b"fmt ", fmt()) + chunk(b"data", samples) + b"\0" * 7))

# Knowledge files.
document = {"id": "0b6e1f7c-2f3e-4c1a-9d1f-3c2b1a0f9e8d", "title": "Field notes.md",
            "domainKey": hashlib.sha256(b"cardiology").hexdigest(), "enabled": True,
            "fingerprint": hashlib.sha256(b"notes").hexdigest(), "importedAt": 798000000.125,
            "passages": [{"id": "0b6e1f7c-2f3e-4c1a-9d1f-3c2b1a0f9e8d:1",
                          "documentId": "0b6e1f7c-2f3e-4c1a-9d1f-3c2b1a0f9e8d", "title": "Field notes.md",
                          "location": "Text · passage 1", "text": "Beta blockers lower the heart rate."},
                         {"id": "0b6e1f7c-2f3e-4c1a-9d1f-3c2b1a0f9e8d:2",
                          "documentId": "0b6e1f7c-2f3e-4c1a-9d1f-3c2b1a0f9e8d", "title": "Field notes.md",
                          "location": "Text · passage 2", "text": "Ćwiczenia — naïve café."}]}
preferences = [{"id": "A1B2C3D4-0000-4000-8000-000000000001", "domainKey": document["domainKey"],
                "topic": "Dose limits", "prominence": "known", "style": "Deeper", "updatedAt": 798000100.5},
               {"id": "A1B2C3D4-0000-4000-8000-000000000002", "domainKey": document["domainKey"],
                "topic": "  Ärger-Management!! ", "prominence": "quiet", "style": "Cue", "updatedAt": -1.25}]
put("knowledge_file", "empty", compact({"documents": [], "learningEnabled": False, "preferences": []}))
put("knowledge_file", "library", compact({"documents": [document], "learningEnabled": True,
                                          "preferences": preferences}))
# An unpaired surrogate escaped in the file: it has no UTF-8 form and is written back replaced.
put("knowledge_file", "unpaired-surrogate",
    compact({"documents": [], "learningEnabled": True, "preferences": preferences}).replace("0001", "\\ud8001", 1))

# Text and Markdown (first byte: 0 txt, 1 md, 2 markdown, 3 MD, 4 Txt).
put("importer_text", "plain", b"\x00" + "Beta blockers lower the heart rate.\nAsk about dosage.\n".encode())
put("importer_text", "markdown", b"\x01" + "# Notes\r\n\r\n- *naïve* café\r\n- e\u0301 \U0001F469\u200D\U0001F4BB\0\n"
    .encode())
put("importer_text", "long-word", b"\x02" + ("a" * 1000 + " " + "b" * 999).encode())
put("importer_text", "blank", b"\x03" + " \t\r\n\u2028\u3000".encode())
put("importer_text", "not-utf8", b"\x04" + b"caf\xe9\n")
put("importer_text", "words", b"\x00" + ("word " * 400).encode())
# After the first cut, a space that carries a combining mark: one character, not whitespace.
put("importer_text", "marked-space-after-cut", b"\x01" + ("a" * 1799 + " " + " \u0301x end").encode())


# Text PDFs, built the way the importer suites build them.
PADDING = bytes.fromhex("28bf4e5e4e758a4164004e56fffa01082e2e00b6d0683e802f0ca9fe6453697a")


def rc4(key, data):
    s = list(range(256))
    j = 0
    for i in range(256):
        j = (j + s[i] + key[i % len(key)]) & 0xFF
        s[i], s[j] = s[j], s[i]
    out, i, j = bytearray(), 0, 0
    for byte in data:
        i = (i + 1) & 0xFF
        j = (j + s[i]) & 0xFF
        s[i], s[j] = s[j], s[i]
        out.append(byte ^ s[(s[i] + s[j]) & 0xFF])
    return bytes(out)


def md5(data):
    return hashlib.md5(data).digest()


def content_for(text):
    if not text:
        return b""
    lines = text.split("\n")
    out = b"BT\n/F1 10 Tf\n12 TL\n40 760 Td\n"
    for i, line in enumerate(lines):
        if i:
            out += b"T*\n"
        escaped = line.encode("latin-1", "replace").replace(b"\\", b"\\\\").replace(b"(", b"\\(").replace(b")", b"\\)")
        out += b"(" + escaped + b") Tj\n"
    return out + b"ET\n"


def pdf(pages, password=None):
    count = len(pages)
    objects = 3 + 2 * count + (1 if password is not None else 0)
    file_id = md5(str(count).encode() + "|".join(pages).encode())
    permissions = -44
    padded = lambda p: (p + PADDING)[:32]
    if password is not None:
        owner = rc4(md5(padded(b"owner-" + password))[:5], padded(password))
        key = md5(padded(password) + owner + struct.pack("<i", permissions) + file_id)[:5]
        user = rc4(key, PADDING)

    def protect(number, data):
        if password is None:
            return data
        return rc4(md5(key + struct.pack("<I", number)[:3] + b"\0\0")[:10], data)

    out = bytearray(b"%PDF-1.4\n%\xe2\xe3\xcf\xd3\n")
    offsets = [0] * (objects + 1)

    def add(number, body):
        offsets[number] = len(out)
        out.extend(str(number).encode() + b" 0 obj\n" + body + b"\nendobj\n")

    kids = b" ".join(str(4 + 2 * i).encode() + b" 0 R" for i in range(count))
    add(1, b"<< /Type /Catalog /Pages 2 0 R >>")
    add(2, b"<< /Type /Pages /Kids [" + kids + b"] /Count " + str(count).encode() + b" >>")
    add(3, b"<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>")
    for i, text in enumerate(pages):
        page, content = 4 + 2 * i, 5 + 2 * i
        add(page, b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Resources << /Font << /F1 3 0 R >> >>"
                  b" /Contents " + str(content).encode() + b" 0 R >>")
        stream = protect(content, content_for(text))
        add(content, b"<< /Length " + str(len(stream)).encode() + b" >>\nstream\n" + stream + b"\nendstream")
    if password is not None:
        add(objects, b"<< /Filter /Standard /V 1 /R 2 /Length 40 /P " + str(permissions).encode() +
            b" /O <" + owner.hex().encode() + b"> /U <" + user.hex().encode() + b"> >>")
    xref = len(out)
    out.extend(b"xref\n0 " + str(objects + 1).encode() + b"\n0000000000 65535 f \n")
    for number in range(1, objects + 1):
        out.extend(str(offsets[number]).rjust(10, "0").encode() + b" 00000 n \n")
    out.extend(b"trailer\n<< /Size " + str(objects + 1).encode() + b" /Root 1 0 R")
    if password is not None:
        out.extend(b" /Encrypt " + str(objects).encode() + b" 0 R")
    out.extend(b" /ID [<" + file_id.hex().encode() + b"> <" + file_id.hex().encode() + b">] >>\n")
    out.extend(b"startxref\n" + str(xref).encode() + b"\n%%EOF\n")
    return bytes(out)


put("importer_pdf", "one-page", pdf(["Beta blockers lower the heart rate.\nAsk about dosage."]))
put("importer_pdf", "blank-second-page", pdf(["First page text", "", "Third page (with) \\ escapes"]))
put("importer_pdf", "locked", pdf(["Secret text"], password=b"open sesame"))


# HTTP replies: [operation][status, 2 bytes][repeat][header lines] 0 [body].
# Operations: 0 account, 1 devices, 2 revoke, 3 sign-out, 4 snapshot, 5 end session, 6 begin, 7 verify.
def reply(operation, status, body=b"", headers=b"", repeat=0):
    if isinstance(body, str):
        body = body.encode()
    return bytes([operation]) + struct.pack(">H", status) + bytes([repeat]) + headers + b"\0" + body


def with_length(body):
    return b"Content-Type: application/json\nContent-Length: " + str(len(body)).encode()


account = compact({"health": health, "wallet": wallet, "profile": profile}).encode()
devices = compact({"devices": [device]}).encode()
grant = compact({"token": token, "expiresAt": 1790000000.5, "deviceId": "d1"}).encode()
challenge = compact({"requestId": "r1", "expiresAt": 1790000000.5, "retryAfterSeconds": 30}).encode()
failure = compact({"message": "Sign in again."}).encode()
put("http_reply", "account", reply(0, 200, account, with_length(account)))
put("http_reply", "devices", reply(1, 200, devices))
put("http_reply", "revoke-401", reply(2, 401, failure, with_length(failure)))
put("http_reply", "sign-out-302", reply(3, 302, b"", b"Location: https://elsewhere.example/\nContent-Length: 0"))
put("http_reply", "snapshot-chunked", reply(4, 200, b"%x\r\n" % len(compact(session)) + compact(session).encode() +
                                            b"\r\n0\r\n\r\n", b"Transfer-Encoding: chunked"))
put("http_reply", "devices-chunk-cut-short", reply(1, 200, b'100\r\n{"devices":[]}', b"Transfer-Encoding: chunked"))
put("http_reply", "end-session-500", reply(5, 500, b"<html>oops</html>", b"Content-Type: text/html"))
put("http_reply", "account-oversize", reply(0, 200, b"        ", b"", repeat=0xFF))
put("http_reply", "begin", reply(6, 200, challenge, with_length(challenge)))
put("http_reply", "begin-429-long", reply(6, 429, compact({"message": "m" * 999}).encode()))
put("http_reply", "begin-oversize", reply(6, 200, b" ", b"", repeat=0xC0 + 31))
put("http_reply", "verify", reply(7, 200, grant, with_length(grant)))
gz = gzip.compress(grant, mtime=0)
put("http_reply", "verify-gzip", reply(7, 200, gz, b"Content-Encoding: gzip\nContent-Length: " + str(len(gz)).encode()))
put("http_reply", "verify-short-token", reply(7, 200, compact({"token": "short", "expiresAt": 1, "deviceId": "d"})))
