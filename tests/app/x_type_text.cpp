// Test helper: types text into the X window whose title is given, as a user at the keyboard would,
// through the XTEST extension. Usage: x_type_text WINDOW-TITLE TEXT (an empty TEXT only checks
// that the window exists). Exits 0 when every character was sent, 1 when the window is not
// found, 2 on bad use.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

// libXtst ships without its development header here; these are its documented prototypes.
extern "C" {
int XTestFakeKeyEvent(Display* display, unsigned int keycode, Bool is_press, unsigned long delay);
Bool XTestQueryExtension(Display* display, int* event_base, int* error_base, int* major, int* minor);
}

namespace {

// Depth-first search for a window whose name equals title.
Window findWindow(Display* display, Window root, const char* title) {
    char* name = nullptr;
    if (XFetchName(display, root, &name) && name != nullptr) {
        const bool match = std::strcmp(name, title) == 0;
        XFree(name);
        if (match) return root;
    }
    Window rootReturn, parent;
    Window* children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display, root, &rootReturn, &parent, &children, &count)) return 0;
    Window found = 0;
    for (unsigned int i = 0; i < count && found == 0; ++i) found = findWindow(display, children[i], title);
    if (children != nullptr) XFree(children);
    return found;
}

// The key symbol of a printable ASCII character.
KeySym keySymOf(char c) {
    if (c == ' ') return XK_space;
    if (c == '\n') return XK_Return;
    return static_cast<KeySym>(static_cast<unsigned char>(c));
}

int reportXError(Display*, XErrorEvent* error) {
    std::fprintf(stderr, "x_type_text: X error %d\n", error->error_code);
    std::exit(1);
}

void pressKey(Display* display, KeyCode code, bool shifted) {
    const KeyCode shift = XKeysymToKeycode(display, XK_Shift_L);
    if (shifted) XTestFakeKeyEvent(display, shift, True, 0);
    XTestFakeKeyEvent(display, code, True, 0);
    XTestFakeKeyEvent(display, code, False, 0);
    if (shifted) XTestFakeKeyEvent(display, shift, False, 0);
    XFlush(display);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: x_type_text WINDOW-TITLE TEXT\n");
        return 2;
    }
    Display* display = XOpenDisplay(nullptr);
    int eventBase, errorBase, major, minor;
    if (display == nullptr || !XTestQueryExtension(display, &eventBase, &errorBase, &major, &minor)) {
        std::fprintf(stderr, "x_type_text: no X display with the XTEST extension\n");
        return 2;
    }
    const Window window = findWindow(display, DefaultRootWindow(display), argv[1]);
    if (window == 0) {
        std::fprintf(stderr, "x_type_text: no window titled \"%s\"\n", argv[1]);
        return 1;
    }
    if (argv[2][0] == '\0') return 0;
    // A window that is not mapped yet refuses the focus; that shows as a failed run, not a crash.
    XSetErrorHandler(reportXError);
    XRaiseWindow(display, window);
    XSetInputFocus(display, window, RevertToParent, CurrentTime);
    XSync(display, False);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));

    for (const char c : std::string(argv[2])) {
        const KeySym symbol = keySymOf(c);
        const KeyCode code = XKeysymToKeycode(display, symbol);
        if (code == 0) {
            std::fprintf(stderr, "x_type_text: no key for '%c'\n", c);
            return 2;
        }
        // The character needs Shift when the key's first level gives another symbol.
        int perKey = 0;
        KeySym* levels = XGetKeyboardMapping(display, code, 1, &perKey);
        const bool shifted = levels != nullptr && perKey > 0 && levels[0] != symbol;
        if (levels != nullptr) XFree(levels);
        pressKey(display, code, shifted);
    }
    XCloseDisplay(display);
    return 0;
}
