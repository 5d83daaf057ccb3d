"""LogSeverity and init_logs.

init_logs starts process-wide sinks, so every test that calls it runs in a
child interpreter whose log directory is a temporary one.
"""

import json
import os
import re
import subprocess
import sys
import textwrap

import pytest

from nuvrel.comms import _comms

CHILD_TIMEOUT = 30


def run_child(code, cwd, **env):
    environment = dict(os.environ, **env)
    return subprocess.run(
        [sys.executable, "-c", textwrap.dedent(code)],
        cwd=cwd,
        env=environment,
        capture_output=True,
        text=True,
        timeout=CHILD_TIMEOUT,
        check=False,
    )


def test_log_severity_members_are_exported():
    members = {name: int(value) for name, value in _comms.LogSeverity.__members__.items()}
    assert members == {"TRACE": 0, "DEBUG": 1, "INFO": 2, "STATUS": 3, "WARNING": 4, "ERROR": 5}
    for name in members:
        assert getattr(_comms, name) is getattr(_comms.LogSeverity, name)
    assert _comms.WARNING is _comms.LogSeverity.WARNING
    assert _comms.STATUS.value == 3


def test_init_logs_docstring():
    assert _comms.init_logs.__doc__ == (
        "Initialize the logging system.\n\n"
        "Currently, the default Orvane logging system is used. The log messages\n"
        "will be logged to the console and the log file (CapnpBindings).\n\n"
        "Args:\n"
        "    severity: The log level to set. (default = INFO)"
    )


@pytest.mark.parametrize("bad", ["ERROR", 5, None, 2.0])
def test_init_logs_rejects_what_is_no_severity(bad):
    # Argument conversion fails before anything is started.
    with pytest.raises(TypeError):
        _comms.init_logs(bad)
    assert not _comms._testing.is_logging_enabled()


def test_init_logs_error_threshold(tmp_path):
    logs = tmp_path / "logs"
    result = run_child(
        f"""
        import json
        from nuvrel.comms import _comms
        t = _comms._testing
        t.log(_comms.ERROR, "before init")
        assert not t.is_logging_enabled()
        assert t.get_log_statistics_json() == "null"
        t.set_log_path_application({str(logs)!r})
        _comms.init_logs(_comms.LogSeverity.ERROR)
        assert t.is_logging_enabled()
        assert [t.get_log_level(s) for s in ("", "console", "file", "syslog")] == [_comms.ERROR] * 4
        t.log(_comms.WARNING, "a quiet warning")
        t.log(_comms.ERROR, 'a loud "error"')
        print("STATS" + t.get_log_statistics_json())
        """,
        cwd=tmp_path,
        USER="svc",
    )
    assert result.returncode == 0, result.stderr
    assert "before init" not in result.stderr + result.stdout
    assert f"Will log to directory '{logs}'." in result.stdout

    stats = json.loads(result.stdout.split("STATS", 1)[1])
    assert stats["counters"] == {
        "trace": 0, "debug": 0, "info": 0, "status": 0, "warning": 1, "error": 1, "fatal": 0,
    }

    line = re.compile(
        r"^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{6} \[0x[0-9a-f]{16}/main           \] "
        r'\[\d+\] \[error\] a loud "error"$'
    )
    assert "a quiet warning" not in result.stderr
    assert any(line.match(l) for l in result.stderr.splitlines()), result.stderr

    files = sorted(logs.iterdir())
    assert len(files) == 1
    assert re.fullmatch(r"CapnpBindings_\d{8}_00000\.log", files[0].name)
    content = files[0].read_text()
    assert "a quiet warning" not in content
    assert any(line.match(l) for l in content.splitlines()), content


def test_log_history_after_logging(tmp_path):
    logs = tmp_path / "logs"
    result = run_child(
        f"""
        from nuvrel.comms import _comms
        t = _comms._testing
        t.set_log_path_application({str(logs)!r})
        _comms.init_logs()
        for i in range(50):
            t.log(_comms.INFO, "history line %02d" % i)
        print("WHOLE" + repr(t.get_log_history(100000)))
        print("TAIL" + repr(t.get_log_history(300)))
        """,
        cwd=tmp_path,
    )
    assert result.returncode == 0, result.stderr
    whole = eval(result.stdout.split("WHOLE", 1)[1].split("\n", 1)[0])
    tail = eval(result.stdout.split("TAIL", 1)[1].split("\n", 1)[0])
    header = f"(All log files for CapnpBindings can be found here: {logs})\r\n\r\n"
    assert whole.startswith(header)
    assert whole.count("\r\n") == 52 and "history line 00" in whole and "\n" not in whole.replace("\r\n", "")
    assert tail.startswith(header) and len(tail) <= 300
    body = tail[len(header):]
    assert body and whole.endswith(body)
    assert re.match(r"\d{4}-", body), body  # begins at a line start
    assert "history line 49\r\n" in body


def test_unusable_directory_falls_back_to_the_working_directory(tmp_path):
    blocker = tmp_path / "a-file"
    blocker.write_text("not a directory")
    wanted = blocker / "logs"
    result = run_child(
        f"""
        from nuvrel.comms import _comms
        t = _comms._testing
        t.set_log_path_application({str(wanted)!r})
        _comms.init_logs(_comms.INFO)
        t.log(_comms.INFO, "in the fallback")
        print("PATH=" + t.get_log_path_application())
        """,
        cwd=tmp_path,
    )
    assert result.returncode == 0, result.stderr
    fallback = tmp_path / "CapnpBindingsLog"
    assert (
        f"Warning: Could not create directory '\"{wanted}\"'. Will try to log into the local directory."
        in result.stderr
    )
    assert f"Will log to directory '{fallback}'." in result.stdout
    assert f"PATH={fallback}" in result.stdout
    (log_file,) = fallback.iterdir()
    assert "in the fallback" in log_file.read_text()


def test_no_usable_directory_keeps_the_console(tmp_path):
    blocker = tmp_path / "a-file"
    blocker.write_text("not a directory")
    (tmp_path / "CapnpBindingsLog").write_text("blocks the fallback too")
    result = run_child(
        f"""
        from nuvrel.comms import _comms
        t = _comms._testing
        t.set_log_path_application({str(blocker / "logs")!r})
        _comms.init_logs(_comms.INFO)
        t.log(_comms.INFO, "console only")
        print("PATH=[" + t.get_log_path_application() + "]")
        print("HISTORY=[" + t.get_log_history(1000) + "]")
        """,
        cwd=tmp_path,
    )
    assert result.returncode == 0, result.stderr
    assert (
        f"Warning: Could not get create directory '{tmp_path / 'CapnpBindingsLog'}'. "
        "Will not be able to create the log file." in result.stderr
    )
    assert "Will log to directory" not in result.stdout
    assert "PATH=[]" in result.stdout and "HISTORY=[]" in result.stdout
    assert "[info] console only" in result.stderr


def test_package_reexports():
    import nuvrel.comms

    assert nuvrel.comms.LogSeverity is _comms.LogSeverity
    assert nuvrel.comms.init_logs is _comms.init_logs
    assert "_testing" not in nuvrel.comms.__all__
