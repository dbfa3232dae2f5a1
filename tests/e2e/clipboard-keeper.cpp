// A clipboard manager for the real-desktop tests: it keeps the clipboard's text after the
// program that copied it has ended, through the freedesktop hand-over. It owns the
// CLIPBOARD_MANAGER selection; when a program that owns the clipboard asks it to SAVE_TARGETS
// (as Qt does while it shuts down), it fetches the clipboard's UTF8_STRING text, becomes the
// clipboard's owner itself, serves that text from then on, and tells the program it is done.
//
// Usage: clipboard-keeper. Prints "ready" once it owns CLIPBOARD_MANAGER, and a line on
// standard error for each hand-over; runs until it is stopped. Text too large to come in one
// piece (INCR) is not kept, as the tests copy small texts.

#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

xcb_connection_t* g_x = nullptr;
xcb_window_t g_window = XCB_NONE;

struct Atoms
{
    xcb_atom_t manager, clipboard, saveTargets, targets, utf8, kept;
} g_atom;

xcb_atom_t intern(const char* name)
{
    const auto cookie = xcb_intern_atom(g_x, 0, uint16_t(std::strlen(name)), name);
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
        xcb_intern_atom_reply(g_x, cookie, nullptr), &std::free);
    return reply ? reply->atom : XCB_NONE;
}

bool owns(xcb_atom_t selection)
{
    std::unique_ptr<xcb_get_selection_owner_reply_t, decltype(&std::free)> reply(
        xcb_get_selection_owner_reply(g_x, xcb_get_selection_owner(g_x, selection), nullptr),
        &std::free);
    return reply && reply->owner == g_window;
}

// Answers a request for a selection: @p property holds the answer, XCB_NONE refuses.
void notify(const xcb_selection_request_event_t& request, xcb_atom_t property)
{
    xcb_selection_notify_event_t event{};
    event.response_type = XCB_SELECTION_NOTIFY;
    event.time = request.time;
    event.requestor = request.requestor;
    event.selection = request.selection;
    event.target = request.target;
    event.property = property;
    xcb_send_event(g_x, 0, request.requestor, XCB_EVENT_MASK_NO_EVENT,
                   reinterpret_cast<const char*>(&event));
    xcb_flush(g_x);
}

void answerAtoms(const xcb_selection_request_event_t& request, const std::vector<xcb_atom_t>& atoms)
{
    xcb_change_property(g_x, XCB_PROP_MODE_REPLACE, request.requestor, request.property,
                        XCB_ATOM_ATOM, 32, uint32_t(atoms.size()), atoms.data());
    notify(request, request.property);
}

} // namespace

int main()
{
    g_x = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(g_x)) {
        std::fprintf(stderr, "clipboard-keeper: no X server\n");
        return 1;
    }
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(g_x)).data;
    g_window = xcb_generate_id(g_x);
    xcb_create_window(g_x, XCB_COPY_FROM_PARENT, g_window, screen->root, 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, screen->root_visual, 0, nullptr);
    g_atom = {intern("CLIPBOARD_MANAGER"), intern("CLIPBOARD"),   intern("SAVE_TARGETS"),
              intern("TARGETS"),           intern("UTF8_STRING"), intern("PINGORA_KEPT")};
    xcb_set_selection_owner(g_x, g_window, g_atom.manager, XCB_CURRENT_TIME);
    if (!owns(g_atom.manager)) {
        std::fprintf(stderr, "clipboard-keeper: CLIPBOARD_MANAGER is taken\n");
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);

    std::string kept;                       // the text served as the clipboard's owner
    bool keeping = false;                   // the clipboard is ours
    xcb_selection_request_event_t saving{}; // the SAVE_TARGETS request being served
    bool isSaving = false;

    while (xcb_generic_event_t* generic = xcb_wait_for_event(g_x)) {
        std::unique_ptr<xcb_generic_event_t, decltype(&std::free)> owned(generic, &std::free);
        switch (generic->response_type & 0x7f) {
        case XCB_SELECTION_REQUEST: {
            const auto& request = *reinterpret_cast<xcb_selection_request_event_t*>(generic);
            if (request.selection == g_atom.manager && request.target == g_atom.saveTargets &&
                !isSaving) {
                saving = request;
                isSaving = true;
                xcb_convert_selection(g_x, g_window, g_atom.clipboard, g_atom.utf8, g_atom.kept,
                                      request.time);
                xcb_flush(g_x);
            } else if (request.target == g_atom.targets) {
                answerAtoms(request, request.selection == g_atom.manager
                                         ? std::vector{g_atom.targets, g_atom.saveTargets}
                                         : std::vector{g_atom.targets, g_atom.utf8});
            } else if (request.selection == g_atom.clipboard && keeping &&
                       request.target == g_atom.utf8) {
                xcb_change_property(g_x, XCB_PROP_MODE_REPLACE, request.requestor, request.property,
                                    g_atom.utf8, 8, uint32_t(kept.size()), kept.data());
                notify(request, request.property);
            } else {
                notify(request, XCB_NONE);
            }
            break;
        }
        case XCB_SELECTION_NOTIFY: {
            const auto& reply = *reinterpret_cast<xcb_selection_notify_event_t*>(generic);
            if (!isSaving || reply.selection != g_atom.clipboard)
                break;
            isSaving = false;
            bool saved = false;
            if (reply.property != XCB_NONE) {
                const auto cookie = xcb_get_property(g_x, 1, g_window, g_atom.kept,
                                                     XCB_GET_PROPERTY_TYPE_ANY, 0, 1 << 22);
                std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> property(
                    xcb_get_property_reply(g_x, cookie, nullptr), &std::free);
                if (property && property->type == g_atom.utf8 && property->format == 8) {
                    const auto* bytes =
                        static_cast<const char*>(xcb_get_property_value(property.get()));
                    kept.assign(bytes, size_t(xcb_get_property_value_length(property.get())));
                    xcb_set_selection_owner(g_x, g_window, g_atom.clipboard, XCB_CURRENT_TIME);
                    keeping = saved = owns(g_atom.clipboard);
                }
            }
            if (saved)
                std::fprintf(stderr, "clipboard-keeper: kept %zu bytes\n", kept.size());
            else
                std::fprintf(stderr, "clipboard-keeper: nothing kept\n");
            notify(saving, saved ? saving.property : XCB_NONE);
            break;
        }
        case XCB_SELECTION_CLEAR: {
            const auto& clear = *reinterpret_cast<xcb_selection_clear_event_t*>(generic);
            if (clear.selection == g_atom.clipboard) {
                keeping = false;
                kept.clear();
            } else if (clear.selection == g_atom.manager) {
                return 0; // another manager took over
            }
            break;
        }
        default:
            break;
        }
    }
    return 0;
}
