// The tray program's popup menu as data: every item once, in order, with its name, caption,
// place, command and the setting that marks it. Each platform builds its menu from this table
// and sends the chosen item's command to the controller, so a new item is one more row here (and
// its command, if it is a new one). The desktop tests read the rows too, to find their way
// through the menu by name.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "tables/modTables.h"

namespace litvorot {

// What an item does; None for submenus and separators.
enum class MenuCommand : std::uint8_t {
    None,
    SourceTranslit,
    SourceKOI8,
    SourceCP1251,
    SourceUnicode,
    SourceAuto,
    DestTranslit,
    DestKOI8,
    DestCP1251,
    DestUnicode,
    DisplayStatus,
    Go,
    Undo,
    ShowTable,
    Help,
    About,
    Exit,
};

enum class MenuKind : std::uint8_t { Submenu, Item, Separator };

// The setting whose value puts a check mark on the item.
enum class MenuMark : std::uint8_t {
    None,
    SourceFormat,   // checked while the source format is `format`
    DestFormat,     // checked while the destination format is `format`
    DisplayStatus,  // checked while the status dialog is to be shown
};

struct MenuItem {
    std::string_view name;     // "mnuShowTable"
    std::string_view parent;   // the submenu it is in; kMenuRoot for the popup menu itself
    std::string_view caption;  // "Show Table"
    MenuKind kind;
    MenuCommand command;
    MenuMark mark;
    TextFormat format;  // for the format marks
    bool greyed;        // greyed out until the controller enables it
};

inline constexpr std::string_view kMenuRoot = "mnuPopup";
inline constexpr std::string_view kMenuRootCaption = "Popup Menu Root";

// Every item in menu order: a submenu's items follow it.
std::span<const MenuItem> MenuItems();

// The item that carries out `command`; nullptr for None.
const MenuItem* MenuItemFor(MenuCommand command);

// The Windows command identifier of `command` (WM_COMMAND's low word): 1000 and up, never 0.
constexpr std::uint16_t MenuCommandId(MenuCommand command) {
    return static_cast<std::uint16_t>(1000 + static_cast<int>(command));
}
// The command of identifier `id`; None for one that is no command's.
MenuCommand MenuCommandOfId(unsigned id);

}  // namespace litvorot
