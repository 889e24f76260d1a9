"""What the end-to-end scripts share: the private environment of a headless runner and its logs."""
import os


def read(path):
    """The text of a log the runner wrote; empty when it wrote none."""
    try:
        with open(path, "rb") as f:
            return f.read().decode("utf-8", "replace")
    except OSError:
        return ""


def headless_env(folder, prefix=""):
    """No display, and per-user folders inside the test's own folder."""
    env = dict(os.environ)
    env.pop("DISPLAY", None)
    env.pop("WAYLAND_DISPLAY", None)
    env["XDG_DATA_HOME"] = os.path.join(folder, prefix + "data")
    env["XDG_CONFIG_HOME"] = os.path.join(folder, prefix + "config")
    return env
