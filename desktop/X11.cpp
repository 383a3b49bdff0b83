// SPDX-License-Identifier: MIT
#include "desktop/X11.h"

#include <QByteArray>
#include <QGuiApplication>
#include <QWidget>

#include <algorithm>
#include <cstdlib>
#include <utility>
#include <vector>

namespace X11 {

xcb_connection_t *connection()
{
    auto *x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

xcb_window_t root()
{
    xcb_connection_t *x = connection();
    if (!x)
        return 0;
    const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(x)).data;
    return screen ? screen->root : 0;
}

xcb_atom_t atom(const char *name)
{
    static xcb_connection_t *askedOf = nullptr;
    static std::vector<std::pair<QByteArray, xcb_atom_t>> known;
    xcb_connection_t *x = connection();
    if (!x)
        return XCB_ATOM_NONE;
    if (x != askedOf) {
        known.clear();
        askedOf = x;
    }
    for (const auto &[knownName, knownAtom] : known) {
        if (knownName == name)
            return knownAtom;
    }
    const xcb_intern_atom_cookie_t cookie = xcb_intern_atom(x, 0, uint16_t(qstrlen(name)), name);
    xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(x, cookie, nullptr);
    if (!reply)
        return XCB_ATOM_NONE;
    const xcb_atom_t found = reply->atom;
    free(reply);
    known.emplace_back(QByteArray(name), found);
    return found;
}

bool windowManagerSupports(xcb_atom_t wanted)
{
    xcb_connection_t *x = connection();
    if (!x || wanted == XCB_ATOM_NONE)
        return false;
    const xcb_get_property_cookie_t cookie =
            xcb_get_property(x, 0, root(), atom("_NET_SUPPORTED"), XCB_ATOM_ATOM, 0, 4096);
    xcb_get_property_reply_t *reply = xcb_get_property_reply(x, cookie, nullptr);
    if (!reply)
        return false;
    const auto *atoms = static_cast<const xcb_atom_t *>(xcb_get_property_value(reply));
    const int count = xcb_get_property_value_length(reply) / int(sizeof(xcb_atom_t));
    const bool found = std::find(atoms, atoms + count, wanted) != atoms + count;
    free(reply);
    return found;
}

bool pointerButtonHeld()
{
    xcb_connection_t *x = connection();
    if (!x)
        return false;
    xcb_query_pointer_reply_t *reply = xcb_query_pointer_reply(x, xcb_query_pointer(x, root()), nullptr);
    if (!reply)
        return false;
    constexpr uint16_t buttons = XCB_BUTTON_MASK_1 | XCB_BUTTON_MASK_2 | XCB_BUTTON_MASK_3
            | XCB_BUTTON_MASK_4 | XCB_BUTTON_MASK_5;
    const bool held = reply->mask & buttons;
    free(reply);
    return held;
}

void askToActivate(QWidget *window)
{
    xcb_connection_t *x = connection();
    const xcb_atom_t active = atom("_NET_ACTIVE_WINDOW");
    if (!x || active == XCB_ATOM_NONE)
        return;
    xcb_client_message_event_t request {};
    request.response_type = XCB_CLIENT_MESSAGE;
    request.format = 32;
    request.window = static_cast<xcb_window_t>(window->winId());
    request.type = active;
    request.data.data32[0] = 2; // from a desktop tool: the user asked
    request.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(x, 0, root(), XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char *>(&request));
    xcb_flush(x);
}

bool displayReachable()
{
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        return false;
    xcb_connection_t *x = xcb_connect(nullptr, nullptr);
    const bool reachable = xcb_connection_has_error(x) == 0;
    xcb_disconnect(x);
    return reachable;
}

}
