#!/usr/bin/env python3
"""What xdotool does not do to an X window, through libX11:
  x11_window.py pixels WINDOW   prints a digest of the window's pixels now
  x11_window.py magenta WINDOW  prints how many of its pixels are pure magenta
  x11_window.py cover WINDOW    covers it for a moment with a magenta window of
                                the same place and size, then uncovers it
  x11_window.py close WINDOW    asks the window to close as a window manager
                                does (the WM_DELETE_WINDOW message)
"""
import ctypes
import ctypes.util
import hashlib
import sys
import time

x11 = ctypes.CDLL(ctypes.util.find_library("X11"))
x11.XOpenDisplay.restype = ctypes.c_void_p
x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
x11.XInternAtom.restype = ctypes.c_ulong
x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]


class XWindowAttributes(ctypes.Structure):
    _fields_ = [("x", ctypes.c_int), ("y", ctypes.c_int), ("width", ctypes.c_int),
                ("height", ctypes.c_int), ("rest", ctypes.c_byte * 256)]


class XImage(ctypes.Structure):
    _fields_ = [("width", ctypes.c_int), ("height", ctypes.c_int), ("xoffset", ctypes.c_int),
                ("format", ctypes.c_int), ("data", ctypes.c_void_p),
                ("byte_order", ctypes.c_int), ("bitmap_unit", ctypes.c_int),
                ("bitmap_bit_order", ctypes.c_int), ("bitmap_pad", ctypes.c_int),
                ("depth", ctypes.c_int), ("bytes_per_line", ctypes.c_int),
                ("bits_per_pixel", ctypes.c_int)]


class XClientMessageEvent(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong),
                ("send_event", ctypes.c_int), ("display", ctypes.c_void_p),
                ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                ("format", ctypes.c_int), ("l", ctypes.c_long * 5)]


class XEvent(ctypes.Union):
    _fields_ = [("xclient", XClientMessageEvent), ("pad", ctypes.c_long * 24)]


x11.XGetWindowAttributes.argtypes = [ctypes.c_void_p, ctypes.c_ulong,
                                     ctypes.POINTER(XWindowAttributes)]
x11.XGetImage.restype = ctypes.POINTER(XImage)
x11.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                          ctypes.c_uint, ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
x11.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                           ctypes.POINTER(XEvent)]
x11.XFlush.argtypes = [ctypes.c_void_p]
x11.XDefaultRootWindow.restype = ctypes.c_ulong
x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
x11.XCreateSimpleWindow.restype = ctypes.c_ulong
x11.XCreateSimpleWindow.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                                    ctypes.c_uint, ctypes.c_uint, ctypes.c_uint, ctypes.c_ulong,
                                    ctypes.c_ulong]
x11.XTranslateCoordinates.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong,
                                      ctypes.c_int, ctypes.c_int,
                                      ctypes.POINTER(ctypes.c_int), ctypes.POINTER(ctypes.c_int),
                                      ctypes.POINTER(ctypes.c_ulong)]
x11.XMapRaised.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
x11.XDestroyWindow.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
x11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]


class XSetWindowAttributes(ctypes.Structure):
    _fields_ = [("background_pixmap", ctypes.c_ulong), ("background_pixel", ctypes.c_ulong),
                ("border_pixmap", ctypes.c_ulong), ("border_pixel", ctypes.c_ulong),
                ("bit_gravity", ctypes.c_int), ("win_gravity", ctypes.c_int),
                ("backing_store", ctypes.c_int), ("backing_planes", ctypes.c_ulong),
                ("backing_pixel", ctypes.c_ulong), ("save_under", ctypes.c_int),
                ("event_mask", ctypes.c_long), ("do_not_propagate_mask", ctypes.c_long),
                ("override_redirect", ctypes.c_int), ("colormap", ctypes.c_ulong),
                ("cursor", ctypes.c_ulong)]


x11.XChangeWindowAttributes.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong,
                                        ctypes.POINTER(XSetWindowAttributes)]
CW_OVERRIDE_REDIRECT = 1 << 9
MAGENTA = 0xFF00FF

ZPIXMAP = 2
CLIENT_MESSAGE = 33

display = x11.XOpenDisplay(None)
if not display:
    sys.exit("x11_window: cannot open the display")
window = int(sys.argv[2], 0)

attributes = XWindowAttributes()
x11.XGetWindowAttributes(display, window, ctypes.byref(attributes))


def pixels():
    """The window's pixels, 32 bits each (a 24-bit screen)."""
    image = x11.XGetImage(display, window, 0, 0, attributes.width, attributes.height,
                          0xFFFFFFFF, ZPIXMAP)
    if not image or image.contents.bits_per_pixel != 32:
        sys.exit("x11_window: no image of 32-bit pixels")
    size = image.contents.bytes_per_line * image.contents.height
    return ctypes.string_at(image.contents.data, size)


if sys.argv[1] == "pixels":
    print(hashlib.sha1(pixels()).hexdigest())
elif sys.argv[1] == "magenta":
    data = pixels()
    words = memoryview(data).cast("I")
    print(sum(1 for word in words if word & 0xFFFFFF == MAGENTA))
elif sys.argv[1] == "cover":
    x, y, child = ctypes.c_int(), ctypes.c_int(), ctypes.c_ulong()
    root = x11.XDefaultRootWindow(display)
    x11.XTranslateCoordinates(display, window, root, 0, 0, ctypes.byref(x), ctypes.byref(y),
                              ctypes.byref(child))
    cover = x11.XCreateSimpleWindow(display, root, x.value, y.value, attributes.width,
                                    attributes.height, 0, 0, MAGENTA)
    change = XSetWindowAttributes()
    change.override_redirect = 1
    x11.XChangeWindowAttributes(display, cover, CW_OVERRIDE_REDIRECT, ctypes.byref(change))
    x11.XMapRaised(display, cover)
    x11.XSync(display, 0)
    time.sleep(0.3)
    x11.XDestroyWindow(display, cover)
    x11.XSync(display, 0)
elif sys.argv[1] == "close":
    event = XEvent()
    event.xclient.type = CLIENT_MESSAGE
    event.xclient.window = window
    event.xclient.message_type = x11.XInternAtom(display, b"WM_PROTOCOLS", 0)
    event.xclient.format = 32
    event.xclient.l[0] = x11.XInternAtom(display, b"WM_DELETE_WINDOW", 0)
    x11.XSendEvent(display, window, 0, 0, ctypes.byref(event))
    x11.XFlush(display)
else:
    sys.exit(__doc__)
