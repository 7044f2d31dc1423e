#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Small X11 requests that xdotool lacks, made through libX11.

  xwin.py close WINDOW   asks the window to close the way a window manager does (a WM_DELETE_WINDOW message)
  xwin.py bind TEXT      gives every character of TEXT that no key produces a free key code of its own, so that
                         `xdotool type` never has to remap a key while the program reads the keyboard
"""
import ctypes
import sys

CLIENT_MESSAGE = 33
NO_SYMBOL = 0
KeySym = ctypes.c_ulong


class XClientMessageEvent(ctypes.Structure):
    _fields_ = [
        ("type", ctypes.c_int),
        ("serial", ctypes.c_ulong),
        ("send_event", ctypes.c_int),
        ("display", ctypes.c_void_p),
        ("window", ctypes.c_ulong),
        ("message_type", ctypes.c_ulong),
        ("format", ctypes.c_int),
        ("data", ctypes.c_long * 5),
    ]


class XEvent(ctypes.Union):
    _fields_ = [("xclient", XClientMessageEvent), ("pad", ctypes.c_long * 24)]


def load():
    x11 = ctypes.cdll.LoadLibrary("libX11.so.6")
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XInternAtom.restype = ctypes.c_ulong
    x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    x11.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long, ctypes.POINTER(XEvent)]
    x11.XDisplayKeycodes.argtypes = [ctypes.c_void_p, ctypes.POINTER(ctypes.c_int), ctypes.POINTER(ctypes.c_int)]
    x11.XGetKeyboardMapping.restype = ctypes.POINTER(KeySym)
    x11.XGetKeyboardMapping.argtypes = [ctypes.c_void_p, ctypes.c_ubyte, ctypes.c_int, ctypes.POINTER(ctypes.c_int)]
    x11.XChangeKeyboardMapping.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int, ctypes.POINTER(KeySym),
                                           ctypes.c_int]
    x11.XFree.argtypes = [ctypes.c_void_p]
    x11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
    display = x11.XOpenDisplay(None)
    if not display:
        sys.exit("xwin: cannot open the display")
    return x11, display


def close(x11, display, window):
    event = XEvent()
    event.xclient.type = CLIENT_MESSAGE
    event.xclient.window = window
    event.xclient.message_type = x11.XInternAtom(display, b"WM_PROTOCOLS", 0)
    event.xclient.format = 32
    event.xclient.data[0] = x11.XInternAtom(display, b"WM_DELETE_WINDOW", 0)
    event.xclient.data[1] = 0  # CurrentTime
    x11.XSendEvent(display, window, 0, 0, ctypes.byref(event))


def keysym_of(character):
    code = ord(character)
    return code if code < 0x100 else 0x1000000 + code


def bind(x11, display, text):
    first, last = ctypes.c_int(), ctypes.c_int()
    x11.XDisplayKeycodes(display, ctypes.byref(first), ctypes.byref(last))
    count = last.value - first.value + 1
    per_code = ctypes.c_int()
    mapping = x11.XGetKeyboardMapping(display, first.value, count, ctypes.byref(per_code))
    rows = [[mapping[c * per_code.value + s] for s in range(per_code.value)] for c in range(count)]
    x11.XFree(mapping)
    present = {sym for row in rows for sym in row}
    free = [first.value + c for c, row in enumerate(rows) if all(sym == NO_SYMBOL for sym in row)]
    for character in dict.fromkeys(text):
        sym = keysym_of(character)
        if sym in present:
            continue
        if not free:
            sys.exit("xwin: no free key code left")
        syms = (KeySym * 2)(sym, sym)
        x11.XChangeKeyboardMapping(display, free.pop(), 2, syms, 1)
        present.add(sym)


def main():
    x11, display = load()
    command, argument = sys.argv[1], sys.argv[2]
    if command == "close":
        close(x11, display, int(argument))
    elif command == "bind":
        bind(x11, display, argument)
    else:
        sys.exit(f"xwin: unknown command {command}")
    x11.XSync(display, 0)
    x11.XCloseDisplay(display)


if __name__ == "__main__":
    main()
