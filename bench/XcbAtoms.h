// SPDX-License-Identifier: MIT
#pragma once

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

// The X atoms the benchmarks ask about: a name's atom, and whether a
// window's property (a list of atoms) holds one.
namespace XcbAtoms {

inline xcb_atom_t atom(xcb_connection_t *connection, const char *name)
{
    xcb_intern_atom_reply_t *reply =
            xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, uint16_t(strlen(name)), name), nullptr);
    const xcb_atom_t result = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    free(reply);
    return result;
}

inline bool holds(xcb_connection_t *connection, xcb_window_t window, xcb_atom_t property, xcb_atom_t wanted)
{
    xcb_get_property_reply_t *reply = xcb_get_property_reply(
            connection, xcb_get_property(connection, 0, window, property, XCB_ATOM_ATOM, 0, 64), nullptr);
    bool found = false;
    if (reply && reply->type == XCB_ATOM_ATOM && reply->format == 32) {
        const auto *atoms = static_cast<const xcb_atom_t *>(xcb_get_property_value(reply));
        const int count = xcb_get_property_value_length(reply) / 4;
        found = std::find(atoms, atoms + count, wanted) != atoms + count;
    }
    free(reply);
    return found;
}

}
