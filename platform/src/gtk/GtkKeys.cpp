#include <gdk/gdkkeysyms.h>

#include "GtkInternal.h"
#include "platform/Input.h"

namespace platform::display {

int VirtualKeyOf(const GdkEventKey* event) {
    // The key as it reads without modifiers, so that Shift+1 is still the key '1'.
    guint keyval = event->keyval;
    guint base = 0;
    if (gdk_keymap_translate_keyboard_state(gdk_keymap_get_for_display(gdk_display_get_default()),
                                            event->hardware_keycode, GdkModifierType(0),
                                            event->group, &base, nullptr, nullptr, nullptr))
        keyval = base;
    if (keyval >= GDK_KEY_a && keyval <= GDK_KEY_z) return static_cast<int>(keyval - GDK_KEY_a + 'A');
    if (keyval >= GDK_KEY_A && keyval <= GDK_KEY_Z) return static_cast<int>(keyval);
    if (keyval >= GDK_KEY_0 && keyval <= GDK_KEY_9) return static_cast<int>(keyval);
    if (keyval >= GDK_KEY_KP_0 && keyval <= GDK_KEY_KP_9)
        return 0x60 + static_cast<int>(keyval - GDK_KEY_KP_0);
    if (keyval >= GDK_KEY_F1 && keyval <= GDK_KEY_F24)
        return VK_F1 + static_cast<int>(keyval - GDK_KEY_F1);
    switch (keyval) {
        case GDK_KEY_BackSpace:
            return VK_BACK;
        case GDK_KEY_Tab:
        case GDK_KEY_ISO_Left_Tab:
            return VK_TAB;
        case GDK_KEY_Return:
        case GDK_KEY_KP_Enter:
            return VK_RETURN;
        case GDK_KEY_Shift_L:
        case GDK_KEY_Shift_R:
            return VK_SHIFT;
        case GDK_KEY_Control_L:
        case GDK_KEY_Control_R:
            return VK_CONTROL;
        case GDK_KEY_Alt_L:
        case GDK_KEY_Alt_R:
        case GDK_KEY_Meta_L:
        case GDK_KEY_Meta_R:
            return VK_MENU;
        case GDK_KEY_Escape:
            return VK_ESCAPE;
        case GDK_KEY_space:
            return VK_SPACE;
        case GDK_KEY_Page_Up:
        case GDK_KEY_KP_Page_Up:
            return VK_PRIOR;
        case GDK_KEY_Page_Down:
        case GDK_KEY_KP_Page_Down:
            return VK_NEXT;
        case GDK_KEY_End:
        case GDK_KEY_KP_End:
            return VK_END;
        case GDK_KEY_Home:
        case GDK_KEY_KP_Home:
            return VK_HOME;
        case GDK_KEY_Left:
        case GDK_KEY_KP_Left:
            return VK_LEFT;
        case GDK_KEY_Up:
        case GDK_KEY_KP_Up:
            return VK_UP;
        case GDK_KEY_Right:
        case GDK_KEY_KP_Right:
            return VK_RIGHT;
        case GDK_KEY_Down:
        case GDK_KEY_KP_Down:
            return VK_DOWN;
        case GDK_KEY_Insert:
        case GDK_KEY_KP_Insert:
            return VK_INSERT;
        case GDK_KEY_Delete:
        case GDK_KEY_KP_Delete:
            return VK_DELETE;
        case GDK_KEY_KP_Add:
            return VK_ADD;
        case GDK_KEY_KP_Subtract:
            return VK_SUBTRACT;
        case GDK_KEY_KP_Multiply:
            return 0x6A;
        case GDK_KEY_KP_Decimal:
            return 0x6E;
        case GDK_KEY_KP_Divide:
            return 0x6F;
        case GDK_KEY_minus:
            return VK_OEM_MINUS;
        case GDK_KEY_equal:
        case GDK_KEY_plus:
            return 0xBB;
        case GDK_KEY_comma:
            return 0xBC;
        case GDK_KEY_period:
            return 0xBE;
        case GDK_KEY_slash:
            return 0xBF;
        case GDK_KEY_semicolon:
            return 0xBA;
        case GDK_KEY_apostrophe:
            return 0xDE;
        case GDK_KEY_bracketleft:
            return 0xDB;
        case GDK_KEY_bracketright:
            return 0xDD;
        case GDK_KEY_backslash:
            return 0xDC;
        case GDK_KEY_grave:
            return 0xC0;
        default:
            return 0;
    }
}

}  // namespace platform::display
