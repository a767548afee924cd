#include "platform/WindowFrame.h"

#include <xcb/xcb.h>

#include <QGuiApplication>
#include <QWindow>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

namespace orbelix {
namespace {

template <typename T>
using Reply = std::unique_ptr<T, decltype(&std::free)>;

xcb_intern_atom_cookie_t AskAtom(xcb_connection_t* connection, const char* name) {
    return xcb_intern_atom(connection, 0, static_cast<uint16_t>(std::strlen(name)), name);
}

xcb_atom_t AtomAnswer(xcb_connection_t* connection, xcb_intern_atom_cookie_t request) {
    const Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(connection, request, nullptr),
                                               &std::free);
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

xcb_get_property_cookie_t AskValues(xcb_connection_t* connection, xcb_window_t window,
                                    xcb_atom_t name, xcb_atom_t type) {
    return xcb_get_property(connection, 0, window, name, type, 0, 1024);
}

// A property of 32-bit values (cardinals, atoms, windows); empty when it is not set.
std::vector<uint32_t> Values(xcb_connection_t* connection, xcb_get_property_cookie_t request,
                             xcb_atom_t type) {
    const Reply<xcb_get_property_reply_t> reply(
        xcb_get_property_reply(connection, request, nullptr), &std::free);
    if (!reply || reply->format != 32 || reply->type != type) return {};
    const auto* values = static_cast<const uint32_t*>(xcb_get_property_value(reply.get()));
    return {values, values + xcb_get_property_value_length(reply.get()) / 4};
}

// The number of the X screen whose root is `root`, for the manager's selection name.
int ScreenNumber(xcb_connection_t* connection, xcb_window_t root) {
    int number = 0;
    for (auto it = xcb_setup_roots_iterator(xcb_get_setup(connection)); it.rem != 0;
         xcb_screen_next(&it), ++number)
        if (it.data->root == root) return number;
    return 0;
}

}  // namespace

std::optional<QMargins> FrameBeforeShowing(QWindow& window) {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (x11 == nullptr || x11->connection() == nullptr) return std::nullopt;
    xcb_connection_t* connection = x11->connection();
    const auto id = static_cast<xcb_window_t>(window.winId());
    // The questions go out together and their answers are read in order: two round trips
    // to the X server in all, however many questions.
    const xcb_get_geometry_cookie_t askGeometry = xcb_get_geometry(connection, id);
    std::vector<xcb_intern_atom_cookie_t> askSelections;  // WM_S0, WM_S1, ... one per screen
    for (auto it = xcb_setup_roots_iterator(xcb_get_setup(connection)); it.rem != 0;
         xcb_screen_next(&it))
        askSelections.push_back(AskAtom(
            connection, ("WM_S" + QByteArray::number(int(askSelections.size()))).constData()));
    const auto askCheck = AskAtom(connection, "_NET_SUPPORTING_WM_CHECK");
    const auto askSupported = AskAtom(connection, "_NET_SUPPORTED");
    const auto askRequest = AskAtom(connection, "_NET_REQUEST_FRAME_EXTENTS");
    const auto askExtents = AskAtom(connection, "_NET_FRAME_EXTENTS");
    const Reply<xcb_get_geometry_reply_t> geometry(
        xcb_get_geometry_reply(connection, askGeometry, nullptr), &std::free);
    std::vector<xcb_atom_t> selections;
    for (const auto& ask : askSelections) selections.push_back(AtomAnswer(connection, ask));
    const xcb_atom_t check = AtomAnswer(connection, askCheck);
    const xcb_atom_t supportedName = AtomAnswer(connection, askSupported);
    const xcb_atom_t request = AtomAnswer(connection, askRequest);
    const xcb_atom_t extents = AtomAnswer(connection, askExtents);
    if (!geometry) return std::nullopt;
    const xcb_window_t root = geometry->root;

    // A window manager announces itself by the EWMH check window or by owning the
    // ICCCM selection of its screen; with neither, windows go on the screen unframed.
    const size_t screen = static_cast<size_t>(ScreenNumber(connection, root));
    const auto askOwner = xcb_get_selection_owner(
        connection, screen < selections.size() ? selections[screen] : xcb_atom_t{XCB_ATOM_NONE});
    const auto askChecker = AskValues(connection, root, check, XCB_ATOM_WINDOW);
    const auto askSupport = AskValues(connection, root, supportedName, XCB_ATOM_ATOM);
    const Reply<xcb_get_selection_owner_reply_t> owner(
        xcb_get_selection_owner_reply(connection, askOwner, nullptr), &std::free);
    const bool checked = !Values(connection, askChecker, XCB_ATOM_WINDOW).empty();
    const std::vector<uint32_t> supported = Values(connection, askSupport, XCB_ATOM_ATOM);
    const bool managed = (owner && owner->owner != XCB_WINDOW_NONE) || checked;
    if (!managed) return QMargins();

    // Ask the manager for its estimate of the frame; it answers by setting a property on
    // the window, normally within a round trip or two.
    if (request == XCB_ATOM_NONE ||
        std::find(supported.begin(), supported.end(), request) == supported.end())
        return std::nullopt;
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = id;
    message.type = request;
    xcb_send_event(connection, 0, root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char*>(&message));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(50);
    for (;;) {
        const std::vector<uint32_t> frame =
            Values(connection, AskValues(connection, id, extents, XCB_ATOM_CARDINAL),
                   XCB_ATOM_CARDINAL);
        if (frame.size() == 4) {
            // Left, right, top, bottom, in device pixels.
            const QMargins device(static_cast<int>(frame[0]), static_cast<int>(frame[2]),
                                  static_cast<int>(frame[1]), static_cast<int>(frame[3]));
            return device / window.devicePixelRatio();
        }
        if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
}

}  // namespace orbelix
