// The assignment codes a button entry's `function` may hold, row for row: the language
// key of the text a key button shows, and the name of the assignment menu's item that
// chooses the code. Codes 16 (a key with modifiers) and 17 (a macro) compose their texts
// from the entry; codes without a row (121, unknown ones) show nothing.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace halvern {

struct ButtonFunctionRow {
    std::uint8_t code;
    std::string_view textKey;   // empty: composed from the entry (16, 17)
    std::string_view menuItem;  // empty: no menu item chooses it
};

inline constexpr std::array<ButtonFunctionRow, 57> kButtonFunctions = {{
    {0, "button_off_text", "ms_1_button_off"},
    {1, "left_click_text", "ms_1_click"},
    {2, "right_click_text", "ms_1_menu"},
    {3, "wheel_click_text", "ms_1_scroll"},
    {4, "forward_text", "ms_1_forward"},
    {5, "backward_text", "ms_1_backward"},
    {6, "dpi_cycle_text", "ms_1_dpi_cycle"},
    {7, "dpi_up_text", "ms_1_dpi_up"},
    {8, "dpi_down_text", "ms_1_dpi_down"},
    {9, "double_click_text", "ms_1_double_click"},
    {10, "fire_button_text", "ms_1_fire_button"},
    {11, "scroll_up_text", "ms_1_scroll_up"},
    {12, "scroll_down_text", "ms_1_scroll_down"},
    {13, "titl_left_text", "ms_1_titl_left"},
    {14, "titl_right_text", "ms_1_titl_right"},
    {16, "", "ms_1_shortcut"},
    {17, "", "ms_1_select_macro"},
    {22, "easy_aim_text", "ms_1_easy_aim"},
    {23, "led_loop_text", "ms_1_led_loop"},
    {32, "cut_text", "ms_1_cut"},
    {33, "copy_text", "ms_1_copy"},
    {34, "paste_text", "ms_1_paste"},
    {35, "open_text", "ms_1_open"},
    {36, "save_text", "ms_1_save"},
    {37, "find_text", "ms_1_find"},
    {38, "redo_text", "ms_1_redo"},
    {39, "undo_text", ""},
    {40, "select_all_text", "ms_1_select_all"},
    {41, "print_text", "ms_1_print"},
    {42, "close_window_text", "ms_1_close_window"},
    {43, "swap_windows_text", "ms_1_swap_windows"},
    {44, "show_desktop_text", "ms_1_show_desktop"},
    {45, "run_command_text", "ms_1_run_command"},
    {46, "lock_pc_text", "ms_1_lock_pc"},
    {50, "screen_capture_text", "ms_1_screen_capture"},
    {51, "task_view_text", ""},
    {54, "profile_cycle_text", ""},
    {55, "profile_up_text", ""},
    {56, "profile_down_text", ""},
    {64, "media_player_text", "ms_1_media_player"},
    {65, "play_pause_text", "ms_1_play_pause"},
    {66, "media_stop_text", "ms_1_media_stop"},
    {67, "previous_track_text", "ms_1_pre_track"},
    {68, "next_track_text", "ms_1_next_track"},
    {69, "volume_up_text", "ms_1_volume_up"},
    {70, "volume_down_text", "ms_1_volume_down"},
    {71, "mute_text", "ms_1_mute"},
    {80, "browser_home_text", "ms_1_browser_home"},
    {81, "browser_favorites_text", "ms_1_browser_favorites"},
    {82, "browser_forward_text", "ms_1_browser_forward"},
    {83, "browser_backward_text", "ms_1_browser_backward"},
    {84, "browser_stop_text", "ms_1_browser_stop"},
    {85, "browser_refresh_text", "ms_1_browser_refresh"},
    {86, "browser_search_text", "ms_1_browser_search"},
    {87, "email_text", "ms_1_email"},
    {88, "calculator_text", "ms_1_calculator"},
    {89, "my_computer_text", "ms_1_my_computer"},
}};

// The row of a code, or nullptr.
constexpr const ButtonFunctionRow* FindButtonFunction(std::uint8_t code) {
    for (const ButtonFunctionRow& row : kButtonFunctions)
        if (row.code == code) return &row;
    return nullptr;
}

}  // namespace halvern
