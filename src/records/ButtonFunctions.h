// The assignment codes a button entry's `function` may hold, row for row: the language
// key of the text a key button shows, and the name of the assignment menu's item that
// chooses the code. Codes 16 (a key with modifiers) and 17 (a macro) compose their texts
// from the entry; codes without a row (121, unknown ones) show nothing. The names are
// those halvernctl reads and prints: lowercase, words joined by '-', a family prefix
// ("media:", "browser:") where a bare word would be ambiguous.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace halvern {

struct ButtonFunctionRow {
    std::uint8_t code;
    std::string_view textKey;   // empty: composed from the entry (16, 17)
    std::string_view menuItem;  // empty: no menu item chooses it
    std::string_view name;      // what a user types for it (halvernctl); empty: composed
};

inline constexpr std::array<ButtonFunctionRow, 57> kButtonFunctions = {{
    {0, "button_off_text", "ms_1_button_off", "off"},
    {1, "left_click_text", "ms_1_click", "left"},
    {2, "right_click_text", "ms_1_menu", "right"},
    {3, "wheel_click_text", "ms_1_scroll", "middle"},
    {4, "forward_text", "ms_1_forward", "forward"},
    {5, "backward_text", "ms_1_backward", "back"},
    {6, "dpi_cycle_text", "ms_1_dpi_cycle", "dpi-cycle"},
    {7, "dpi_up_text", "ms_1_dpi_up", "dpi-up"},
    {8, "dpi_down_text", "ms_1_dpi_down", "dpi-down"},
    {9, "double_click_text", "ms_1_double_click", "double-click"},
    {10, "fire_button_text", "ms_1_fire_button", "fire"},
    {11, "scroll_up_text", "ms_1_scroll_up", "scroll-up"},
    {12, "scroll_down_text", "ms_1_scroll_down", "scroll-down"},
    {13, "titl_left_text", "ms_1_titl_left", "tilt-left"},
    {14, "titl_right_text", "ms_1_titl_right", "tilt-right"},
    {16, "", "ms_1_shortcut", ""},
    {17, "", "ms_1_select_macro", ""},
    {22, "easy_aim_text", "ms_1_easy_aim", "easy-aim"},
    {23, "led_loop_text", "ms_1_led_loop", "led-loop"},
    {32, "cut_text", "ms_1_cut", "cut"},
    {33, "copy_text", "ms_1_copy", "copy"},
    {34, "paste_text", "ms_1_paste", "paste"},
    {35, "open_text", "ms_1_open", "open"},
    {36, "save_text", "ms_1_save", "save"},
    {37, "find_text", "ms_1_find", "find"},
    {38, "redo_text", "ms_1_redo", "redo"},
    {39, "undo_text", "", "undo"},
    {40, "select_all_text", "ms_1_select_all", "select-all"},
    {41, "print_text", "ms_1_print", "print"},
    {42, "close_window_text", "ms_1_close_window", "close-window"},
    {43, "swap_windows_text", "ms_1_swap_windows", "swap-windows"},
    {44, "show_desktop_text", "ms_1_show_desktop", "show-desktop"},
    {45, "run_command_text", "ms_1_run_command", "run-command"},
    {46, "lock_pc_text", "ms_1_lock_pc", "lock-pc"},
    {50, "screen_capture_text", "ms_1_screen_capture", "screen-capture"},
    {51, "task_view_text", "", "task-view"},
    {54, "profile_cycle_text", "", "profile-cycle"},
    {55, "profile_up_text", "", "profile-up"},
    {56, "profile_down_text", "", "profile-down"},
    {64, "media_player_text", "ms_1_media_player", "media:player"},
    {65, "play_pause_text", "ms_1_play_pause", "media:play-pause"},
    {66, "media_stop_text", "ms_1_media_stop", "media:stop"},
    {67, "previous_track_text", "ms_1_pre_track", "media:previous"},
    {68, "next_track_text", "ms_1_next_track", "media:next"},
    {69, "volume_up_text", "ms_1_volume_up", "media:volume-up"},
    {70, "volume_down_text", "ms_1_volume_down", "media:volume-down"},
    {71, "mute_text", "ms_1_mute", "media:mute"},
    {80, "browser_home_text", "ms_1_browser_home", "browser:home"},
    {81, "browser_favorites_text", "ms_1_browser_favorites", "browser:favorites"},
    {82, "browser_forward_text", "ms_1_browser_forward", "browser:forward"},
    {83, "browser_backward_text", "ms_1_browser_backward", "browser:back"},
    {84, "browser_stop_text", "ms_1_browser_stop", "browser:stop"},
    {85, "browser_refresh_text", "ms_1_browser_refresh", "browser:refresh"},
    {86, "browser_search_text", "ms_1_browser_search", "browser:search"},
    {87, "email_text", "ms_1_email", "email"},
    {88, "calculator_text", "ms_1_calculator", "calculator"},
    {89, "my_computer_text", "ms_1_my_computer", "my-computer"},
}};

// The row of a code, or nullptr.
constexpr const ButtonFunctionRow* FindButtonFunction(std::uint8_t code) {
    for (const ButtonFunctionRow& row : kButtonFunctions)
        if (row.code == code) return &row;
    return nullptr;
}

// The row a name stands for, or nullptr; the composed codes have no name.
constexpr const ButtonFunctionRow* FindButtonFunctionByName(std::string_view name) {
    if (name.empty()) return nullptr;
    for (const ButtonFunctionRow& row : kButtonFunctions)
        if (row.name == name) return &row;
    return nullptr;
}

}  // namespace halvern
