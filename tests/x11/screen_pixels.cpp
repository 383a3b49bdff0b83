// SPDX-License-Identifier: MIT
// What a rectangle of the screen shows, for tests that must see a change on
// the screen itself (a colour, a text laid out again, a blinking label) where
// X keeps no property to read. Qt draws a window's children into the window
// itself, so only its pixels tell.
//
// Usage: nopi_screen_pixels X Y WIDTH HEIGHT (on $DISPLAY's root window).
// Prints one line: the most common colour as rrggbb, how many pixels have
// another colour, and a digest of all the pixels, e.g.
// "ffff80 412 9c1e0d53a2b7f640". Two rectangles with the same digest show the
// same picture.

#include <xcb/xcb.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <unordered_map>

int main(int argc, char **argv)
{
    if (argc != 5) {
        fprintf(stderr, "usage: %s X Y WIDTH HEIGHT\n", argv[0]);
        return 2;
    }
    const int x = atoi(argv[1]);
    const int y = atoi(argv[2]);
    const int width = atoi(argv[3]);
    const int height = atoi(argv[4]);
    if (width <= 0 || height <= 0) {
        fprintf(stderr, "screen-pixels: empty rectangle\n");
        return 2;
    }

    xcb_connection_t *connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection)) {
        fprintf(stderr, "screen-pixels: no display\n");
        return 1;
    }
    const xcb_setup_t *setup = xcb_get_setup(connection);
    const xcb_screen_t *screen = xcb_setup_roots_iterator(setup).data;

    // Only the 24-bit true colour screens Xvfb makes by default are read.
    const xcb_visualtype_t *visual = nullptr;
    for (auto depths = xcb_screen_allowed_depths_iterator(screen); depths.rem && !visual; xcb_depth_next(&depths)) {
        for (auto visuals = xcb_depth_visuals_iterator(depths.data); visuals.rem; xcb_visualtype_next(&visuals)) {
            if (visuals.data->visual_id == screen->root_visual) {
                visual = visuals.data;
                break;
            }
        }
    }
    if (screen->root_depth != 24 || !visual || visual->red_mask != 0xff0000 || visual->green_mask != 0x00ff00
        || visual->blue_mask != 0x0000ff) {
        fprintf(stderr, "screen-pixels: the root is not 24-bit RGB true colour\n");
        return 1;
    }

    xcb_generic_error_t *error = nullptr;
    xcb_get_image_reply_t *image = xcb_get_image_reply(
            connection,
            xcb_get_image(connection, XCB_IMAGE_FORMAT_Z_PIXMAP, screen->root, int16_t(x), int16_t(y),
                          uint16_t(width), uint16_t(height), ~0u),
            &error);
    if (!image) {
        fprintf(stderr, "screen-pixels: GetImage failed (error %d); is the rectangle on the screen?\n",
                error ? error->error_code : 0);
        free(error);
        return 1;
    }
    const uint8_t *data = xcb_get_image_data(image);
    const int length = xcb_get_image_data_length(image);
    int bitsPerPixel = 0;
    for (auto formats = xcb_setup_pixmap_formats_iterator(setup); formats.rem; xcb_format_next(&formats)) {
        if (formats.data->depth == 24)
            bitsPerPixel = formats.data->bits_per_pixel;
    }
    if (bitsPerPixel != 32 || length < width * height * 4) {
        fprintf(stderr, "screen-pixels: %d bytes for %dx%d pixels; only 32 bits a pixel are read\n", length, width,
                height);
        return 1;
    }

    const bool lowByteFirst = setup->image_byte_order == XCB_IMAGE_ORDER_LSB_FIRST;
    std::unordered_map<uint32_t, int> counts;
    uint64_t digest = 14695981039346656037ull; // FNV-1a
    // Rows are padded to the server's scanline unit; 32-bit pixels need none.
    for (int i = 0; i < width * height; ++i) {
        const uint8_t *bytes = data + 4 * i;
        const uint32_t pixel = lowByteFirst ? uint32_t(bytes[0] | bytes[1] << 8 | bytes[2] << 16)
                                            : uint32_t(bytes[3] | bytes[2] << 8 | bytes[1] << 16);
        ++counts[pixel];
        for (int byte = 0; byte < 3; ++byte) {
            digest ^= (pixel >> (8 * byte)) & 0xff;
            digest *= 1099511628211ull;
        }
    }
    uint32_t common = 0;
    int most = 0;
    for (const auto &[colour, count] : counts) {
        if (count > most || (count == most && colour < common)) {
            common = colour;
            most = count;
        }
    }
    printf("%06x %d %016llx\n", unsigned(common), width * height - most, static_cast<unsigned long long>(digest));
    free(image);
    xcb_disconnect(connection);
    return 0;
}
