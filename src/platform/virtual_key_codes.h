#pragma once

// The virtual-key codes the window delivers (platform/virtual_keys maps Qt's
// keys to them) and the commands compare against: one table for both sides.
namespace etalon {

inline constexpr int kVkBackspace = 0x08;
inline constexpr int kVkTab = 0x09;
inline constexpr int kVkReturn = 0x0d;
inline constexpr int kVkEscape = 0x1b;
inline constexpr int kVkSpace = 0x20;
inline constexpr int kVkPageUp = 0x21;
inline constexpr int kVkPageDown = 0x22;
inline constexpr int kVkEnd = 0x23;
inline constexpr int kVkHome = 0x24;
inline constexpr int kVkLeft = 0x25;
inline constexpr int kVkUp = 0x26;
inline constexpr int kVkRight = 0x27;
inline constexpr int kVkDown = 0x28;
inline constexpr int kVkAdd = 0x6b;       // keypad +
inline constexpr int kVkSubtract = 0x6d;  // keypad -
inline constexpr int kVkF1 = 0x70;        // F1..F12 follow in order
inline constexpr int kVkF5 = kVkF1 + 4;
inline constexpr int kVkOemPlus = 0xbb;  // the = and + key
inline constexpr int kVkOemMinus = 0xbd;
inline constexpr int kVkNone = 0xff;  // a key the window does not use

}  // namespace etalon
