// What a window manager does on an X server's root window, done by a test from a
// connection of its own: windows with a WM_CLASS, the client list, and the window in
// front written into _NET_ACTIVE_WINDOW, so that the focus watcher can be tested
// without a window manager deciding when the focus moves.
#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace halvern::test {

class X11WindowManager {
public:
    explicit X11WindowManager(const std::string& display) {
        connection_ = xcb_connect(display.c_str(), nullptr);
        root_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
        active_ = atom("_NET_ACTIVE_WINDOW");
        clients_ = atom("_NET_CLIENT_LIST");
    }
    ~X11WindowManager() { xcb_disconnect(connection_); }

    std::uint32_t window(const std::string& wmClass) {
        const xcb_window_t id = xcb_generate_id(connection_);
        xcb_create_window(connection_, XCB_COPY_FROM_PARENT, id, root_, 0, 0, 10, 10, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                          XCB_COPY_FROM_PARENT, 0, nullptr);
        xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, id, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8,
                            static_cast<std::uint32_t>(wmClass.size()), wmClass.data());
        windows_.push_back(id);
        xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, root_, clients_, XCB_ATOM_WINDOW, 32,
                            static_cast<std::uint32_t>(windows_.size()), windows_.data());
        xcb_flush(connection_);
        return id;
    }
    void activate(std::uint32_t window) {
        xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, root_, active_, XCB_ATOM_WINDOW, 32, 1, &window);
        xcb_flush(connection_);
    }
    // Another property of the root changes (a desktop name, a work area).
    void touchOtherProperty() {
        const std::uint32_t value = 1;
        xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, root_, atom("_NET_NUMBER_OF_DESKTOPS"),
                            XCB_ATOM_CARDINAL, 32, 1, &value);
        xcb_flush(connection_);
    }

private:
    xcb_atom_t atom(const char* name) {
        auto* reply = xcb_intern_atom_reply(
            connection_, xcb_intern_atom(connection_, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr);
        const xcb_atom_t a = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
        std::free(reply);
        return a;
    }
    xcb_connection_t* connection_;
    xcb_window_t root_;
    xcb_atom_t active_, clients_;
    std::vector<xcb_window_t> windows_;
};

}  // namespace halvern::test
