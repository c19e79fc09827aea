#include "platform/ApplicationMenu.h"

#import <AppKit/AppKit.h>

namespace ZunoInstaller {

void withholdSystemEditEntries()
{
    [NSUserDefaults.standardUserDefaults registerDefaults:@{
        @"NSDisabledDictationMenuItem" : @YES,
        @"NSDisabledCharacterPaletteMenuItem" : @YES,
    }];
}

void keepOnlyQuitInApplicationMenu()
{
    NSMenu* mainMenu = NSApp.mainMenu;
    if (mainMenu == nil || mainMenu.numberOfItems == 0)
        return;
    NSMenu* applicationMenu = [mainMenu itemAtIndex:0].submenu;

    // The quit entry is the one with Cmd+Q, whether Qt has already merged the
    // QuitRole action into it or not; its title comes from Qt's translation.
    NSMenuItem* quit = nil;
    for (NSMenuItem* item in applicationMenu.itemArray) {
        const NSEventModifierFlags modifiers =
            item.keyEquivalentModifierMask & NSEventModifierFlagDeviceIndependentFlagsMask;
        if ([item.keyEquivalent isEqualToString:@"q"] && modifiers == NSEventModifierFlagCommand)
            quit = item;
    }
    if (quit == nil)
        return; // better Qt's full menu than one without a way to quit

    // Hidden, not removed: Qt's menu loader keeps these items and moves the
    // application menu between menu bars.
    for (NSMenuItem* item in applicationMenu.itemArray)
        item.hidden = item != quit;
}

} // namespace ZunoInstaller
