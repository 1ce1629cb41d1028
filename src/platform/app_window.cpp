#include "platform/desktop_launcher.h"

#include <xcb/xcb.h>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace nbx {

namespace {

// A reply that xcb allocated, freed at scope end.
template <typename T>
struct Reply {
    T* p = nullptr;
    explicit Reply(T* reply) : p(reply) {}
    ~Reply() { std::free(p); }
    Reply(const Reply&) = delete;
    Reply& operator=(const Reply&) = delete;
    T* operator->() const { return p; }
    explicit operator bool() const { return p != nullptr; }
};

struct Connection {
    xcb_connection_t* c = nullptr;
    xcb_window_t root = XCB_NONE;
    Connection() {
        int screenNumber = 0;
        c = xcb_connect(nullptr, &screenNumber);
        if (xcb_connection_has_error(c) != 0) {
            return;
        }
        xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c));
        for (int i = 0; it.rem > 0 && i < screenNumber; ++i) {
            xcb_screen_next(&it);
        }
        if (it.rem > 0) {
            root = it.data->root;
        }
    }
    ~Connection() { xcb_disconnect(c); }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    bool Ok() const { return xcb_connection_has_error(c) == 0 && root != XCB_NONE; }

    // XCB_NONE when no client ever named it: then no window carries it either.
    xcb_atom_t Atom(const char* name) const {
        Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
            c, xcb_intern_atom(c, 1, static_cast<std::uint16_t>(std::strlen(name)), name),
            nullptr));
        return reply ? reply->atom : XCB_NONE;
    }

    // The 32-bit values of a property; empty when it is missing or of another type.
    std::vector<std::uint32_t> Values(xcb_window_t window, xcb_atom_t property,
                                      xcb_atom_t type) const {
        std::vector<std::uint32_t> values;
        if (property == XCB_NONE) {
            return values;
        }
        Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
            c, xcb_get_property(c, 0, window, property, type, 0, 4096), nullptr));
        if (reply && reply->format == 32 && reply->type == type) {
            const auto* data = static_cast<const std::uint32_t*>(xcb_get_property_value(reply.p));
            values.assign(data, data + xcb_get_property_value_length(reply.p) / 4);
        }
        return values;
    }

    std::vector<xcb_window_t> MappedChildrenOfRoot() const {
        std::vector<xcb_window_t> windows;
        Reply<xcb_query_tree_reply_t> tree(
            xcb_query_tree_reply(c, xcb_query_tree(c, root), nullptr));
        if (!tree) {
            return windows;
        }
        const xcb_window_t* children = xcb_query_tree_children(tree.p);
        for (int i = 0; i < xcb_query_tree_children_length(tree.p); ++i) {
            Reply<xcb_get_window_attributes_reply_t> attributes(xcb_get_window_attributes_reply(
                c, xcb_get_window_attributes(c, children[i]), nullptr));
            if (attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE) {
                windows.push_back(children[i]);
            }
        }
        return windows;
    }
};

}  // namespace

RaiseResult XcbRaiseWindowOfProcess(pid_t pid, std::uint32_t* window) {
    Connection x;
    if (!x.Ok()) {
        return RaiseResult::NoDisplay;
    }
    const xcb_atom_t clientList = x.Atom("_NET_CLIENT_LIST");
    const xcb_atom_t wmPid = x.Atom("_NET_WM_PID");
    const xcb_atom_t activeWindow = x.Atom("_NET_ACTIVE_WINDOW");
    const xcb_atom_t wmCheck = x.Atom("_NET_SUPPORTING_WM_CHECK");

    const bool managed = !x.Values(x.root, wmCheck, XCB_ATOM_WINDOW).empty();
    std::vector<xcb_window_t> candidates = x.Values(x.root, clientList, XCB_ATOM_WINDOW);
    if (candidates.empty()) {
        candidates = x.MappedChildrenOfRoot();
    }
    xcb_window_t found = XCB_NONE;
    for (xcb_window_t candidate : candidates) {
        const std::vector<std::uint32_t> owner = x.Values(candidate, wmPid, XCB_ATOM_CARDINAL);
        if (!owner.empty() && owner[0] == static_cast<std::uint32_t>(pid)) {
            found = candidate;
            break;
        }
    }
    if (found == XCB_NONE) {
        return RaiseResult::NoWindow;
    }
    if (window != nullptr) {
        *window = found;
    }

    if (managed && activeWindow != XCB_NONE) {
        xcb_client_message_event_t event{};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 32;
        event.window = found;
        event.type = activeWindow;
        // Source 2, a pager: managers keep their focus-stealing rules for applications only.
        event.data.data32[0] = 2;
        event.data.data32[1] = XCB_CURRENT_TIME;
        xcb_send_event(x.c, 0, x.root,
                       XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char*>(&event));
    } else {
        const std::uint32_t above = XCB_STACK_MODE_ABOVE;
        xcb_map_window(x.c, found);
        xcb_configure_window(x.c, found, XCB_CONFIG_WINDOW_STACK_MODE, &above);
        xcb_set_input_focus(x.c, XCB_INPUT_FOCUS_POINTER_ROOT, found, XCB_CURRENT_TIME);
    }
    // A round trip, so the server has the requests before the connection goes.
    Reply<xcb_get_input_focus_reply_t> sync(
        xcb_get_input_focus_reply(x.c, xcb_get_input_focus(x.c), nullptr));
    return RaiseResult::Raised;
}

}  // namespace nbx
