#include "shell/modMenu.h"

#include <array>

#include "detect/modDetect.h"

namespace litvorot {
namespace {

using enum MenuKind;
using enum MenuMark;
using C = MenuCommand;

// One row per item, in menu order; the desktop tests read the quoted fields of these rows
// (name, parent, caption) and the kind, so each row stays on one line.
// clang-format off
constexpr std::array kItems{
    MenuItem{"mnuOptions",        "mnuPopup",   "Options",            Submenu,   C::None,           None,          0,         false},
    MenuItem{"mnuSource",         "mnuOptions", "Source Format",      Submenu,   C::None,           None,          0,         false},
    MenuItem{"mnuSourceTranslit", "mnuSource",  "Translit",           Item,      C::SourceTranslit, SourceFormat,  kTranslit, false},
    MenuItem{"mnuSourceKOI8",     "mnuSource",  "KOI8",               Item,      C::SourceKOI8,     SourceFormat,  kKoi8,     false},
    MenuItem{"mnuSourceCP1251",   "mnuSource",  "CP 1251",            Item,      C::SourceCP1251,   SourceFormat,  kCp1251,   false},
    MenuItem{"mnuSourceUnicode",  "mnuSource",  "Unicode",            Item,      C::SourceUnicode,  SourceFormat,  kUnicode,  false},
    MenuItem{"mnuSourceAuto",     "mnuSource",  "Auto",               Item,      C::SourceAuto,     SourceFormat,  kAuto,     false},
    MenuItem{"mnuDest",           "mnuOptions", "Destination Format", Submenu,   C::None,           None,          0,         false},
    MenuItem{"mnuDestTranslit",   "mnuDest",    "Translit",           Item,      C::DestTranslit,   DestFormat,    kTranslit, false},
    MenuItem{"mnuDestKOI8",       "mnuDest",    "KOI8",               Item,      C::DestKOI8,       DestFormat,    kKoi8,     false},
    MenuItem{"mnuDestCP1251",     "mnuDest",    "CP 1251",            Item,      C::DestCP1251,     DestFormat,    kCp1251,   false},
    MenuItem{"mnuDestUnicode",    "mnuDest",    "Unicode",            Item,      C::DestUnicode,    DestFormat,    kUnicode,  false},
    MenuItem{"mnuDisplayStatus",  "mnuOptions", "Display Status",     Item,      C::DisplayStatus,  DisplayStatus, 0,         false},
    MenuItem{"mnuGo",             "mnuPopup",   "Go",                 Item,      C::Go,             None,          0,         false},
    MenuItem{"mnuUndo",           "mnuPopup",   "Undo",               Item,      C::Undo,           None,          0,         true},
    MenuItem{"mnuSep1",           "mnuPopup",   "",                   Separator, C::None,           None,          0,         false},
    MenuItem{"mnuShowTable",      "mnuPopup",   "Show Table",         Item,      C::ShowTable,      None,          0,         false},
    MenuItem{"mnuSep2",           "mnuPopup",   "",                   Separator, C::None,           None,          0,         false},
    MenuItem{"mnuHelp",           "mnuPopup",   "Help",               Item,      C::Help,           None,          0,         false},
    MenuItem{"mnuAbout",          "mnuPopup",   "About...",           Item,      C::About,          None,          0,         false},
    MenuItem{"mnuExit",           "mnuPopup",   "Exit",               Item,      C::Exit,           None,          0,         false},
};
// clang-format on

}  // namespace

std::span<const MenuItem> MenuItems() { return kItems; }

const MenuItem* MenuItemFor(MenuCommand command) {
    if (command == MenuCommand::None) return nullptr;
    for (const MenuItem& item : kItems) {
        if (item.command == command) return &item;
    }
    return nullptr;
}

MenuCommand MenuCommandOfId(unsigned id) {
    for (const MenuItem& item : kItems) {
        if (item.command != MenuCommand::None && MenuCommandId(item.command) == id) {
            return item.command;
        }
    }
    return MenuCommand::None;
}

}  // namespace litvorot
