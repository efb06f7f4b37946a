#pragma once

struct LaunchOptions;

// The two ways the program runs, each with its own application object.
// Both return the exit status.

// The window, the tray where the desktop has one, one instance per user.
int runWindowed(int &argc, char **argv, const LaunchOptions &options);
// No window: the server alone, the PIN written to the log when it changes.
int runHeadless(int &argc, char **argv, const LaunchOptions &options);
