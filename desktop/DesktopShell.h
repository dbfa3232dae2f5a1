#pragma once

class QObject;
class TrayShell;

/// The notification area of the desktop the program runs on, a child of @p parent: the build
/// picks the platform's own shell.
TrayShell* makeDesktopShell(QObject* parent);
