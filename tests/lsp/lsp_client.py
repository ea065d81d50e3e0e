"""A scripted language-server client: starts `tez lsp` and speaks to it over pipes."""
import json
import subprocess
import threading
import queue
import time

PATIENCE = 10.0  # seconds a test waits for an answer before calling it lost


class Client:
    def __init__(self, tez, env=None, args=()):
        self.process = subprocess.Popen([tez, "lsp", *args], stdin=subprocess.PIPE,
                                        stdout=subprocess.PIPE, env=env)
        self.messages = queue.Queue()
        self.notes = []  # every notification, in order
        self.next_id = 0
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        out = self.process.stdout
        while True:
            length = None
            while True:
                line = out.readline()
                if not line:
                    self.messages.put(None)
                    return
                line = line.strip()
                if not line:
                    break
                name, _, value = line.decode().partition(":")
                if name.lower() == "content-length":
                    length = int(value)
            self.messages.put(json.loads(out.read(length)))

    def send_raw(self, data):
        self.process.stdin.write(data)
        self.process.stdin.flush()

    def send(self, message):
        body = json.dumps(message).encode()
        self.send_raw(b"Content-Length: %d\r\n\r\n" % len(body) + body)

    def notify(self, method, params):
        self.send({"jsonrpc": "2.0", "method": method, "params": params})

    def request(self, method, params=None):
        self.next_id += 1
        message = {"jsonrpc": "2.0", "id": self.next_id, "method": method}
        if params is not None:
            message["params"] = params
        self.send(message)
        return self.answer(self.next_id)

    def take(self):
        message = self.messages.get(timeout=PATIENCE)
        if message is not None and "id" not in message:
            self.notes.append(message)
        return message

    def answer(self, wanted):
        while True:
            message = self.take()
            if message is None:
                raise EOFError("the server ended")
            if message.get("id") == wanted and "method" not in message:
                return message

    def wait_note(self, method, condition=lambda params: True):
        """The first notification of `method`, seen already or coming, that meets `condition`."""
        deadline = time.monotonic() + PATIENCE
        seen = 0
        while True:
            for note in self.notes[seen:]:
                if note["method"] == method and condition(note["params"]):
                    self.notes.remove(note)
                    return note["params"]
            seen = 0
            if time.monotonic() > deadline:
                raise TimeoutError(method)
            try:
                self.take()
            except queue.Empty:
                pass

    def finish(self, timeout=PATIENCE):
        self.process.stdin.close()
        return self.process.wait(timeout=timeout)
