#pragma once

// Style words, colours and creation options of window objects. The style bits keep the
// values the Windows build uses, so a style word means the same on every platform; on
// Qt only the bits listed in window.cpp take effect.

#include <cstdint>

namespace ferry {

// Window style word.
inline constexpr std::uint32_t StyleBorder = 0x00800000;
inline constexpr std::uint32_t StyleDialogFrame = 0x00400000;
inline constexpr std::uint32_t StyleCaption = StyleBorder | StyleDialogFrame;
inline constexpr std::uint32_t StyleSystemMenu = 0x00080000;
inline constexpr std::uint32_t StyleSizingBorder = 0x00040000;
inline constexpr std::uint32_t StyleMinimizeBox = 0x00020000;
inline constexpr std::uint32_t StyleMaximizeBox = 0x00010000;
// On controls the maximize-box bit means: Tab stops here.
inline constexpr std::uint32_t StyleTabStop = 0x00010000;
inline constexpr std::uint32_t StyleOverlappedWindow =
    StyleCaption | StyleSystemMenu | StyleSizingBorder | StyleMinimizeBox | StyleMaximizeBox;

// Extended style word.
inline constexpr std::uint32_t ExStyleDialogModalFrame = 0x00000001;  // raised edge
inline constexpr std::uint32_t ExStyleTopmost = 0x00000008;
inline constexpr std::uint32_t ExStyleToolWindow = 0x00000080;
inline constexpr std::uint32_t ExStyleWindowEdge = 0x00000100;
inline constexpr std::uint32_t ExStyleClientEdge = 0x00000200;  // sunken edge
inline constexpr std::uint32_t ExStyleStaticEdge = 0x00020000;  // thin edge
inline constexpr std::uint32_t ExStyleAppWindow = 0x00040000;

// A colour is 0x00BBGGRR, or, with the high bit set, the system colour whose index is in
// the low byte.
using Color = std::uint32_t;
inline constexpr Color SystemColorWindow = 0x80000005;
inline constexpr Color SystemColorButtonFace = 0x8000000F;

enum class Align : std::int32_t { None = 0, Left = 1, Top = 2, Right = 3, Bottom = 4, Client = 5 };

enum class PanelEdge : std::int32_t { Raised = 0, Sunken = 1, None = 2 };

// Edit box options.
inline constexpr std::uint32_t EditNoHorizontalScroll = 1u << 0;
inline constexpr std::uint32_t EditNoVerticalScroll = 1u << 1;
inline constexpr std::uint32_t EditLowerCase = 1u << 2;
inline constexpr std::uint32_t EditMultiLine = 1u << 3;
inline constexpr std::uint32_t EditKeepSelection = 1u << 4;
inline constexpr std::uint32_t EditOemConvert = 1u << 5;
inline constexpr std::uint32_t EditPassword = 1u << 6;
inline constexpr std::uint32_t EditReadOnly = 1u << 7;
inline constexpr std::uint32_t EditUpperCase = 1u << 8;
inline constexpr std::uint32_t EditWantReturn = 1u << 9;
inline constexpr std::uint32_t EditWantTab = 1u << 10;
inline constexpr std::uint32_t EditDigitsOnly = 1u << 11;

// Combo box options. Without ComboDropDownList the text can be typed.
inline constexpr std::uint32_t ComboDropDownList = 1u << 0;
inline constexpr std::uint32_t ComboNoIntegralHeight = 1u << 1;

enum class ListViewKind : std::int32_t { Icon = 0, SmallIcon = 1, List = 2, Report = 3 };
inline constexpr std::uint32_t ListGridLines = 1u << 0;
inline constexpr std::uint32_t ListFullRowSelect = 1u << 1;

enum class ColumnAlign : std::int32_t { Left = 0, Right = 1, Centre = 2 };

// Item state bits of a list view row.
inline constexpr std::uint32_t ItemFocused = 0x1;
inline constexpr std::uint32_t ItemSelected = 0x2;

// setStatusText with this index shows a simple status bar of one part.
inline constexpr std::int32_t SimpleStatusPart = 255;

}  // namespace ferry
