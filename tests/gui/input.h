#pragma once
// What a user does to the program in the end-to-end checks: clicks and key
// presses sent through the X server's test extension.

#include <QPoint>
#include <QThread>
#include <cstdlib>
#include <gtest/gtest.h>
#include <xcb/xcb.h>
#include <xcb/xtest.h>

namespace xtest {

inline xcb_window_t RootOf(xcb_connection_t* c) {
    return xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
}

// A left click at `at` (screen coordinates).
inline void Click(xcb_connection_t* c, QPoint at) {
    const xcb_window_t root = RootOf(c);
    xcb_test_fake_input(c, XCB_MOTION_NOTIFY, 0, XCB_CURRENT_TIME, root, int16_t(at.x()),
                        int16_t(at.y()), 0);
    xcb_test_fake_input(c, XCB_BUTTON_PRESS, 1, XCB_CURRENT_TIME, root, 0, 0, 0);
    xcb_test_fake_input(c, XCB_BUTTON_RELEASE, 1, XCB_CURRENT_TIME, root, 0, 0, 0);
    xcb_flush(c);
}

// The key code that gives `keysym`, without modifiers where one does; 0
// when no key does.
inline xcb_keycode_t KeyCode(xcb_connection_t* c, xcb_keysym_t keysym) {
    const xcb_setup_t* setup = xcb_get_setup(c);
    const int count = setup->max_keycode - setup->min_keycode + 1;
    auto* r = xcb_get_keyboard_mapping_reply(
        c, xcb_get_keyboard_mapping(c, setup->min_keycode, uint8_t(count)), nullptr);
    if (!r) return 0;
    const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(r);
    xcb_keycode_t found = 0;
    for (int column = 0; column < r->keysyms_per_keycode && !found; ++column)
        for (int k = 0; k < count && !found; ++k)
            if (syms[k * r->keysyms_per_keycode + column] == keysym)
                found = xcb_keycode_t(setup->min_keycode + k);
    std::free(r);
    return found;
}

// Presses and releases `keysym`, with Control held when asked.
inline void Key(xcb_connection_t* c, xcb_keysym_t keysym, bool control = false) {
    const xcb_keycode_t k = KeyCode(c, keysym), ctrl = KeyCode(c, 0xffe3);
    ASSERT_NE(k, 0) << std::hex << keysym;
    const xcb_window_t root = RootOf(c);
    if (control) xcb_test_fake_input(c, XCB_KEY_PRESS, ctrl, XCB_CURRENT_TIME, root, 0, 0, 0);
    xcb_test_fake_input(c, XCB_KEY_PRESS, k, XCB_CURRENT_TIME, root, 0, 0, 0);
    xcb_test_fake_input(c, XCB_KEY_RELEASE, k, XCB_CURRENT_TIME, root, 0, 0, 0);
    if (control) xcb_test_fake_input(c, XCB_KEY_RELEASE, ctrl, XCB_CURRENT_TIME, root, 0, 0, 0);
    xcb_flush(c);
    QThread::msleep(60);
}

} // namespace xtest
