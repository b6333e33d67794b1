#include "x_display.h"

#include <xcb/xcb.h>

namespace tolva::test {

bool xDisplayOpens() {
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    const bool opens = xcb_connection_has_error(connection) == 0;
    xcb_disconnect(connection);
    return opens;
}

}  // namespace tolva::test
