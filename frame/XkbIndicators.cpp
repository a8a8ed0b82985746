#include "frame/XkbIndicators.h"

#include <QGuiApplication>
#include <QtGui/qguiapplication_platform.h>

// Xlib's macros (None, Bool, KeyPress, ...) clash with names in Qt's headers,
// so it comes after all of them.
#include <X11/XKBlib.h>

namespace {

#if QT_CONFIG(xcb)
Display *x11Display()
{
    if (!qGuiApp)
        return nullptr;
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->display() : nullptr;
}
#else
Display *x11Display()
{
    return nullptr;
}
#endif

struct IndicatorMasks
{
    unsigned caps = 1u << 0;
    unsigned num = 1u << 1;
    unsigned scroll = 1u << 2;
};

// Servers number their indicators as their keymap says; the usual order is
// the fallback when a name is unknown.
unsigned maskOf(Display *display, const char *name, unsigned fallback)
{
    const Atom atom = XInternAtom(display, name, True);
    int index = -1;
    if (atom != None && XkbGetNamedIndicator(display, atom, &index, nullptr, nullptr, nullptr)
        && index >= 0 && index < XkbNumIndicators) {
        return 1u << index;
    }
    return fallback;
}

} // namespace

bool XkbIndicators::available()
{
    return x11Display() != nullptr;
}

std::optional<LockKeyState::Locks> XkbIndicators::read()
{
    Display *display = x11Display();
    if (!display)
        return std::nullopt;

    // The names cost round trips; they are looked up once per display.
    static Display *resolvedFor = nullptr;
    static IndicatorMasks masks;
    if (resolvedFor != display) {
        const IndicatorMasks usual;
        masks.caps = maskOf(display, "Caps Lock", usual.caps);
        masks.num = maskOf(display, "Num Lock", usual.num);
        masks.scroll = maskOf(display, "Scroll Lock", usual.scroll);
        resolvedFor = display;
    }

    unsigned state = 0;
    if (XkbGetIndicatorState(display, XkbUseCoreKbd, &state) != Success)
        return std::nullopt;
    return LockKeyState::Locks{(state & masks.caps) != 0, (state & masks.num) != 0,
                               (state & masks.scroll) != 0};
}
