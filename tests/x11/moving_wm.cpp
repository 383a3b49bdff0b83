// SPDX-License-Identifier: MIT
// A window manager for tests that places windows itself, as weston's XWayland
// or a tiling desktop does: every window it is asked to map goes to a place
// of its own choosing, cascading from (32,32) in steps of (151,102), whatever
// place the program asked for. After that it grants every move and resize the
// program asks for, or, with MOVING_WM_REFUSES_MOVES=1 in its environment,
// every resize and no move at all, without a word (as weston's XWayland was
// seen to do with a drag). No frames, no focus policy, no keys.
//
// It announces itself on the root (_NET_SUPPORTING_WM_CHECK) once it has
// taken the root's redirection, and ends with status 1 when another window
// manager holds it.

#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

xcb_atom_t internAtom(xcb_connection_t *connection, const char *name)
{
    xcb_intern_atom_reply_t *reply =
            xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, uint16_t(strlen(name)), name), nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    free(reply);
    return atom;
}

void announce(xcb_connection_t *connection, const xcb_screen_t *screen)
{
    const xcb_window_t check = xcb_generate_id(connection);
    xcb_create_window(connection, XCB_COPY_FROM_PARENT, check, screen->root, -1, -1, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
    const xcb_atom_t supporting = internAtom(connection, "_NET_SUPPORTING_WM_CHECK");
    const xcb_atom_t name = internAtom(connection, "_NET_WM_NAME");
    const xcb_atom_t utf8 = internAtom(connection, "UTF8_STRING");
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, check, supporting, XCB_ATOM_WINDOW, 32, 1, &check);
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, check, name, utf8, 8, 9, "moving-wm");
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, screen->root, supporting, XCB_ATOM_WINDOW, 32, 1, &check);
}

void placeAndMap(xcb_connection_t *connection, xcb_window_t window, int count)
{
    const uint32_t place[] = {uint32_t(32 + 151 * (count % 4)), uint32_t(32 + 102 * (count % 4))};
    xcb_configure_window(connection, window, XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y, place);
    xcb_map_window(connection, window);
}

void grant(xcb_connection_t *connection, const xcb_configure_request_event_t *request, bool refuseMoves)
{
    uint32_t values[7];
    int count = 0;
    uint16_t mask = request->value_mask;
    if (refuseMoves)
        mask &= uint16_t(~(XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y));
    if (mask & XCB_CONFIG_WINDOW_X)
        values[count++] = uint32_t(request->x);
    if (mask & XCB_CONFIG_WINDOW_Y)
        values[count++] = uint32_t(request->y);
    if (mask & XCB_CONFIG_WINDOW_WIDTH)
        values[count++] = request->width;
    if (mask & XCB_CONFIG_WINDOW_HEIGHT)
        values[count++] = request->height;
    if (mask & XCB_CONFIG_WINDOW_BORDER_WIDTH)
        values[count++] = request->border_width;
    if (mask & XCB_CONFIG_WINDOW_SIBLING)
        values[count++] = request->sibling;
    if (mask & XCB_CONFIG_WINDOW_STACK_MODE)
        values[count++] = request->stack_mode;
    if (mask != 0)
        xcb_configure_window(connection, request->window, mask, values);
}

}

int main()
{
    xcb_connection_t *connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection)) {
        fprintf(stderr, "moving-wm: no display\n");
        return 1;
    }
    const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    const uint32_t events = XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_generic_error_t *error = xcb_request_check(
            connection, xcb_change_window_attributes_checked(connection, screen->root, XCB_CW_EVENT_MASK, &events));
    if (error) {
        fprintf(stderr, "moving-wm: another window manager is running\n");
        free(error);
        return 1;
    }
    announce(connection, screen);
    xcb_flush(connection);

    const char *refuse = getenv("MOVING_WM_REFUSES_MOVES");
    const bool refuseMoves = refuse && strcmp(refuse, "1") == 0;
    int mapped = 0;
    while (xcb_generic_event_t *event = xcb_wait_for_event(connection)) {
        switch (event->response_type & ~0x80) {
        case XCB_MAP_REQUEST:
            placeAndMap(connection, reinterpret_cast<xcb_map_request_event_t *>(event)->window, mapped++);
            break;
        case XCB_CONFIGURE_REQUEST:
            grant(connection, reinterpret_cast<xcb_configure_request_event_t *>(event), refuseMoves);
            break;
        default:
            break;
        }
        free(event);
        xcb_flush(connection);
    }
    return 0;
}
