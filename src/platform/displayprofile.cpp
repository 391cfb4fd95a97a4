#include "platform/displayprofile.h"

#include <QGuiApplication>
#include <cstdlib>
#include <memory>

#include "core/colour.h"

#ifdef TAV_HAVE_XCB
#include <QtGui/qguiapplication_platform.h>
#include <xcb/xcb.h>
#endif

std::vector<uint8_t> ReadDisplayProfile() {
#ifdef TAV_HAVE_XCB
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (!app) return {};
    auto* x11 = app->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* c = x11 ? x11->connection() : nullptr;
    if (!c) return {};
    const xcb_setup_t* setup = xcb_get_setup(c);
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(setup);
    if (!it.rem || !it.data) return {};
    const xcb_window_t root = it.data->root;
    static const char kName[] = "_ICC_PROFILE";
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> atom(
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 1, sizeof kName - 1, kName), nullptr),
        &std::free);
    if (!atom || atom->atom == XCB_ATOM_NONE) return {};
    // Read no more than a profile may be; a longer property is no profile
    // of ours (bytes_after tells) and is ignored.
    std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> prop(
        xcb_get_property_reply(c,
                               xcb_get_property(c, 0, root, atom->atom, XCB_GET_PROPERTY_TYPE_ANY,
                                                0, uint32_t(kPGMaxProfileBytes / 4)),
                               nullptr),
        &std::free);
    if (!prop || prop->format != 8 || prop->bytes_after != 0) return {};
    const int n = xcb_get_property_value_length(prop.get());
    const auto* p = static_cast<const uint8_t*>(xcb_get_property_value(prop.get()));
    if (n <= 0 || !p) return {};
    return std::vector<uint8_t>(p, p + n);
#else
    return {};
#endif
}

TColourNotifier& TColourNotifier::Instance() {
    static TColourNotifier notifier;
    return notifier;
}

void RefreshDisplayProfile() {
    PGSetDisplayProfile(ReadDisplayProfile());
    emit TColourNotifier::Instance().ColourChanged();
}
