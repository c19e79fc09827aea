#pragma once

namespace ZunoInstaller {

// The macOS menu bar holds more than an application asks for: Qt's
// application menu brings About, Preferences, Services, Hide, Hide Others and
// Show All beside Quit, and AppKit adds Start Dictation and Emoji & Symbols to
// an Edit menu. These two keep the bar to the installer's own entries;
// elsewhere they do nothing.

// Before the menu bar is built: turns AppKit's Edit menu additions off for
// this process (registered defaults: nothing is written to the user's settings).
void withholdSystemEditEntries();

// Once the menu bar is installed: hides every entry of the application menu
// but the one with Cmd+Q. Hidden entries take no key equivalents either.
void keepOnlyQuitInApplicationMenu();

} // namespace ZunoInstaller
