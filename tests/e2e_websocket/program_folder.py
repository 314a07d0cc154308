"""A folder holding a copy of the built program with the simulated reader beside it.

Each test works on its own copy, so that its config.ini and the card on the reader are its
own. Shared by the end-to-end tests of the WebSocket endpoint and the process host.
"""

import os
import shutil
import socket
import tempfile

BUILD_DIR_VARIABLE = "VORN_BUILD_DIR"


def build_dir():
    path = os.environ.get(BUILD_DIR_VARIABLE)
    if not path:
        raise RuntimeError("set %s to the build folder" % BUILD_DIR_VARIABLE)
    return os.path.abspath(path)


def is_windows_build(directory):
    return os.path.exists(os.path.join(directory, "VornIdReader.exe"))


class ProgramFolder:
    """The program, the driver and decoder libraries and the sample cards in a new folder."""

    def __init__(self, parent=None, name_with_space=False):
        self.build = build_dir()
        self.windows = is_windows_build(self.build)
        base = parent or os.environ.get("VORN_E2E_WORK_DIR") or tempfile.gettempdir()
        os.makedirs(base, exist_ok=True)
        self.path = tempfile.mkdtemp(prefix="vorn ws " if name_with_space else "vorn-ws-",
                                     dir=base)
        if self.windows:
            self.program_name = "VornIdReader.exe"
            libraries = ["sdtapi.dll", "WltRS.dll"]
        else:
            self.program_name = "VornIdReader"
            libraries = ["libsdtapi.so", "libWltRS.so"]
        shutil.copy2(os.path.join(self.build, self.program_name), self.path)
        for library in libraries:
            source = os.path.join(self.build, library)
            if os.path.exists(source):
                shutil.copy2(source, self.path)
        shutil.copytree(os.path.join(self.build, "cards"), os.path.join(self.path, "cards"))
        self.program = os.path.join(self.path, self.program_name)
        self.lay_card("resident_long_term.ini")

    def lay_card(self, card):
        """Puts a sample card on the simulated reader; None takes it away."""
        text = "[Reader]\n"
        if card:
            text += "card = cards/%s\n" % card
        self.write("simulator.ini", text)

    def write_config(self, port, ip="127.0.0.1"):
        self.write("config.ini", "[Bind]\nip=%s\nport=%d\n" % (ip, port))

    def write(self, name, text):
        with open(os.path.join(self.path, name), "w", encoding="utf-8") as f:
            f.write(text)

    def sample_cards(self):
        return sorted(os.listdir(os.path.join(self.path, "cards")))

    def card_id(self, card):
        with open(os.path.join(self.path, "cards", card), encoding="utf-8") as f:
            for line in f:
                key, _, value = line.partition("=")
                if key.strip() == "id":
                    return value.strip()
        return None

    def remove(self):
        shutil.rmtree(self.path, ignore_errors=True)


def free_port():
    """A loopback port nobody listens on at the moment."""
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]
