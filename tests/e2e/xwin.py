"""The few Xlib calls the end-to-end driver needs that no command-line tool offers without a
window manager: listing top-level windows with their UTF-8 titles, and asking a window to close
the way a title bar's close button does (WM_DELETE_WINDOW)."""

from __future__ import annotations

import ctypes
import ctypes.util
from dataclasses import dataclass

_lib = ctypes.util.find_library("X11") or "libX11.so.6"
_x = ctypes.CDLL(_lib)

_Window = ctypes.c_ulong
_Atom = ctypes.c_ulong
_ClientMessage = 33
_IsViewable = 2
_NoEventMask = 0


class _XWindowAttributes(ctypes.Structure):
    _fields_ = [
        ("x", ctypes.c_int), ("y", ctypes.c_int),
        ("width", ctypes.c_int), ("height", ctypes.c_int),
        ("border_width", ctypes.c_int), ("depth", ctypes.c_int),
        ("visual", ctypes.c_void_p), ("root", _Window),
        ("class_", ctypes.c_int), ("bit_gravity", ctypes.c_int),
        ("win_gravity", ctypes.c_int), ("backing_store", ctypes.c_int),
        ("backing_planes", ctypes.c_ulong), ("backing_pixel", ctypes.c_ulong),
        ("save_under", ctypes.c_int), ("colormap", ctypes.c_ulong),
        ("map_installed", ctypes.c_int), ("map_state", ctypes.c_int),
        ("all_event_masks", ctypes.c_long), ("your_event_mask", ctypes.c_long),
        ("do_not_propagate_mask", ctypes.c_long), ("override_redirect", ctypes.c_int),
        ("screen", ctypes.c_void_p),
    ]


class _XClientMessageEvent(ctypes.Structure):
    _fields_ = [
        ("type", ctypes.c_int), ("serial", ctypes.c_ulong),
        ("send_event", ctypes.c_int), ("display", ctypes.c_void_p),
        ("window", _Window), ("message_type", _Atom),
        ("format", ctypes.c_int), ("data", ctypes.c_long * 5),
    ]


class _XEvent(ctypes.Union):
    _fields_ = [("xclient", _XClientMessageEvent), ("pad", ctypes.c_long * 24)]


_x.XOpenDisplay.restype = ctypes.c_void_p
_x.XOpenDisplay.argtypes = [ctypes.c_char_p]
_x.XCloseDisplay.argtypes = [ctypes.c_void_p]
_x.XDefaultRootWindow.restype = _Window
_x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
_x.XInternAtom.restype = _Atom
_x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
_x.XQueryTree.argtypes = [
    ctypes.c_void_p, _Window, ctypes.POINTER(_Window), ctypes.POINTER(_Window),
    ctypes.POINTER(ctypes.POINTER(_Window)), ctypes.POINTER(ctypes.c_uint)]
_x.XGetWindowAttributes.argtypes = [
    ctypes.c_void_p, _Window, ctypes.POINTER(_XWindowAttributes)]
_x.XGetWindowProperty.argtypes = [
    ctypes.c_void_p, _Window, _Atom, ctypes.c_long, ctypes.c_long, ctypes.c_int, _Atom,
    ctypes.POINTER(_Atom), ctypes.POINTER(ctypes.c_int), ctypes.POINTER(ctypes.c_ulong),
    ctypes.POINTER(ctypes.c_ulong), ctypes.POINTER(ctypes.c_void_p)]
_x.XFree.argtypes = [ctypes.c_void_p]
_x.XSendEvent.argtypes = [
    ctypes.c_void_p, _Window, ctypes.c_int, ctypes.c_long, ctypes.POINTER(_XEvent)]
_x.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
# A window may vanish between listing and asking about it; the default handler would exit.
_ERROR_HANDLER = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p)(
    lambda display, event: 0)
_x.XSetErrorHandler.argtypes = [ctypes.c_void_p]
_x.XSetErrorHandler(ctypes.cast(_ERROR_HANDLER, ctypes.c_void_p))


@dataclass
class TopLevel:
    id: int
    title: str
    pid: int
    x: int
    y: int
    width: int
    height: int
    viewable: bool
    override_redirect: bool


class Display:
    def __init__(self, name: str):
        self._d = _x.XOpenDisplay(name.encode())
        if not self._d:
            raise RuntimeError(f"cannot open display {name}")
        self._root = _x.XDefaultRootWindow(self._d)

    def close(self):
        if self._d:
            _x.XCloseDisplay(self._d)
            self._d = None

    def _atom(self, name: str) -> int:
        return _x.XInternAtom(self._d, name.encode(), 0)

    def _property(self, window: int, name: str, kind: str) -> bytes | None:
        actual_type, actual_format = _Atom(), ctypes.c_int()
        count, remaining, data = ctypes.c_ulong(), ctypes.c_ulong(), ctypes.c_void_p()
        status = _x.XGetWindowProperty(
            self._d, window, self._atom(name), 0, 4096, 0, self._atom(kind),
            ctypes.byref(actual_type), ctypes.byref(actual_format), ctypes.byref(count),
            ctypes.byref(remaining), ctypes.byref(data))
        if status != 0 or not data.value:
            return None
        try:
            if actual_format.value == 8:
                return ctypes.string_at(data.value, count.value)
            if actual_format.value == 32:  # Xlib hands 32-bit items over as longs
                return ctypes.string_at(data.value, count.value * ctypes.sizeof(ctypes.c_long))
            return None
        finally:
            _x.XFree(data)

    def toplevels(self) -> list[TopLevel]:
        """The children of the root window: without a window manager, the programs' windows."""
        root, parent = _Window(), _Window()
        children, n = ctypes.POINTER(_Window)(), ctypes.c_uint()
        if not _x.XQueryTree(self._d, self._root, ctypes.byref(root), ctypes.byref(parent),
                             ctypes.byref(children), ctypes.byref(n)):
            return []
        ids = [children[i] for i in range(n.value)]
        if children:
            _x.XFree(children)
        result = []
        for w in ids:
            attrs = _XWindowAttributes()
            if not _x.XGetWindowAttributes(self._d, w, ctypes.byref(attrs)):
                continue
            title = self._property(w, "_NET_WM_NAME", "UTF8_STRING")
            pid = self._property(w, "_NET_WM_PID", "CARDINAL")
            result.append(TopLevel(
                id=w, title=title.decode("utf-8", "replace") if title else "",
                pid=ctypes.c_long.from_buffer_copy(pid).value if pid else 0,
                x=attrs.x, y=attrs.y, width=attrs.width, height=attrs.height,
                viewable=attrs.map_state == _IsViewable,
                override_redirect=bool(attrs.override_redirect)))
        return result

    def request_close(self, window: int):
        """Sends what a window manager sends when the user presses a title bar's close button."""
        event = _XEvent()
        event.xclient.type = _ClientMessage
        event.xclient.window = window
        event.xclient.message_type = self._atom("WM_PROTOCOLS")
        event.xclient.format = 32
        event.xclient.data[0] = self._atom("WM_DELETE_WINDOW")
        event.xclient.data[1] = 0  # CurrentTime
        _x.XSendEvent(self._d, window, 0, _NoEventMask, ctypes.byref(event))
        _x.XSync(self._d, 0)
