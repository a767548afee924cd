#include "platform/CloseRequests.h"

#include <QGuiApplication>
#include <QWindow>
#include <QtGui/qguiapplication_platform.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

namespace orbelix {
namespace {

uint32_t AskAtom(xcb_connection_t* connection, const char* name) {
    return xcb_intern_atom(connection, 0, static_cast<uint16_t>(std::strlen(name)), name)
        .sequence;
}

uint32_t AtomAnswer(xcb_connection_t* connection, uint32_t request) {
    xcb_intern_atom_reply_t* reply =
        xcb_intern_atom_reply(connection, xcb_intern_atom_cookie_t{request}, nullptr);
    if (reply == nullptr) return 0;
    const uint32_t atom = reply->atom;
    std::free(reply);
    return atom;
}

}  // namespace

CloseRequests::CloseRequests(QWidget& window, std::function<bool()> blocked,
                             std::function<void()> close)
    : window_(window), blocked_(std::move(blocked)), close_(std::move(close)) {
    auto* x11 = qGuiApp != nullptr ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>()
                                   : nullptr;
    if (x11 == nullptr || x11->connection() == nullptr) return;
    connection_ = x11->connection();
    protocolsRequest_ = AskAtom(x11->connection(), "WM_PROTOCOLS");
    deleteWindowRequest_ = AskAtom(x11->connection(), "WM_DELETE_WINDOW");
    qGuiApp->installNativeEventFilter(this);
}

CloseRequests::~CloseRequests() {
    if (qGuiApp != nullptr) qGuiApp->removeNativeEventFilter(this);
    if (connection_ != nullptr) {
        auto* connection = static_cast<xcb_connection_t*>(connection_);
        xcb_discard_reply(connection, protocolsRequest_);
        xcb_discard_reply(connection, deleteWindowRequest_);
    }
}

bool CloseRequests::resolveAtoms() {
    if (connection_ != nullptr) {
        auto* connection = static_cast<xcb_connection_t*>(connection_);
        protocols_ = AtomAnswer(connection, protocolsRequest_);
        deleteWindow_ = AtomAnswer(connection, deleteWindowRequest_);
        connection_ = nullptr;
    }
    return protocols_ != 0 && deleteWindow_ != 0;
}

bool CloseRequests::nativeEventFilter(const QByteArray& type, void* message, qintptr*) {
    if (type != "xcb_generic_event_t") return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & ~0x80) != XCB_CLIENT_MESSAGE) return false;
    if (!resolveAtoms()) return false;
    const auto* request = static_cast<const xcb_client_message_event_t*>(message);
    if (request->format != 32 || request->type != protocols_ ||
        request->data.data32[0] != deleteWindow_ || !window_.windowHandle() ||
        request->window != static_cast<uint32_t>(window_.windowHandle()->winId()))
        return false;
    // Qt takes the request itself when nothing blocks the window.
    if (blocked_()) QMetaObject::invokeMethod(&window_, close_, Qt::QueuedConnection);
    return false;
}

}  // namespace orbelix
