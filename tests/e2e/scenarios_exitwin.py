"""The exit engine's real platform calls, one operation per Wine prefix.

probe_exitwin runs one operation of the engine with Wine's relay record on for
the calls that matter. Its stderr (which is also where the record goes) names
its thread and marks the end of the operation, so the record is narrowed to
the calls the operation itself made, in order. Under Wine ExitWindowsEx ends
only the prefix's own session, and the probe, a console program, outlives it.
"""
import re
import subprocess

from e2e import scenario, check

PROBE = "tests/e2e/probe_exitwin.exe"
RECORDED = ";".join([
    "advapi32.OpenProcessToken", "advapi32.LookupPrivilegeValueW", "advapi32.AdjustTokenPrivileges",
    "kernel32.CloseHandle", "user32.ExitWindowsEx", "kernel32.LoadLibraryExW", "kernel32.GetProcAddress",
    "kernel32.FreeLibrary", "kernel32.SetSystemPowerState", "powrprof.*",
])

# One pattern per expected call; (?P<token>) and (?P<module>) must name the
# same handle wherever they appear.
PRIVILEGE = [
    r"advapi32\.OpenProcessToken\(ffffffffffffffff,00000028,\w+\)",
    r'advapi32\.LookupPrivilegeValueW\(00000000,\w+ L"SeShutdownPrivilege",\w+\)',
    r"advapi32\.AdjustTokenPrivileges\((?P<token>\w+),00000000,\w+,00000000,00000000,00000000\)",
    r"kernel32\.CloseHandle\((?P<token>\w+)\)",
]


def permission(function):
    return [
        r'kernel32\.LoadLibraryExW\(\w+ L"Powrprof\.dll",00000000,00000800\)',
        r'kernel32\.GetProcAddress\((?P<module>\w+),\w+ "%s"\)' % function,
        r"powrprof\.%s\(\)" % function,
        r"kernel32\.FreeLibrary\((?P<module>\w+)\)",
    ]


def run_probe(s, operation, recorded=RECORDED):
    """Runs the probe; returns what it printed, the calls of the operation, and
    whether the shutdown privilege is enabled in its token afterwards."""
    proc = s.run(PROBE, operation, relay_include=recorded, timeout=120)
    check(proc.code == 0, f"{operation}: probe exit code {proc.code}")
    lines = proc.relay_path.read_text(encoding="utf-8", errors="replace").splitlines()
    head = next((re.fullmatch(r"thread ([0-9a-f]+) image ([0-9a-f]+)-([0-9a-f]+)", l) for l in lines
                 if l.startswith("thread ")), None)
    check(head, f"{operation}: the probe did not name its thread and image")
    thread, low, high = head.group(1), int(head.group(2), 16), int(head.group(3), 16)
    calls, ended, privilege = [], False, None
    # Only calls returning into the probe's own image: the libraries it loads
    # make calls of their own on the same thread.
    call = re.compile(r"^%s:Call ([\w.]+\(.*\)) ret=([0-9a-f]+)$" % thread)
    for line in lines:
        if line == "end of operation":
            ended = True
        elif line.startswith("shutdown privilege "):
            privilege = line.split()[-1]
        elif not ended:
            m = call.match(line)
            if m and low <= int(m.group(2), 16) < high:
                calls.append(m.group(1))
    check(ended and privilege, f"{operation}: the probe did not finish")
    return proc.stdout.strip(), calls, privilege == "enabled"


def check_calls(operation, calls, expected):
    shown = "\n  ".join(calls)
    check(len(calls) == len(expected), f"{operation}: {len(calls)} calls, expected {len(expected)}:\n  {shown}")
    handles = {}
    for actual, pattern in zip(calls, expected):
        m = re.fullmatch(pattern, actual, re.IGNORECASE)
        check(m, f"{operation}: {actual!r} does not match {pattern!r} in:\n  {shown}")
        for name, value in m.groupdict().items():
            check(handles.setdefault(name, value) == value, f"{operation}: {name} changed in:\n  {shown}")


def exit_request(flags):
    return [r"user32\.ExitWindowsEx\(%08x,00000000\)" % flags]


@scenario("exit engine: power off enables the shutdown privilege, then asks for flags 9")
def _(s):
    message, calls, enabled = run_probe(s, "PowerOffWindows")
    check(message == "", f"PowerOffWindows raised {message!r}")
    check_calls("PowerOffWindows", calls, PRIVILEGE + exit_request(0x9))
    check(enabled, "the shutdown privilege is not enabled in the token")


@scenario("exit engine: reboot enables the shutdown privilege, then asks for flags 2")
def _(s):
    message, calls, enabled = run_probe(s, "RebootWindows")
    check(message == "", f"RebootWindows raised {message!r}")
    check_calls("RebootWindows", calls, PRIVILEGE + exit_request(0x2))
    check(enabled, "the shutdown privilege is not enabled in the token")


@scenario("exit engine: log off asks for flags 0 without touching the privilege")
def _(s):
    message, calls, enabled = run_probe(s, "LogOffWindows")
    check(message == "", f"LogOffWindows raised {message!r}")
    check_calls("LogOffWindows", calls, exit_request(0x0))
    check(not enabled, "log off enabled the shutdown privilege")


@scenario("exit engine: suspend asks the power library, which says no here")
def _(s):
    message, calls, enabled = run_probe(s, "Suspend")
    check(message == "サスペンドは許可されていません。", f"Suspend gave {message!r}")
    check_calls("Suspend", calls, permission("IsPwrSuspendAllowed"))
    check(not enabled, "a refused suspend enabled the shutdown privilege")


@scenario("exit engine: hibernate asks the power library, enables the privilege and enters the state")
def _(s):
    message, calls, enabled = run_probe(s, "Hibernate")
    check(message == "", f"Hibernate raised {message!r}")
    check_calls("Hibernate", calls, permission("IsPwrHibernateAllowed") + PRIVILEGE +
                [r"kernel32\.SetSystemPowerState\(00000000,00000000\)"])
    check(enabled, "the shutdown privilege is not enabled in the token")


SHELL_TEST = ";".join(["version.*", "kernel32.GetLocaleInfoW"])


@scenario("exit engine: the shell test reads Shell32.dll's version the way the user writes numbers")
def _(s):
    answer, calls, _ = run_probe(s, "IsShell472OrLater", SHELL_TEST)
    check(answer == "true", f"Wine's shell counts as older than 4.72: {answer!r}")
    check_calls("IsShell472OrLater", calls, [
        r'version\.GetFileVersionInfoSizeW\(\w+ L"Shell32\.dll",\w+\)',
        r'version\.GetFileVersionInfoW\(\w+ L"Shell32\.dll",00000000,(?P<size>\w+),(?P<block>\w+)\)',
        r'version\.VerQueryValueW\((?P<block>\w+),\w+ L"\\\\",\w+,\w+\)',  # the root block "\"
        r"kernel32\.GetLocaleInfoW\(00000400,0000000e,00000000,00000000\)",
        r"kernel32\.GetLocaleInfoW\(00000400,0000000e,\w+,00000002\)",
    ])
    subprocess.run(["wine", "reg", "add", r"HKCU\Control Panel\International", "/v", "sDecimal", "/d", ",", "/f"],
                   env=s.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
    answer, _, _ = run_probe(s, "IsShell472OrLater", SHELL_TEST)
    check(answer == "false", f"a decimal comma still reads the version text: {answer!r}")


@scenario("exit engine: a 64-bit program has no 16-bit restart and frees nothing it did not load")
def _(s):
    message, calls, _ = run_probe(s, "ExitWindows16")
    check(message == "User.exe の呼び出しに失敗しました。", f"ExitWindows16 gave {message!r}")
    check_calls("ExitWindows16", calls, [])
