// Puts the shell in unsafe mode, where org.gnome.Shell.Eval answers, so that the real-desktop
// tests can read what the shell shows. GNOME Shell 43 has no command-line switch for it.
/* exported init */

class Extension {
    enable() {
        global.context.unsafe_mode = true;
    }

    disable() {
        global.context.unsafe_mode = false;
    }
}

function init() {
    return new Extension();
}
