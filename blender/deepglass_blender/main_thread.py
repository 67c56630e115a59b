# Work handed to Blender's main thread. A render started from the window runs the render handlers on
# a thread of its own, from which Blender's data must not be changed; the main thread runs what it
# is handed from a timer (at once what it hands itself). A render thread waiting for its work must
# never outwait a main thread that is itself waiting for the render to stop (quitting, undoing,
# loading a file): that would freeze Blender. So work not yet begun is dropped when a file is
# loaded, or when the main thread has not turned for a while; work begun is always waited for, as
# it ends on its own.
#
# Blender refuses Python's writes to its data while a read-only callback runs (a panel's draw, a
# render engine's sync), with one flag for all threads: a render thread's callbacks overlapping the
# main thread's drawing can leave it set, and every write from a timer fails from then on. A
# property's update callback may always write, and the window manager's own properties may always
# be set: the work runs from the update of such a property.
import atexit
import threading
import time

import bpy
from bpy.app.handlers import persistent

TURN_SECONDS = 0.05
# How long the main thread may go without turning before a waiting render thread gives up on it.
STALL_SECONDS = 10.0

_QUEUED, _RUNNING, _DONE, _DROPPED = range(4)


class Dropped(RuntimeError):
    """Work the main thread never began."""


class _Work:
    def __init__(self, function, drop, waited):
        self.function = function
        self.drop = drop
        self.waited = waited
        self.state = _QUEUED
        self.finished = threading.Event()
        self.value = None
        self.error = None
        self.why_dropped = ""


_lock = threading.Lock()
_queue = []
_last_turn = time.monotonic()


def _turn():
    global _last_turn
    with _lock:
        _last_turn = time.monotonic()
        waiting = bool(_queue)
    if waiting:
        _run_queue_now()
    return TURN_SECONDS


def _run_queue_now():
    window_manager = bpy.context.window_manager
    window_manager.deepglass_turn = not window_manager.deepglass_turn


def _run_queue(_window_manager, _context):
    global _last_turn
    while True:
        with _lock:
            _last_turn = time.monotonic()
            if not _queue:
                return
            work = _queue.pop(0)
            work.state = _RUNNING
        try:
            work.value = work.function()
        except Exception as error:  # handed to whoever waits, or printed
            work.error = error
            if not work.waited:
                print(f"Deepglass: error: {error}")
        work.state = _DONE
        work.finished.set()


def _hand_over(function, drop, waited):
    work = _Work(function, drop, waited)
    with _lock:
        _queue.append(work)
    return work


def _drop(work, why):
    """Under the lock: takes back work not yet begun."""
    _queue.remove(work)
    work.state = _DROPPED
    work.why_dropped = why
    work.finished.set()
    work.drop()


def _on_main_thread():
    return threading.current_thread() is threading.main_thread()


def call(function):
    """Runs `function` on the main thread and answers what it answers; raises what it raises, or
    Dropped when the main thread does not take it."""
    work = _hand_over(function, lambda: None, waited=True)
    if _on_main_thread():
        try:
            _run_queue_now()
        finally:
            with _lock:
                if work.state == _QUEUED:
                    _drop(work, "Blender did not run it")
    while not work.finished.wait(TURN_SECONDS):
        with _lock:
            if work.state == _QUEUED and time.monotonic() - _last_turn > STALL_SECONDS:
                _drop(work, f"Blender's main thread has been busy for more than {STALL_SECONDS:g} s")
    if work.state == _DROPPED:
        raise Dropped(work.why_dropped)
    if work.error is not None:
        raise work.error
    return work.value


def post(function, drop=lambda: None):
    """Runs `function` on the main thread without waiting for it (at once on the main thread);
    `drop` instead if it never runs. What it raises is printed."""
    _hand_over(function, drop, waited=False)
    if _on_main_thread():
        _run_queue_now()


def drop_all(why):
    with _lock:
        for work in list(_queue):
            _drop(work, why)


@persistent
def _load_pre(*_):
    # Work handed over belongs to the file being closed; Blender stops its render once this returns.
    drop_all("Blender is loading another file")


def _quitting():
    drop_all("Blender is quitting")


def register():
    bpy.types.WindowManager.deepglass_turn = bpy.props.BoolProperty(options={'HIDDEN', 'SKIP_SAVE'},
                                                                    update=_run_queue)
    bpy.app.handlers.load_pre.append(_load_pre)
    bpy.app.timers.register(_turn, persistent=True)
    atexit.register(_quitting)


def unregister():
    atexit.unregister(_quitting)
    if bpy.app.timers.is_registered(_turn):
        bpy.app.timers.unregister(_turn)
    if _load_pre in bpy.app.handlers.load_pre:
        bpy.app.handlers.load_pre.remove(_load_pre)
    drop_all("the Deepglass add-on was turned off")
    del bpy.types.WindowManager.deepglass_turn
