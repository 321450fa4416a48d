#!/usr/bin/env python3
"""End-to-end scenarios: the real Windows programs under Wine, on the virtual X
display that the caller provides (scripts/test runs this under xvfb-run).

Scenario modules are the files tests/e2e/scenarios_*.py. Each registers its
scenarios with the decorator and works through the Session it is given:

    from e2e import scenario, check

    @scenario("plain start shows the window")
    def _(s):
        p = s.start("Tolvi.exe")
        hwnd = s.wait_window(title="Tolvi", cls="Tolvi.Form")
        check(hwnd, "no window")
        s.driver("close", hwnd)
        check(p.wait() == 0, "exit code")

Every scenario runs in a Wine prefix of its own, copied from a template, and
the prefix's Wine session is ended afterwards. Session offers:
    s.exe(name)                 path of a program in the win64 build
    s.start(exe, *args, relay_include=None) -> Proc  (Proc.wait(timeout), .code, .relay_lines())
    s.run(exe, *args, timeout=60, relay_include=None) -> Proc (finished)
    s.driver(*args) -> stdout text (raises on a non-zero exit unless ok_codes given)
    s.wait_window(title="-", cls="-", timeout=10, pid=None) -> hwnd text or None
    s.windows() -> list of dicts of the visible top-level windows
    s.children(hwnd) -> list of dicts; s.info(hwnd) -> dict
    s.screenshot(name) -> path of a PNG kept under build/e2e-artifacts/ (Wine 8, classic)
                                or build/e2e-artifacts/wine10-themed/ and the like
    s.wine_major                the major version of the Wine it runs on (8 or 10)
    s.themed                    True when a visual style is active (Wine's "Light")
    s.appdata -> the roaming application-data folder (Linux path)
    s.c_drive -> the C: drive (Linux path); s.win_path(path) -> Z:\\... form
    s.set_dpi(dpi)              the system DPI (LogPixels) for the programs started after it
    s.drop(x, y, *paths)        drops files on the window under a screen point, as a file
                                manager does (XDND); paths are Linux paths
The environment comes from scripts/test: the host's Wine 8 with the classic
look, then scripts/wine10 (Debian 13's Wine 10, TOLVI_WINE_THEME=light).
relay_include sets Wine's RelayInclude (for example "user32.ExitWindowsEx;
advapi32.*") and records WINEDEBUG=+relay for that process only; Proc.relay_lines()
gives its "Call dll.Function(args)" lines in order, without thread ids and
return addresses. debug adds channels (for example "+loaddll"); Proc.debug_text()
gives all that was recorded.
"""
import argparse
import importlib.util
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import traceback
import urllib.parse
from pathlib import Path
from xml.sax.saxutils import escape, quoteattr

ROOT = Path(__file__).resolve().parents[2]
SCENARIOS = []


def scenario(name):
    def register(fn):
        SCENARIOS.append((name, fn))
        return fn
    return register


class ScenarioFailure(AssertionError):
    pass


def check(condition, message):
    if not condition:
        raise ScenarioFailure(message)


def _wine_major():
    """The major version of the Wine on the PATH: TOLVI_WINE_MAJOR, else what
    `wine --version` says ("wine-10.0 (Debian 10.0~repack-6)")."""
    if os.environ.get("TOLVI_WINE_MAJOR"):
        return int(os.environ["TOLVI_WINE_MAJOR"])
    out = subprocess.run(["wine", "--version"], capture_output=True, text=True, env=_wine_env()).stdout
    m = re.match(r"wine-(\d+)", out.strip())
    if not m:
        sys.exit(f"e2e: cannot tell Wine's version from {out.strip()!r}")
    return int(m.group(1))


def _themed():
    return bool(os.environ.get("TOLVI_WINE_THEME"))


def _environment_name(wine_major, themed):
    """Where a run's files go: the host's Wine 8 with the classic look keeps
    the top folders, any other environment a folder of its own."""
    if wine_major == 8 and not themed:
        return ""
    return f"wine{wine_major}-{'themed' if themed else 'classic'}"


def _wine_env():
    env = dict(os.environ)
    env.setdefault("WINEDEBUG", "-all")
    env["WINEDLLOVERRIDES"] = "mscoree,mshtml="
    env["WINEARCH"] = "win64"
    return env


def _fields(line):
    parts = line.rstrip("\r").split("\t")
    out = {"hwnd": parts[0]}
    for p in parts[1:]:
        k, _, v = p.partition("=")
        out[k] = v
    return out


class Proc:
    def __init__(self, popen, relay_path):
        self.popen = popen
        self.relay_path = relay_path
        self.code = None

    @property
    def pid(self):
        return self.popen.pid

    def wait(self, timeout=60):
        try:
            self.code = self.popen.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            self.popen.kill()
            self.popen.wait()
            raise ScenarioFailure(f"program still running after {timeout} s")
        return self.code

    def running(self):
        return self.popen.poll() is None

    def debug_text(self):
        """Everything Wine's debug channels wrote (start's relay_include, debug)."""
        if not self.relay_path or not self.relay_path.exists():
            return ""
        return self.relay_path.read_text(encoding="utf-8", errors="replace")

    def relay_lines(self):
        if not self.relay_path or not self.relay_path.exists():
            return []
        calls = []
        pattern = re.compile(r"^[0-9a-f]+:Call ([\w.]+\(.*\))(?: ret=[0-9a-f]+)?$")
        with open(self.relay_path, encoding="utf-8", errors="replace") as f:
            for line in f:
                m = pattern.match(line.rstrip("\n"))
                if m:
                    calls.append(m.group(1))
        return calls


class Session:
    def __init__(self, build, workdir, artifacts, name, wine_major, themed):
        self.build = Path(build).resolve()
        self.wine_major = wine_major
        self.themed = themed
        self.dir = Path(workdir)
        self.artifacts = Path(artifacts)
        self.name = name
        self.prefix = self.dir / "prefix"
        self.env = _wine_env()
        self.env["WINEPREFIX"] = str(self.prefix)
        self._relay_count = 0
        self._procs = []
        subprocess.run(["bash", "-c", 'source "$1"; wine_fresh "$2"', "_", str(ROOT / "scripts/lib/wine.sh"),
                        str(self.prefix)], check=True, env=self.env)
        self.c_drive = self.prefix / "drive_c"
        self.user = os.environ.get("USER") or subprocess.run(["id", "-un"], capture_output=True, text=True).stdout.strip()
        self.appdata = self.c_drive / "users" / self.user / "AppData" / "Roaming"

    def exe(self, name):
        return self.build / name

    def win_path(self, path):
        return "Z:" + str(Path(path).resolve()).replace("/", "\\")

    def _set_relay(self, include):
        reg = self.c_drive / "tolvi-relay.reg"
        value = include.replace("\\", "\\\\")
        reg.write_text("Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Wine\\Debug]\n"
                       f"\"RelayInclude\"=\"{value}\"\n", encoding="utf-8")
        subprocess.run(["wine", "regedit", "/S", "C:\\tolvi-relay.reg"], env=self.env,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)

    def _regedit(self, text):
        # regedit reads a version 5 file as UTF-16 with its mark.
        reg = self.c_drive / "tolvi-e2e.reg"
        reg.write_bytes(b"\xff\xfe" + ("Windows Registry Editor Version 5.00\r\n\r\n" + text).encode("utf-16-le"))
        subprocess.run(["wine", "regedit", "/S", "C:\\tolvi-e2e.reg"], env=self.env,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)

    def set_dpi(self, dpi):
        self._regedit("[HKEY_CURRENT_USER\\Control Panel\\Desktop]\r\n"
                      f"\"LogPixels\"=dword:{dpi:08x}\r\n")
        # Wine reads it when its session starts: end the one regedit began.
        subprocess.run(["wineserver", "-k"], env=self.env, stderr=subprocess.DEVNULL)
        subprocess.run(["wineserver", "-w"], env=self.env, stderr=subprocess.DEVNULL)

    def drop(self, x, y, *paths):
        tool = _xdnd_tool()
        uris = ["file://" + urllib.parse.quote(str(Path(p).resolve())) for p in paths]
        code = subprocess.run([str(tool), str(x), str(y), *uris], stdin=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL, timeout=30).returncode
        if code != 0:
            raise ScenarioFailure(f"the drop at {x},{y} was not taken (xdnd_drop exit {code})")

    def start(self, exe, *args, relay_include=None, env=None, debug=None):
        program = exe if Path(str(exe)).is_absolute() else self.exe(exe)
        penv = dict(self.env)
        if env:
            penv.update(env)
        relay_path = None
        stderr = subprocess.DEVNULL
        channels = ["+relay"] if relay_include else []
        if debug:
            channels.append(debug)
        if relay_include:
            self._set_relay(relay_include)
        if channels:
            self._relay_count += 1
            relay_path = self.dir / f"relay-{self._relay_count}.txt"
            stderr = open(relay_path, "w")
            penv["WINEDEBUG"] = ",".join(channels)
        self._out_count = getattr(self, "_out_count", 0) + 1
        out_path = self.dir / f"stdout-{self._out_count}.txt"
        with open(out_path, "wb") as out:
            p = subprocess.Popen(["wine", str(program), *map(str, args)], env=penv, cwd=self.dir,
                                 stdin=subprocess.DEVNULL, stdout=out, stderr=stderr)
        if stderr is not subprocess.DEVNULL:
            stderr.close()
        proc = Proc(p, relay_path)
        proc.stdout_path = out_path
        self._procs.append(proc)
        return proc

    def run(self, exe, *args, timeout=60, **kw):
        proc = self.start(exe, *args, **kw)
        proc.wait(timeout)
        proc.stdout = proc.stdout_path.read_bytes().decode("utf-8", "replace").replace("\r\n", "\n")
        return proc

    def driver(self, *args, ok_codes=(0,), timeout=60):
        # Output goes through a file, not a pipe: Wine's own long-lived
        # processes (wineserver, the desktop) may inherit the handles of
        # whichever program started them, and a pipe would then never close.
        out_path = self.dir / "driver.out"
        with open(out_path, "wb") as out:
            try:
                code = subprocess.run(["wine", str(self.exe("tests/e2e/tolvi_driver.exe")), *map(str, args)],
                                      env=self.env, stdin=subprocess.DEVNULL, stdout=out,
                                      stderr=subprocess.DEVNULL, timeout=timeout).returncode
            except subprocess.TimeoutExpired:
                raise ScenarioFailure(f"driver {' '.join(map(str, args))} did not answer in {timeout} s")
        if code not in ok_codes:
            raise ScenarioFailure(f"driver {' '.join(map(str, args))} failed with {code}")
        self.last_driver_code = code
        return out_path.read_bytes().decode("utf-8", "replace").replace("\r\n", "\n")

    def wait_window(self, title="-", cls="-", timeout=10, pid=None):
        args = ["wait-window", title, cls, int(timeout * 1000)]
        out = self.driver(*args, ok_codes=(0, 1), timeout=timeout + 30)
        return out.strip() or None

    def windows(self):
        return [_fields(l) for l in self.driver("list").splitlines() if l.strip()]

    def children(self, hwnd):
        return [_fields(l) for l in self.driver("children", hwnd).splitlines() if l.strip()]

    def info(self, hwnd):
        out = self.driver("info", hwnd, ok_codes=(0, 1)).strip()
        return _fields(out) if out else None

    def screenshot(self, name):
        self.artifacts.mkdir(parents=True, exist_ok=True)
        bmp = self.dir / f"{name}.bmp"
        self.driver("screenshot", self.win_path(bmp))
        png = self.artifacts / f"{name}.png"
        if shutil.which("convert"):
            subprocess.run(["convert", str(bmp), str(png)], check=False)
        if not png.exists():
            png = self.artifacts / f"{name}.bmp"
            shutil.copy(bmp, png)
        return png

    def close(self):
        for p in self._procs:
            if p.running():
                p.popen.kill()
        subprocess.run(["wineserver", "-k"], env=self.env, stderr=subprocess.DEVNULL)
        subprocess.run(["wineserver", "-w"], env=self.env, stderr=subprocess.DEVNULL)
        for p in self._procs:
            try:
                p.popen.wait(timeout=10)
            except subprocess.TimeoutExpired:
                pass


def _xdnd_tool():
    """The XDND drag source, built for this machine on first use."""
    # Built for each system the runs happen on (the host, the Debian 13 root):
    # a program built against a newer C library does not start on an older one.
    tool = ROOT / "build" / "e2e-tools" / _system_name() / "xdnd_drop"
    source = Path(__file__).resolve().parent / "xdnd_drop.c"
    if not tool.exists() or tool.stat().st_mtime < source.stat().st_mtime:
        tool.parent.mkdir(parents=True, exist_ok=True)
        subprocess.run(["cc", "-O2", "-o", str(tool), str(source), "-lX11"], check=True)
    return tool


def _system_name():
    fields = {}
    try:
        for line in Path("/etc/os-release").read_text().splitlines():
            k, _, v = line.partition("=")
            fields[k] = v.strip('"')
    except OSError:
        pass
    return f"{fields.get('ID', 'linux')}-{fields.get('VERSION_ID', 'unknown')}"


def load_scenarios():
    here = Path(__file__).resolve().parent
    sys.path.insert(0, str(here))
    sys.modules.setdefault("e2e", sys.modules[__name__])
    for path in sorted(here.glob("scenarios_*.py")):
        # A module may import another's helpers: each is loaded once, under
        # its own name, so that its scenarios register once.
        if path.stem in sys.modules:
            continue
        loader_spec = importlib.util.spec_from_file_location(path.stem, path)
        module = importlib.util.module_from_spec(loader_spec)
        sys.modules[path.stem] = module
        loader_spec.loader.exec_module(module)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", default=str(ROOT / "build/win64"))
    ap.add_argument("--work", default="", help="default: build/e2e[-ENVIRONMENT]")
    ap.add_argument("--artifacts", default="", help="default: build/e2e-artifacts[/ENVIRONMENT]")
    ap.add_argument("--filter", default="")
    ap.add_argument("--junit", default="")
    ap.add_argument("--keep", action="store_true", help="keep the prefixes")
    a = ap.parse_args()
    if not os.environ.get("DISPLAY"):
        sys.exit("e2e: needs an X display (run under xvfb-run)")
    wine_major, themed = _wine_major(), _themed()
    env_name = _environment_name(wine_major, themed)
    a.work = a.work or str(ROOT / "build" / ("e2e" + (f"-{env_name}" if env_name else "")))
    a.artifacts = a.artifacts or str(ROOT / "build" / "e2e-artifacts" / env_name)
    print(f"e2e: Wine {wine_major}, {'themed' if themed else 'classic'}; screenshots in {a.artifacts}", flush=True)
    load_scenarios()
    work = Path(a.work).resolve()
    work.mkdir(parents=True, exist_ok=True)
    results = []
    for i, (name, fn) in enumerate(SCENARIOS):
        if a.filter and a.filter not in name:
            continue
        d = work / f"s{i:02d}"
        shutil.rmtree(d, ignore_errors=True)
        d.mkdir(parents=True)
        started = time.time()
        error = None
        s = None
        try:
            s = Session(a.build, d, a.artifacts, name, wine_major, themed)
            fn(s)
        except ScenarioFailure as e:
            error = str(e)
        except Exception:
            error = traceback.format_exc()
        finally:
            if s:
                s.close()
        seconds = time.time() - started
        results.append((name, error, seconds))
        print(f"{'PASS' if error is None else 'FAIL'} {name} ({seconds:.1f} s)" + ("" if error is None else f": {error}"),
              flush=True)
        if not a.keep and error is None:
            shutil.rmtree(d, ignore_errors=True)
    failed = sum(1 for _, e, _ in results if e is not None)
    if a.junit:
        with open(a.junit, "w", encoding="utf-8") as f:
            f.write(f'<testsuites tests="{len(results)}" failures="{failed}">\n'
                    f'<testsuite name="e2e" tests="{len(results)}" failures="{failed}">\n')
            for name, e, sec in results:
                f.write(f'<testcase name={quoteattr(name)} time="{sec:.1f}">')
                if e is not None:
                    f.write(f'<failure message={quoteattr(e.splitlines()[0] if e else "")}>{escape(e)}</failure>')
                f.write("</testcase>\n")
            f.write("</testsuite>\n</testsuites>\n")
    print(f"e2e: {len(results) - failed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
